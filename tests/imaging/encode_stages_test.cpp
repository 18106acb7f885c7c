// The save pipeline's stages one at a time, and how the whole save ends when
// memory runs out.
#include "core/imaging/encode_control.h"
#include "core/imaging/frame_encoder.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/lzw_encoder.h"
#include "core/imaging/ordered_writer.h"
#include "core/imaging/palette_sampler.h"
#include "file_contents.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <new>
#include <thread>

namespace {

// Flat frames, one colour each (frame i: grey level 10 * i), or, with
// `tint`, a frame of one hue ramp per frame.
class FlatSource : public FrameSource {
public:
    FlatSource(int frames, QSize size, bool randomAccess = true)
        : m_nFrames(frames), m_size(size), m_bRandom(randomAccess) {}
    int FrameCount() const override { return m_nFrames; }
    QSize FrameSize() const override { return m_size; }
    bool IsRandomAccess() const override { return m_bRandom; }
    int FrameDelay(int) const override { return 4; }
    Status DrawFrame(int index, QImage* frame) override {
        ++drawn;
        if (index == throwAt)
            throw std::bad_alloc();
        if (index == nullAt) {
            *frame = QImage();
            return Status::Ok();
        }
        if (index == wrongSizeAt) {
            *frame = QImage(m_size.width() + 1, m_size.height(), QImage::Format_RGB32);
            frame->fill(0);
            return Status::Ok();
        }
        *frame = QImage(m_size, QImage::Format_RGB32);
        frame->fill(qRgb(10 * index % 256, 10 * index % 256, 10 * index % 256));
        return Status::Ok();
    }
    int throwAt = -1, nullAt = -1, wrongSizeAt = -1;
    std::atomic<int> drawn{0};

private:
    int m_nFrames;
    QSize m_size;
    bool m_bRandom;
};

class Recorder : public ProgressSink {
public:
    explicit Recorder(int cancelAt = 1 << 30) : m_nCancelAt(cancelAt) {}
    bool Progress(int done, int total) override {
        // Calls never overlap: a second one inside the first is a fault.
        EXPECT_FALSE(m_bInside.exchange(true));
        calls.push_back(done);
        this->total = total;
        std::this_thread::yield();
        m_bInside = false;
        return done < m_nCancelAt;
    }
    std::vector<int> calls;
    int total = 0;

private:
    int m_nCancelAt;
    std::atomic<bool> m_bInside{false};
};

TEST(EncodeControl, FirstFailureWinsAndEndsEveryWait) {
    EncodeControl control(nullptr, 10);
    EXPECT_FALSE(control.Aborted());
    EXPECT_FALSE(control.Failure());
    bool woke = false;
    std::thread waiter([&] {
        auto lock = control.Lock();
        woke = !control.Wait(lock, [] { return false; }); // only an abort ends it
    });
    control.Fail(Status::Error(QStringLiteral("first")));
    control.Fail(Status::Error(QStringLiteral("second")));
    waiter.join();
    EXPECT_TRUE(woke);
    EXPECT_TRUE(control.Aborted());
    EXPECT_EQ(control.Failure()->message(), QStringLiteral("first"));
}

TEST(EncodeControl, GuardTurnsExhaustedMemoryIntoAStatus) {
    EncodeControl control(nullptr, 1);
    EXPECT_TRUE(control.Guard(QStringLiteral("x"), [] {}));
    EXPECT_FALSE(control.Aborted());
    EXPECT_FALSE(control.Guard(QStringLiteral("the palette"), [] { throw std::bad_alloc(); }));
    ASSERT_TRUE(control.Failure());
    EXPECT_EQ(control.Failure()->message(), QStringLiteral("Not enough memory for the palette"));
}

TEST(EncodeControl, SinkCancelsOnceAndTimesAddUp) {
    Recorder sink(3);
    EncodeControl control(&sink, 5);
    for (int i = 0; i < 5; ++i)
        control.Step();
    EXPECT_EQ(sink.calls, (std::vector<int>{1, 2, 3})); // not asked again once cancelled
    EXPECT_EQ(sink.total, 5);
    EXPECT_EQ(control.Failure()->message(), CancelledMessage());

    // Stage times from many threads at once: all of them arrive.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i)
                control.AddTime(EncodeControl::Stage::Palette, 0.001);
        });
    for (auto& t : threads)
        t.join();
    EncodeStats stats;
    control.CopyTimes(&stats);
    EXPECT_NEAR(stats.paletteSeconds, 4.0, 1e-9);
    EXPECT_EQ(stats.drawSeconds, 0);
}

// A stage's time is the CPU its threads spend in it: a worker that waits
// for the frame before it (or for a core) adds nothing, so the figures do
// not grow with the thread count.
TEST(EncodeControl, StageTimesCountWorkNotWaiting) {
    EncodeControl control(nullptr, 1);
    {
        EncodeControl::Timer timer(control, EncodeControl::Stage::Write);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    {
        EncodeControl::Timer timer(control, EncodeControl::Stage::Remap);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
        volatile std::uint64_t n = 0;
        while (std::chrono::steady_clock::now() < until)
            n = n + 1;
    }
    EncodeStats stats;
    control.CopyTimes(&stats);
    EXPECT_LT(stats.writeSeconds, 0.1);
    EXPECT_GT(stats.remapSeconds, 0.0);
    EXPECT_LT(stats.remapSeconds, 0.1);
}

// A full palette draws frame 1 to see whether the picture stays; that is
// drawing, not choosing the palette, and counts once.
TEST(EncodeControl, PaletteStageDoesNotCountTheFrameItDraws) {
    class SlowSecondFrame : public FrameSource {
    public:
        int FrameCount() const override { return 3; }
        QSize FrameSize() const override { return QSize(8, 8); }
        int FrameDelay(int) const override { return 4; }
        Status DrawFrame(int index, QImage* frame) override {
            if (index == 1) {
                const std::clock_t until = std::clock() + CLOCKS_PER_SEC / 4;
                while (std::clock() < until) {
                }
            }
            *frame = QImage(FrameSize(), QImage::Format_RGB32);
            for (int x = 0; x < 8; ++x) // more colours than the palette holds
                for (int y = 0; y < 8; ++y)
                    frame->setPixel(x, y, qRgb(32 * x, 32 * y, 0));
            return Status::Ok();
        }
    };
    QTemporaryDir dir;
    SlowSecondFrame source;
    EncodeOptions options;
    options.threads = 1;
    options.maxColors = 4;
    options.paletteSamplePixels = 1; // frame 0 only: the palette stage draws frame 1
    EncodeStats stats;
    ASSERT_TRUE(
        EncodeAnimatedGif(source, dir.filePath(QStringLiteral("s.gif")), options, nullptr, &stats));
    EXPECT_GT(stats.drawSeconds, 0.3); // frame 1 for the palette and again for its remap
    EXPECT_LT(stats.paletteSeconds, 0.2);
}

TEST(OrderedWriter, WritesFramesInOrderWhateverOrderTheyFinish) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("o.gif"));
    GifWriter writer;
    ASSERT_TRUE(writer.Open(path, 4, 2, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, GifFileOptions()));
    EncodeControl control(nullptr, 6);
    OrderedWriter ordered(writer, control, 6, 2);
    EXPECT_EQ(ordered.Claim(), 0);
    EXPECT_EQ(ordered.Claim(), 1);
    // Two frames in flight: the third waits until frame 0 is written.
    std::atomic<int> third{-2};
    std::thread late([&] { third = ordered.Claim(); });
    std::thread producer([&] {
        for (int i : {1, 0, 3, 2, 5, 4}) {
            IndexedImage image(4, 2);
            std::fill(image.pixels.begin(), image.pixels.end(), std::uint8_t(i % 2));
            image.delay = 10 + i;
            EncodedFrame f;
            f.image = image;
            f.lzw = LzwEncode(image.pixels.data(), image.pixels.size(), writer.MinCodeSize());
            ordered.Put(i, std::move(f));
        }
    });
    ordered.Run();
    producer.join();
    late.join();
    EXPECT_EQ(third, 2);
    EXPECT_EQ(ordered.Written(), 6);
    ASSERT_TRUE(writer.Finish());
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(path, &gif));
    ASSERT_EQ(gif.frames.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(gif.frames[std::size_t(i)].delay, 10 + i);
        EXPECT_EQ(gif.frames[std::size_t(i)].indices.At(0, 0), i % 2);
    }
}

TEST(OrderedWriter, AbortEndsTheWriterAndTheClaims) {
    QTemporaryDir dir;
    GifWriter writer;
    ASSERT_TRUE(writer.Open(dir.filePath(QStringLiteral("a.gif")), 2, 2,
                            {qRgb(0, 0, 0), qRgb(255, 255, 255)}, GifFileOptions()));
    EncodeControl control(nullptr, 3);
    OrderedWriter ordered(writer, control, 3, 1);
    EXPECT_EQ(ordered.Claim(), 0);
    std::thread stopper([&] { control.Fail(Status::Error(QStringLiteral("stop"))); });
    ordered.Run(); // frame 0 never arrives
    stopper.join();
    EXPECT_EQ(ordered.Written(), 0);
    EXPECT_EQ(ordered.Claim(), -1);
    writer.Cancel();
}

TEST(PaletteSampler, SamplesEvenlyAndKeepsFramesWhenAllAreSampled) {
    EXPECT_EQ(PaletteSampler::ChooseSamples(10, QSize(10, 10), 400),
              (std::vector<int>{0, 2, 5, 7}));
    EXPECT_EQ(PaletteSampler::ChooseSamples(3, QSize(10, 10), 10).size(), 1u); // at least one
    EXPECT_EQ(PaletteSampler::ChooseSamples(3, QSize(10, 10), 1 << 20).size(), 3u);

    for (bool random : {true, false}) {
        FlatSource source(6, QSize(5, 4), random);
        EncodeControl control(nullptr, 100);
        PaletteSampler sampler(source, control);
        sampler.Run({0, 1, 2, 3, 4, 5}, true, 3);
        ASSERT_FALSE(control.Failure());
        EXPECT_EQ(source.drawn, 6);
        EXPECT_EQ(sampler.Histogram().ColorCount(), 6u);
        EXPECT_EQ(sampler.Histogram().PixelCount(), 6u * 20u);
        ASSERT_EQ(sampler.Kept().size(), 6u);
        EXPECT_EQ(sampler.Kept()[4].pixel(0, 0), qRgb(40, 40, 40)) << random;
        EXPECT_FALSE(sampler.First(1).isNull());
        // One colour a frame: one cell each, six together.
        EXPECT_DOUBLE_EQ(sampler.FrameCells(), 1.0);
        EXPECT_EQ(sampler.AnimationCells(), 6); // greys 0..50 step 10: cells 8 wide
        EXPECT_EQ(control.StepsDone(), 6);
    }
    // A sequential source is drawn through, sampled or not.
    FlatSource sequential(6, QSize(5, 4), false);
    EncodeControl control(nullptr, 100);
    PaletteSampler sampler(sequential, control);
    sampler.Run({0, 3}, false, 2);
    EXPECT_EQ(sequential.drawn, 6);
    EXPECT_EQ(sampler.Histogram().ColorCount(), 2u);
    EXPECT_TRUE(sampler.Kept().empty());
}

// Frames drawn for the palette go on to the remap stage when they fit the
// sample budget: a source that draws any frame draws each once; one drawn in
// order is drawn through twice. The file shows each kept frame in its place.
TEST(PaletteSampler, SampledFramesAreNotDrawnAgain) {
    for (bool random : {true, false}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.gif"));
        FlatSource source(10, QSize(10, 10), random);
        EncodeOptions options;
        options.threads = 2;
        options.paletteSamplePixels = 400; // frames 0, 2, 5 and 7
        ASSERT_TRUE(EncodeAnimatedGif(source, path, options));
        EXPECT_EQ(source.drawn, random ? 10 : 20);
        GifAnimation gif;
        ASSERT_TRUE(ReadGif(path, &gif));
        ASSERT_EQ(gif.composited.size(), 10u);
        for (int i : {0, 2, 5, 7})
            EXPECT_EQ(gif.composited[std::size_t(i)].pixel(4, 4) & 0xFFFFFFu,
                      qRgb(10 * i, 10 * i, 10 * i) & 0xFFFFFFu)
                << i << (random ? " random" : " in order");
    }
}

// A still scrolled round the frame, as Flowing Clouds and Dynamic Picture
// draw it: frame pixel (x, y) is still pixel ((x - u) mod w, (y - v) mod h).
class ScrollSource : public FrameSource {
public:
    ScrollSource(QSize still, QSize frame) : m_frame(frame) {
        m_still = QImage(still, QImage::Format_RGB32);
        std::uint32_t seed = 5;
        for (int y = 0; y < still.height(); ++y)
            for (int x = 0; x < still.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                // Many colours, and runs of one, so that both the counts
                // and the spread matter.
                m_still.setPixel(x, y, x % 4 == 0 ? qRgb(200, 10, 10) : seed >> 8);
            }
    }
    int FrameCount() const override { return 9; }
    QSize FrameSize() const override { return m_frame; }
    int FrameDelay(int) const override { return 5; }
    QImage ScrollStill() const override { return m_still; }
    QPoint ScrollShift(int index) const override {
        return QPoint((index * 7) % m_still.width(), (index * 3) % m_still.height());
    }
    Status DrawFrame(int index, QImage* frame) override {
        ++drawn;
        *frame = QImage(m_frame, QImage::Format_RGB32);
        const QPoint shift = ScrollShift(index);
        const int w = m_still.width(), h = m_still.height();
        for (int y = 0; y < m_frame.height(); ++y)
            for (int x = 0; x < m_frame.width(); ++x)
                frame->setPixel(
                    x, y,
                    m_still.pixel(((x - shift.x()) % w + w) % w, ((y - shift.y()) % h + h) % h));
        return Status::Ok();
    }
    std::atomic<int> drawn{0};

private:
    QImage m_still;
    QSize m_frame;
};

// Counting the still stands in for drawing the frames only where it gives
// the same counts, spread and first frames: a still the frame's size, one
// that tiles it (odd sizes, so that every other column wraps unevenly), and
// one that does not tile it, whose frames are drawn.
TEST(PaletteSampler, AStillThatTilesTheFrameIsCountedForItsFrames) {
    struct Case {
        QSize still, frame;
        bool fromStill;
    };
    for (const Case& c : {Case{{37, 23}, {37, 23}, true}, Case{{13, 9}, {39, 27}, true},
                          Case{{13, 9}, {40, 27}, false}}) {
        const std::vector<int> samples{0, 1, 4, 8};
        ScrollSource drawnSource(c.still, c.frame), stillSource(c.still, c.frame);
        EncodeControl drawnControl(nullptr, 100), stillControl(nullptr, 100);
        PaletteSampler drawn(drawnSource, drawnControl), fromStill(stillSource, stillControl);
        drawn.Run(samples, false, 2);
        fromStill.Run(samples, false, 2, true);
        ASSERT_FALSE(stillControl.Failure());
        const auto a = drawn.Histogram().Entries(), b = fromStill.Histogram().Entries();
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t k = 0; k < a.size(); ++k) {
            EXPECT_EQ(a[k].color, b[k].color);
            EXPECT_EQ(a[k].count, b[k].count);
        }
        EXPECT_EQ(drawn.Histogram().PixelCount(), fromStill.Histogram().PixelCount());
        EXPECT_EQ(drawn.AnimationCells(), fromStill.AnimationCells());
        EXPECT_DOUBLE_EQ(drawn.FrameCells(), fromStill.FrameCells());
        EXPECT_EQ(drawn.First(1), fromStill.First(1));
        EXPECT_EQ(stillControl.StepsDone(), 4);
        // Only frames 0 and 1 are drawn, for the first frames.
        EXPECT_EQ(stillSource.drawn.load(), c.fromStill ? 2 : 4);
    }
}

// Memory that runs out anywhere in the save ends it with a message and
// leaves the previous file as it was.
TEST(EncodeOutOfMemory, EndsTheSaveAndKeepsThePreviousFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteAll(path, "previous"));
    struct Case {
        bool random;
        std::size_t samplePixels; // small: frames are drawn again to remap
        int throwAt, nullAt;
    };
    const Case cases[] = {
        {true, std::size_t(1) << 20, 5, -1}, // while sampling
        {true, 8 * 8 * 2, 7, -1},            // while remapping
        {false, std::size_t(1) << 20, 3, -1},
        {false, 8 * 8 * 2, 9, -1},
        {true, 8 * 8 * 2, -1, 6}, // a frame that could not be allocated
        {false, 8 * 8 * 2, -1, 2},
    };
    for (const Case& c : cases) {
        for (int threads : {1, 3}) {
            FlatSource source(12, QSize(8, 8), c.random);
            source.throwAt = c.throwAt;
            source.nullAt = c.nullAt;
            EncodeOptions options;
            options.threads = threads;
            options.paletteSamplePixels = c.samplePixels;
            const Status s = EncodeAnimatedGif(source, path, options);
            EXPECT_FALSE(s);
            EXPECT_EQ(s.message(), QStringLiteral("Not enough memory for a 8 x 8 frame"))
                << c.random << " " << c.throwAt << " " << threads;
            EXPECT_EQ(ReadAll(path), QByteArray("previous"));
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
                      QStringList{QStringLiteral("keep.gif")});
        }
    }
    // A frame of the wrong size is the source's fault, not memory.
    FlatSource source(4, QSize(8, 8));
    source.wrongSizeAt = 2;
    const Status s = EncodeAnimatedGif(source, path, EncodeOptions());
    EXPECT_EQ(s.message(), QStringLiteral("Frame 3 was drawn at 9 x 8 pixels instead of 8 x 8"));
    EXPECT_EQ(ReadAll(path), QByteArray("previous"));
}

} // namespace

// A share that throws on a worker thread would end the process there; it
// comes back on the caller's thread once every other share has run.
TEST(RunOnThreads, AWorkersExceptionReachesTheCallerAfterEveryShare) {
    for (const int thrower : {0, 1, 3}) {
        std::atomic<int> ran{0};
        EXPECT_THROW(RunOnThreads(4,
                                  [&](int share) {
                                      ++ran;
                                      if (share == thrower)
                                          throw std::bad_alloc();
                                  }),
                     std::bad_alloc)
            << "share " << thrower;
        EXPECT_EQ(ran.load(), 4) << "share " << thrower;
    }
}
