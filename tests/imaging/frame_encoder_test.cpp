// The whole save pipeline on small synthetic animations.
#include "core/imaging/frame_encoder.h"
#include "core/imaging/gif_reader.h"
#include "file_contents.h"

#include <QColor>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Diagonal bands of a smooth colour ramp that move one pixel per frame.
class BandSource : public FrameSource {
public:
    BandSource(int frames, QSize size, bool randomAccess = true)
        : m_nFrames(frames), m_size(size), m_bRandom(randomAccess) {}
    int FrameCount() const override { return m_nFrames; }
    QSize FrameSize() const override { return m_size; }
    bool IsRandomAccess() const override { return m_bRandom; }
    void Restart() override {
        m_nExpected = 0;
        ++restarts;
    }
    int FrameDelay(int index) const override { return 3 + index % 2; }
    Status DrawFrame(int index, QImage* frame) override {
        if (!m_bRandom && index != m_nExpected++)
            outOfOrder = true;
        if (index == failAt)
            return Status::Error(QStringLiteral("cannot draw frame %1").arg(index));
        *frame = QImage(m_size, QImage::Format_RGB32);
        for (int y = 0; y < m_size.height(); ++y)
            for (int x = 0; x < m_size.width(); ++x) {
                const int d = (x + y + index) % 64;
                frame->setPixel(x, y, qRgb(d * 4, 255 - d * 3, (d * 7) % 256));
            }
        ++drawn;
        return Status::Ok();
    }
    int failAt = -1;
    std::atomic<int> drawn{0};
    bool outOfOrder = false;
    int restarts = 0;

private:
    int m_nFrames;
    QSize m_size;
    bool m_bRandom;
    int m_nExpected = 0;
};

class CancelAfter : public ProgressSink {
public:
    explicit CancelAfter(int n) : m_n(n) {}
    bool Progress(int done, int total) override {
        last = done;
        this->total = total;
        return done < m_n;
    }
    int last = 0, total = 0;

private:
    int m_n;
};

TEST(FrameEncoder, WritesEveryFrameWithItsTiming) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.gif"));
    BandSource source(12, QSize(30, 20));
    EncodeOptions options;
    options.file.comment = QStringLiteral("Velmora");
    options.disposal = 2;
    EncodeStats stats;
    ASSERT_TRUE(EncodeAnimatedGif(source, path, options, nullptr, &stats));
    EXPECT_EQ(stats.frames, 12);
    EXPECT_EQ(source.drawn, 12); // all frames sampled and kept: drawn once
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(path, &gif));
    ASSERT_EQ(gif.frames.size(), 12u);
    EXPECT_EQ(gif.comment, QStringLiteral("Velmora"));
    EXPECT_EQ(gif.loops, 0);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(gif.frames[i].delay, 3 + i % 2);
        EXPECT_EQ(gif.frames[i].disposal, 2);
        EXPECT_EQ(gif.frames[i].transparentIndex, -1);
        EXPECT_FALSE(gif.frames[i].localColorTable);
    }
    // x + y + i only reaches 59, so 60 colours in all: the palette holds
    // them exactly and frames come back as drawn.
    EXPECT_EQ(stats.paletteSize, 60);
    QImage expected;
    ASSERT_TRUE(source.DrawFrame(5, &expected));
    EXPECT_EQ(gif.composited[5].convertToFormat(QImage::Format_RGB32), expected);
}

TEST(FrameEncoder, DitheringChangesOnlyTheRemap) {
    QTemporaryDir dir;
    BandSource source(6, QSize(40, 30));
    EncodeOptions options;
    options.maxColors = 16; // fewer than the 64 colours, so dithering matters
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("d.gif")), options));
    options.dither = false;
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("n.gif")), options));
    GifAnimation d, n;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("d.gif")), &d));
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("n.gif")), &n));
    EXPECT_EQ(d.globalPalette, n.globalPalette);
    ASSERT_EQ(d.frames.size(), n.frames.size());
    bool anyDifferent = false;
    for (std::size_t i = 0; i < d.frames.size(); ++i) {
        EXPECT_EQ(d.frames[i].delay, n.frames[i].delay);
        anyDifferent |= d.frames[i].indices.pixels != n.frames[i].indices.pixels;
    }
    EXPECT_TRUE(anyDifferent);
}

TEST(FrameEncoder, SampledPalettesAndThreadCountsGiveTheSameFile) {
    QTemporaryDir dir;
    BandSource source(20, QSize(25, 25));
    EncodeOptions options;
    options.maxColors = 32;
    options.threads = 1;
    options.paletteSamplePixels = 25 * 25 * 4; // 4 of 20 frames
    EncodeStats stats;
    ASSERT_TRUE(
        EncodeAnimatedGif(source, dir.filePath(QStringLiteral("1.gif")), options, nullptr, &stats));
    EXPECT_EQ(stats.sampledFrames, 4);
    // The samples, frame 1 (to see how much of the picture stays), then
    // the frames not sampled: the samples are kept.
    EXPECT_EQ(source.drawn, 4 + 1 + 16);
    options.threads = 3;
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("3.gif")), options));
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("1.gif"))),
              ReadAll(dir.filePath(QStringLiteral("3.gif"))));
}

// Frames of thousands of colours each (the palette is chosen, not copied)
// that take uneven, changing times to draw, as frames do on a loaded
// machine: the threads then count and merge them in a different order on
// every run.
class UnevenSource : public FrameSource {
public:
    int FrameCount() const override { return 40; }
    QSize FrameSize() const override { return QSize(48, 32); }
    int FrameDelay(int) const override { return 5; }
    Status DrawFrame(int index, QImage* frame) override {
        *frame = QImage(48, 32, QImage::Format_RGB32);
        std::uint32_t seed = std::uint32_t(index) * 7919u + 1;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 48; ++x) {
                seed = seed * 1664525u + 1013904223u;
                frame->setPixel(x, y,
                                qRgb(x * 5 + index, y * 7 + int(seed >> 29), int(seed >> 24)));
            }
        const unsigned pause = m_nTicks.fetch_add(2654435761u) >> 24; // 0 .. 255 us
        std::this_thread::sleep_for(std::chrono::microseconds(pause));
        return Status::Ok();
    }

private:
    std::atomic<unsigned> m_nTicks{
        unsigned(std::chrono::steady_clock::now().time_since_epoch().count())};
};

TEST(FrameEncoder, EveryThreadCountAndTimingGivesTheSameBytes) {
    QTemporaryDir dir;
    UnevenSource source;
    EncodeOptions options;
    options.threads = 1;
    const QString reference = dir.filePath(QStringLiteral("1.gif"));
    EncodeStats stats;
    ASSERT_TRUE(EncodeAnimatedGif(source, reference, options, nullptr, &stats));
    ASSERT_EQ(stats.paletteSize, 256);
    const QByteArray expected = ReadAll(reference);
    // Threads that only spin take turns with the encoder's, so its stages
    // interleave differently from run to run.
    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    for (int t = 0; t < 1; ++t)
        load.emplace_back([&stop] {
            volatile std::uint64_t n = 0;
            while (!stop.load(std::memory_order_relaxed))
                n = n + 1;
        });
    for (int run = 0; run < 9; ++run) {
        options.threads = 2 + run % 3;
        const QString path = dir.filePath(QStringLiteral("%1.gif").arg(run + 2));
        ASSERT_TRUE(EncodeAnimatedGif(source, path, options));
        EXPECT_EQ(ReadAll(path), expected)
            << "run " << run << ", " << options.threads << " threads";
    }
    stop = true;
    for (auto& t : load)
        t.join();
}

TEST(FrameEncoder, SequentialSourcesAreDrawnInOrder) {
    QTemporaryDir dir;
    BandSource source(15, QSize(20, 10), false);
    EncodeOptions options;
    options.threads = 4;
    options.paletteSamplePixels = 20 * 10 * 5;
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("s.gif")), options));
    EXPECT_FALSE(source.outOfOrder);
    EXPECT_EQ(source.restarts, 1);
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("s.gif")), &gif));
    EXPECT_EQ(gif.frames.size(), 15u);
}

TEST(FrameEncoder, MaskCutsEveryFrame) {
    QTemporaryDir dir;
    BandSource source(4, QSize(10, 6));
    CellMask mask(10, 6);
    for (int x = 2; x < 8; ++x)
        mask.SetCell(x, 3, true);
    EncodeOptions options;
    options.mask = &mask;
    options.transparentColor = qRgb(0x12, 0x34, 0x56);
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("m.gif")), options));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("m.gif")), &gif));
    EXPECT_EQ(gif.globalPalette[0] & 0xFFFFFF, 0x123456u);
    for (const GifFrameInfo& f : gif.frames) {
        EXPECT_EQ(f.transparentIndex, 0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x)
                EXPECT_EQ(f.indices.At(x, y) == 0, mask.IsCell(x, y)) << x << "," << y;
    }
}

TEST(FrameEncoder, CancelAndFailureKeepThePreviousFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteAll(path, "previous"));
    BandSource source(30, QSize(16, 16));
    CancelAfter cancel(10);
    Status s = EncodeAnimatedGif(source, path, EncodeOptions(), &cancel);
    EXPECT_FALSE(s);
    EXPECT_EQ(s.message(), CancelledMessage());
    EXPECT_EQ(cancel.last, 10);
    EXPECT_EQ(ReadAll(path), QByteArray("previous"));

    source.failAt = 17;
    s = EncodeAnimatedGif(source, path, EncodeOptions());
    EXPECT_FALSE(s);
    EXPECT_EQ(s.message(), QStringLiteral("cannot draw frame 17"));
    EXPECT_EQ(ReadAll(path), QByteArray("previous"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.gif")});

    source.failAt = -1;
    const QString missing = dir.filePath(QStringLiteral("gone/a.gif"));
    s = EncodeAnimatedGif(source, missing, EncodeOptions());
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().contains(missing));
}

TEST(FrameEncoder, ProgressCountsBothPasses) {
    QTemporaryDir dir;
    BandSource source(8, QSize(8, 8));
    CancelAfter never(1000);
    ASSERT_TRUE(
        EncodeAnimatedGif(source, dir.filePath(QStringLiteral("p.gif")), EncodeOptions(), &never));
    EXPECT_EQ(never.total, 16);
    EXPECT_EQ(never.last, 16);
}

} // namespace

namespace {

// A still background with one small square that moves: frames after the
// first store only what changed.
class MovingSquare : public FrameSource {
public:
    int FrameCount() const override { return 6; }
    QSize FrameSize() const override { return QSize(60, 40); }
    int FrameDelay(int) const override { return 5; }
    Status DrawFrame(int index, QImage* frame) override {
        *frame = QImage(60, 40, QImage::Format_RGB32);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x)
                frame->setPixel(x, y, qRgb(x * 4, y * 6, 90));
        if (index < 5) // the last frame repeats the background alone
            for (int y = 10; y < 16; ++y)
                for (int x = 5 + index * 8; x < 11 + index * 8; ++x)
                    frame->setPixel(x, y, qRgb(255, 255, 255));
        return Status::Ok();
    }
};

TEST(FrameEncoderInterframe, StoresOnlyChangesAndShowsEveryFrame) {
    QTemporaryDir dir;
    MovingSquare source;
    EncodeOptions options; // disposal 0: earlier frames stay on screen
    options.dither = false;
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("i.gif")), options));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("i.gif")), &gif));
    ASSERT_EQ(gif.frames.size(), 6u);
    EXPECT_EQ(gif.frames[0].width, 60);
    for (int i = 1; i < 6; ++i) {
        EXPECT_LT(gif.frames[i].width * gif.frames[i].height, 60 * 40 / 4) << i;
        EXPECT_EQ(gif.frames[i].delay, 5);
    }
    // Composited as a browser shows them, every frame is the drawn one
    // (the 300 colours fit no palette exactly, so compare loosely).
    for (int i = 0; i < 6; ++i) {
        QImage expected;
        ASSERT_TRUE(source.DrawFrame(i, &expected));
        const QImage shown = gif.composited[std::size_t(i)];
        int far = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                const QRgb a = expected.pixel(x, y), b = shown.pixel(x, y);
                far += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                           std::abs(qBlue(a) - qBlue(b)) >
                       60;
                EXPECT_EQ(qAlpha(b), 255);
            }
        EXPECT_EQ(far, 0) << "frame " << i;
    }

    // Without it, or with disposal 2, every frame is whole.
    options.interframe = false;
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("w.gif")), options));
    options.interframe = true;
    options.disposal = 2;
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("d.gif")), options));
    for (const char* name : {"w.gif", "d.gif"}) {
        ASSERT_TRUE(ReadGif(dir.filePath(QLatin1String(name)), &gif));
        for (const auto& f : gif.frames) {
            EXPECT_EQ(f.width, 60) << name;
            EXPECT_EQ(f.transparentIndex, -1) << name;
        }
    }
}

TEST(FrameEncoderInterframe, UnchangedFrameIsOneTransparentPixel) {
    IndexedImage frame(4, 3);
    std::fill(frame.pixels.begin(), frame.pixels.end(), 2);
    const std::vector<std::uint8_t> previous(12, 2);
    const ChangedPart part = FindChanges(frame, previous);
    EXPECT_TRUE(part.rect.isEmpty());
    const IndexedImage out = CutOut(frame, previous, part, 7);
    EXPECT_EQ(out.width, 1);
    EXPECT_EQ(out.pixels, std::vector<std::uint8_t>{7});
    EXPECT_EQ(out.transparentIndex, 7);

    frame.Row(1)[2] = 5; // one pixel changed
    frame.Row(2)[1] = 5;
    const ChangedPart two = FindChanges(frame, previous);
    EXPECT_EQ(two.rect, QRect(1, 1, 2, 2));
    EXPECT_DOUBLE_EQ(two.unchangedShare, 0.5);
    const IndexedImage holes = CutOut(frame, previous, two, 7);
    EXPECT_EQ(holes.pixels, (std::vector<std::uint8_t>{7, 5, 5, 7}));
    const IndexedImage whole = CutOut(frame, previous, two, -1);
    EXPECT_EQ(whole.pixels, (std::vector<std::uint8_t>{2, 5, 5, 2}));
    EXPECT_EQ(whole.transparentIndex, -1);

    // Nothing changed and no entry to spare: the frame's own first pixel.
    frame.Row(0)[0] = 3;
    std::vector<std::uint8_t> same = frame.pixels;
    const IndexedImage kept = CutOut(frame, same, FindChanges(frame, same), -1);
    EXPECT_EQ(kept.pixels, std::vector<std::uint8_t>{3});
    EXPECT_EQ(kept.transparentIndex, -1);
}

} // namespace

namespace {

// Smooth waves whose hues turn a quarter of the circle over the animation:
// each frame holds a narrow band of the animation's colours. With `scroll`
// the hues stay and the picture moves instead.
class DriftSource : public FrameSource {
public:
    explicit DriftSource(bool scroll = false) : m_bScroll(scroll) {}
    int FrameCount() const override { return 10; }
    QSize FrameSize() const override { return QSize(64, 48); }
    int FrameDelay(int) const override { return 6; }
    Status DrawFrame(int index, QImage* frame) override {
        *frame = QImage(64, 48, QImage::Format_RGB32);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const int sx = m_bScroll ? x + 3 * index : x;
                const double wave = std::sin(sx * 0.09 + y * 0.05) * std::cos(y * 0.11 - sx * 0.03);
                const double hue = (m_bScroll ? 0.3 : index * 0.025) + 0.06 * wave + sx * 0.0015;
                frame->setPixel(x, y,
                                QColor::fromHsvF(hue - std::floor(hue), 0.4 + 0.5 * (y / 48.0),
                                                 0.3 + 0.6 * (0.5 + 0.5 * wave))
                                    .rgb());
            }
        return Status::Ok();
    }

private:
    bool m_bScroll;
};

// PSNR of the composited frames after a 3 x 3 box blur of both, as dither
// noise is not an error to the eye.
double BlurredPsnr(FrameSource& source, const GifAnimation& gif) {
    double se = 0;
    std::size_t n = 0;
    for (int i = 0; i < source.FrameCount(); ++i) {
        QImage expected;
        source.DrawFrame(i, &expected);
        const QImage shown = gif.composited[std::size_t(i)].convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                for (int c = 0; c < 3; ++c) {
                    double a = 0, b = 0;
                    int k = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int xx = x + dx, yy = y + dy;
                            if (xx < 0 || yy < 0 || xx >= expected.width() ||
                                yy >= expected.height())
                                continue;
                            const QRgb p = expected.pixel(xx, yy), q = shown.pixel(xx, yy);
                            a += c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p);
                            b += c == 0 ? qRed(q) : c == 1 ? qGreen(q) : qBlue(q);
                            ++k;
                        }
                    se += (a - b) * (a - b) / (k * k);
                    ++n;
                }
    }
    return 10 * std::log10(255.0 * 255.0 / (se / double(n)));
}

TEST(FrameEncoderPalettes, DriftingColoursGetLocalTablesThatPay) {
    QTemporaryDir dir;
    DriftSource source;
    EncodeOptions options;
    options.maxColors = 32; // few colours, so that where they go shows
    EncodeStats stats;
    ASSERT_TRUE(
        EncodeAnimatedGif(source, dir.filePath(QStringLiteral("a.gif")), options, nullptr, &stats));
    EXPECT_GT(stats.localPalettes, 5);
    options.palette = PaletteMode::Global;
    EncodeStats globalStats;
    ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("g.gif")), options, nullptr,
                                  &globalStats));
    EXPECT_EQ(globalStats.localPalettes, 0);

    GifAnimation local, global;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("a.gif")), &local));
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("g.gif")), &global));
    int tables = 0;
    for (const GifFrameInfo& f : local.frames)
        tables += f.localColorTable;
    EXPECT_EQ(tables, stats.localPalettes);
    for (const GifFrameInfo& f : global.frames)
        EXPECT_FALSE(f.localColorTable);
    const double localPsnr = BlurredPsnr(source, local), globalPsnr = BlurredPsnr(source, global);
    EXPECT_GT(localPsnr, 35.5) << globalPsnr; // 36.9 measured, 32.1 with one palette
    EXPECT_GT(localPsnr, globalPsnr + 3.0) << globalPsnr;
}

TEST(FrameEncoderPalettes, ScrollingPictureKeepsOneGlobalPalette) {
    QTemporaryDir dir;
    DriftSource source(true);
    EncodeOptions options;
    options.maxColors = 32;
    EncodeStats stats;
    ASSERT_TRUE(
        EncodeAnimatedGif(source, dir.filePath(QStringLiteral("s.gif")), options, nullptr, &stats));
    EXPECT_EQ(stats.localPalettes, 0);
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("s.gif")), &gif));
    for (const GifFrameInfo& f : gif.frames)
        EXPECT_FALSE(f.localColorTable);
}

// Frame differencing and transparency across frames whose palettes differ:
// a pixel left transparent must show the colour it had, whatever index the
// new palette gives that colour.
TEST(FrameEncoderPalettes, LocalTablesKeepDifferencingTransparencyAndThreadCounts) {
    QTemporaryDir dir;
    DriftSource source;
    CellMask mask(64, 48);
    for (int x = 10; x < 30; ++x)
        mask.SetCell(x, 20, true);
    const CellMask* masks[] = {nullptr, &mask};
    for (const CellMask* m : masks) {
        EncodeOptions options;
        options.maxColors = 64;
        options.palette = PaletteMode::Local;
        options.dither = false;
        options.mask = m;
        options.threads = 1;
        EncodeStats stats;
        ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("1.gif")), options,
                                      nullptr, &stats));
        EXPECT_EQ(stats.localPalettes, 10);
        options.threads = 3;
        ASSERT_TRUE(EncodeAnimatedGif(source, dir.filePath(QStringLiteral("3.gif")), options));
        EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("1.gif"))),
                  ReadAll(dir.filePath(QStringLiteral("3.gif"))));
        GifAnimation gif;
        ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("1.gif")), &gif));
        ASSERT_EQ(gif.frames.size(), 10u);
        for (int i = 0; i < 10; ++i) {
            const GifFrameInfo& f = gif.frames[std::size_t(i)];
            EXPECT_TRUE(f.localColorTable);
            // Each frame's pixels decode through its own table to what the
            // plain remap gives: nearest colours, so no pixel is far off.
            QImage expected;
            source.DrawFrame(i, &expected);
            const QImage& shown = gif.composited[std::size_t(i)];
            int far = 0;
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 64; ++x) {
                    if (m && m->IsCell(x, y)) {
                        EXPECT_EQ(qAlpha(shown.pixel(x, y)), 0) << i;
                        continue;
                    }
                    const QRgb a = expected.pixel(x, y), b = shown.pixel(x, y);
                    far += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                               std::abs(qBlue(a) - qBlue(b)) >
                           45;
                }
            EXPECT_EQ(far, 0) << "frame " << i << (m ? " masked" : "");
        }
        if (m) {
            for (const GifFrameInfo& f : gif.frames)
                EXPECT_EQ(f.transparentIndex, 0);
        }
    }
}

// A source that draws again rather than being held (frames read from a
// file) gives the file a held one gives: the chain of frames' own palettes
// and the remap workers draw the frames themselves.
class RedrawnDriftSource : public DriftSource {
public:
    bool CheapToRedraw() const override { return true; }
    Status DrawFrame(int index, QImage* frame) override {
        ++drawn;
        return DriftSource::DrawFrame(index, frame);
    }
    std::atomic<int> drawn{0};
};

TEST(FrameEncoderPalettes, FramesDrawnAgainGiveTheFileOfFramesHeld) {
    QTemporaryDir dir;
    CellMask mask(64, 48);
    for (int x = 10; x < 30; ++x)
        mask.SetCell(x, 20, true);
    for (const PaletteMode mode : {PaletteMode::Auto, PaletteMode::Local, PaletteMode::Global})
        for (const CellMask* m : std::initializer_list<const CellMask*>{nullptr, &mask})
            for (const int threads : {1, 2}) {
                EncodeOptions options;
                options.maxColors = 32;
                options.palette = mode;
                options.mask = m;
                options.threads = threads;
                DriftSource held;
                RedrawnDriftSource redrawn;
                EncodeStats heldStats, redrawnStats;
                ASSERT_TRUE(EncodeAnimatedGif(held, dir.filePath(QStringLiteral("h.gif")), options,
                                              nullptr, &heldStats));
                ASSERT_TRUE(EncodeAnimatedGif(redrawn, dir.filePath(QStringLiteral("r.gif")),
                                              options, nullptr, &redrawnStats));
                const QString what = QStringLiteral("mode %1 mask %2 threads %3")
                                         .arg(int(mode))
                                         .arg(m != nullptr)
                                         .arg(threads);
                EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("h.gif"))),
                          ReadAll(dir.filePath(QStringLiteral("r.gif"))))
                    << what.toStdString();
                EXPECT_EQ(heldStats.localPalettes, redrawnStats.localPalettes);
                // Once for the palette and once for the remap, and once more
                // for the chain where frames got their own palettes.
                const int chain = redrawnStats.localPalettes > 0 ? 10 : 0;
                EXPECT_GE(redrawn.drawn.load(), 20 + chain) << what.toStdString();
            }
}

} // namespace
