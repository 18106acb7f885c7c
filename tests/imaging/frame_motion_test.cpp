// Frames of a panned picture: finding how a frame moved, and mapping it
// from the frame before.
#include "core/imaging/frame_encoder.h"
#include "core/imaging/frame_motion.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/pan_counter.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A picture larger than the frames: noise over a slow ramp, with a flat
// band, so that the probe and the search meet both detail and flat rows.
QImage World(int w, int h) {
    QImage world(w, h, QImage::Format_RGB32);
    std::uint32_t seed = 11;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 27);
            world.setPixel(x, y,
                           y % 17 < 3 ? qRgb(90, 140, 200)
                                      : qRgb((x + n) % 256, (y * 2 + n) % 256, (x + y) / 3 % 256));
        }
    return world;
}

// The frame the window at (x, y) of the world shows.
QImage Window(const QImage& world, int x, int y, int w, int h) {
    return world.copy(x, y, w, h);
}

PaletteColors Greys(int levels) {
    PaletteColors palette;
    for (int k = 0; k < levels; ++k)
        palette.push_back(
            qRgb(255 * k / (levels - 1), 255 * k / (levels - 1), 255 * k / (levels - 1)));
    return palette;
}

PaletteColors Spread() {
    PaletteColors palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back(qRgb(r * 51, g * 51, b * 51));
    return palette;
}

} // namespace

// The shift is found exactly whichever way the picture moved, the nearest
// one when the frame did not move; a frame that is not the one before moved
// (one pixel changed, a shift beyond reach, another picture) has none.
TEST(FramePan, FindsTheShiftOfAMovedFrameAndNoneOtherwise) {
    const QImage world = World(400, 300);
    const int w = 160, h = 120; // reach: 30
    const QImage before = Window(world, 100, 80, w, h);
    for (const QPoint shift : {QPoint(0, 0), QPoint(3, 1), QPoint(-5, 2), QPoint(0, -7),
                               QPoint(12, -12), QPoint(-30, 30)}) {
        const QImage now = Window(world, 100 + shift.x(), 80 + shift.y(), w, h);
        const auto found = FindPan(before, now);
        ASSERT_TRUE(found) << shift.x() << "," << shift.y();
        EXPECT_EQ(*found, shift);
    }
    QImage touched = Window(world, 103, 81, w, h);
    touched.setPixel(w - 4, 2, touched.pixel(w - 4, 2) ^ 0x010000u); // in view, not the probe
    EXPECT_FALSE(FindPan(before, touched));
    EXPECT_FALSE(FindPan(before, Window(world, 131, 80, w, h)));
    EXPECT_FALSE(FindPan(before, Window(World(400, 300).mirrored(true, false), 100, 80, w, h)));
    // A flat frame has not moved, whatever way it might have.
    QImage flat(w, h, QImage::Format_RGB32);
    flat.fill(qRgb(7, 8, 9));
    EXPECT_EQ(FindPan(flat, flat), QPoint(0, 0));
}

// Mapped to the nearest colours, a panned frame is exactly what mapping it
// whole gives; dithered, the part in view keeps the frame before's pattern,
// moved, and the new pixels are diffused, not merely rounded.
TEST(FramePan, PannedFramesMapAsThemselvesAndDitherOnFromTheFrameBefore) {
    const QImage world = World(400, 300);
    const int w = 160, h = 120;
    const Remapper spread(Spread());
    const QImage before = Window(world, 100, 80, w, h);
    std::vector<std::uint8_t> previous(std::size_t(w) * h), panned(previous.size()),
        whole(previous.size());
    ASSERT_TRUE(spread.Remap(before, false, previous.data()));
    for (const QPoint shift : {QPoint(3, 1), QPoint(-5, -2), QPoint(0, 9), QPoint(-7, 0)}) {
        const QImage now = Window(world, 100 + shift.x(), 80 + shift.y(), w, h);
        ASSERT_TRUE(RemapPanned(spread, false, now, previous.data(), shift, panned.data()));
        ASSERT_TRUE(spread.Remap(now, false, whole.data()));
        EXPECT_EQ(panned, whole) << shift.x() << "," << shift.y();
    }

    // A slow grey ramp across four greys: only diffusion keeps its tone in
    // the columns that came into view.
    QImage ramp(w + 6, h + 2, QImage::Format_RGB32);
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < ramp.width(); ++x)
            ramp.setPixel(x, y, qRgb(40 + x / 2, 40 + x / 2, 40 + x / 2));
    const Remapper greys(Greys(4));
    const QImage first = ramp.copy(0, 0, w, h), next = ramp.copy(6, 2, w, h);
    ASSERT_TRUE(greys.Remap(first, true, previous.data()));
    ASSERT_TRUE(RemapPanned(greys, true, next, previous.data(), QPoint(6, 2), panned.data()));
    for (int y = 0; y < h - 2; ++y)
        for (int x = 0; x < w - 6; ++x)
            ASSERT_EQ(panned[std::size_t(y) * w + x], previous[std::size_t(y + 2) * w + x + 6]);
    const PaletteColors levels = Greys(4);
    double source = 0, shown = 0;
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = w - 6; x < w; ++x, ++n) {
            source += qRed(next.pixel(x, y));
            shown += qRed(levels[panned[std::size_t(y) * w + x]]);
        }
    EXPECT_NEAR(shown / n, source / n, 6.0); // the nearest grey alone is 36 levels off
}

namespace {

// The window panning over the world by (3, 1) a frame, as a camera would.
class PanSource : public FrameSource {
public:
    explicit PanSource(const QImage& world) : m_world(world) {}
    int FrameCount() const override { return 8; }
    QSize FrameSize() const override { return QSize(120, 90); }
    int FrameDelay(int) const override { return 5; }
    bool MayPan() const override { return true; }
    Status DrawFrame(int index, QImage* frame) override {
        *frame = Window(m_world, 20 + 3 * index, 10 + index, 120, 90);
        return Status::Ok();
    }

private:
    QImage m_world;
};

} // namespace

// Through the whole save: on any number of threads the same file, whose
// frames show the dither pattern travelling with the picture; mapped frame
// by frame it does not.
TEST(FramePan, ASavedPanCarriesItsDitherAlong) {
    QTemporaryDir dir;
    PanSource source(World(400, 300));
    auto save = [&](int threads, bool follow) {
        EncodeOptions options;
        options.threads = threads;
        options.followPans = follow;
        options.palette = PaletteMode::Global;
        options.maxColors = 32;
        const QString path = dir.filePath(QStringLiteral("pan%1%2.gif").arg(threads).arg(follow));
        EXPECT_TRUE(EncodeAnimatedGif(source, path, options));
        GifAnimation gif;
        EXPECT_TRUE(ReadGif(path, &gif));
        return gif;
    };
    const GifAnimation one = save(1, true), two = save(2, true), apart = save(2, false);
    ASSERT_EQ(two.composited.size(), 8u);
    auto carried = [](const GifAnimation& gif) {
        for (std::size_t i = 1; i < gif.composited.size(); ++i)
            for (int y = 0; y < 89; ++y)
                for (int x = 0; x < 117; ++x)
                    if (gif.composited[i].pixel(x, y) != gif.composited[i - 1].pixel(x + 3, y + 1))
                        return false;
        return true;
    };
    EXPECT_TRUE(carried(two));
    EXPECT_FALSE(carried(apart));
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(one.composited[i], two.composited[i]) << i;

    // Its colours were counted by the strips that came into view, which
    // gives the palette of counting every frame whole.
    class Whole : public PanSource {
    public:
        using PanSource::PanSource;
        bool MayPan() const override { return false; }
    } whole(World(400, 300));
    EncodeOptions options;
    options.followPans = false;
    options.palette = PaletteMode::Global;
    options.maxColors = 32;
    GifAnimation counted;
    ASSERT_TRUE(EncodeAnimatedGif(whole, dir.filePath(QStringLiteral("whole.gif")), options));
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("whole.gif")), &counted));
    EXPECT_EQ(counted.globalPalette, apart.globalPalette);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(counted.composited[i], apart.composited[i]) << i;
}

// Counting a pan by what comes into and goes out of view gives the counts of
// counting every frame whole: over runs longer than one count, pans either
// way, a frame that stays, a jump, and a frame of another format; exactly,
// and merged into cells past the exact limit (a world of random colours).
TEST(FramePan, APanIsCountedAsEveryFrameWhole) {
    QImage noisy(500, 400, QImage::Format_RGB32);
    std::uint32_t seed = 5;
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            noisy.setPixel(x, y, seed >> 8);
        }
    std::vector<QPoint> at;
    for (int k = 0; k < 11; ++k)
        at.emplace_back(20 + 3 * k, 10 + k);
    for (int k = 1; k <= 3; ++k)
        at.emplace_back(50 - 4 * k, 20 + 2 * k);
    at.push_back(at.back());
    at.emplace_back(200, 150);
    at.emplace_back(201, 150);
    for (const bool exact : {true, false}) {
        const QImage world = exact ? World(500, 400) : noisy;
        std::vector<QImage> frames;
        for (const QPoint& p : at)
            frames.push_back(Window(world, p.x(), p.y(), 200, 160));
        frames.push_back(frames.back().convertToFormat(QImage::Format_ARGB32));
        frames.push_back(Window(world, 204, 149, 200, 160).convertToFormat(QImage::Format_ARGB32));
        ColorHistogram whole, panned;
        PanCounter counter(panned);
        for (const QImage& frame : frames) {
            whole.AddFrame(frame);
            ASSERT_TRUE(counter.Add(frame));
        }
        ASSERT_TRUE(counter.Finish());
        EXPECT_EQ(panned.PixelCount(), whole.PixelCount());
        EXPECT_EQ(panned.IsExact(), whole.IsExact());
        EXPECT_EQ(whole.IsExact(), exact);
        const auto a = panned.Entries(), b = whole.Entries();
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(a[i].color, b[i].color) << i;
            ASSERT_EQ(a[i].count, b[i].count) << i;
        }
    }
}
