#include "core/animation/animation_save.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/imaging/gif_reader.h"
#include "file_contents.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <limits>

namespace {

int CountBlack(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == 0;
    return n;
}

TEST(MovingStripes, SettersClamp) {
    MovingStripesRenderer r;
    r.SetNumberOfColors(0);
    EXPECT_EQ(r.GetNumberOfColors(), 1);
    r.SetNumberOfColors(9);
    EXPECT_EQ(r.GetNumberOfColors(), 5);
    r.SetAngle(-5);
    EXPECT_EQ(r.GetAngle(), 0);
    r.SetStripeWidth(0);
    EXPECT_EQ(r.GetStripeWidth(), 1);
    r.SetStripeDistance(-1);
    EXPECT_EQ(r.GetStripeDistance(), 0);
    r.SetSpeed(0);
    EXPECT_EQ(r.GetSpeed(), 1);
    r.SetFrameWidth(2);
    EXPECT_EQ(r.GetFrameWidth(), 5);
}

TEST(MovingStripes, CycleLengths) {
    MovingStripesRenderer r; // one colour, w = g = 5
    EXPECT_EQ(r.CycleLength(), 20);
    r.SetNumberOfColors(3);
    r.SetStripeWidth(4);
    r.SetStripeDistance(2);
    EXPECT_EQ(r.CycleLength(), 24); // (n + 1)(w + g)
    r.SetBackgroundStripes(true);
    EXPECT_EQ(r.CycleLength(), 36); // 2n(w + g)
    r.PrepareSave();
    EXPECT_EQ(r.GetPeriod(), 46);
}

TEST(MovingStripes, TimingOfASave) {
    MovingStripesRenderer r;
    r.PrepareSave(); // defaults: L = 20, d = 30
    EXPECT_EQ(r.GetStep(), 2);
    EXPECT_EQ(r.GetDelay(), 10);
    EXPECT_EQ(r.FrameCount(), 10);
    EXPECT_EQ(r.GetPhase(), 30 - 10 * 2);

    r.SetSpeed(100);
    r.PrepareSave();
    EXPECT_EQ(r.GetStep(), 10);
    EXPECT_EQ(r.GetDelay(), 10);
    EXPECT_EQ(r.FrameCount(), 2);

    r.SetSpeed(2);
    r.PrepareSave();
    EXPECT_EQ(r.GetSpeed(), 3); // stored back
    EXPECT_EQ(r.GetStep(), 1);
    EXPECT_EQ(r.GetDelay(), 33);

    r.SetStripeWidth(400);
    r.SetNumberOfColors(5);
    r.PrepareSave();
    EXPECT_EQ(r.FrameCount(), 500); // capped

    MovingStripesRenderer tiny;
    tiny.SetStripeWidth(1);
    tiny.SetStripeDistance(0); // L = 2, d = 12
    tiny.SetSpeed(100);
    tiny.PrepareSave();
    EXPECT_EQ(tiny.GetStep(), 4);
    EXPECT_EQ(tiny.FrameCount(), 1); // never an empty animation
}

TEST(MovingStripes, AnglesAndQuadrants) {
    const std::pair<int, int> cases[] = {{0, 1},   {45, 1},  {46, 2},  {134, 2},
                                         {135, 3}, {225, 3}, {226, 4}, {314, 4},
                                         {315, 1}, {360, 1}, {90, 2},  {270, 4}};
    for (auto [angle, quadrant] : cases)
        EXPECT_EQ(MovingStripesRenderer::QuadrantOf(angle), quadrant) << angle;
    MovingStripesRenderer r;
    r.SetAngle(400);
    r.PrepareSave();
    EXPECT_EQ(r.GetAngle(), 40);
    r.SetAngle(720);
    r.PrepareSave();
    EXPECT_EQ(r.GetAngle(), 360);
}

TEST(MovingStripes, Tile) {
    MovingStripesRenderer r;
    r.SetAngle(0);
    r.Tile();
    EXPECT_EQ(r.GetFrameWidth(), 40);
    EXPECT_EQ(r.GetFrameHeight(), 10);
    r.SetAngle(90);
    r.Tile();
    EXPECT_EQ(r.GetFrameWidth(), 10);
    EXPECT_EQ(r.GetFrameHeight(), 40);
    r.SetAngle(315); // x = 45: 20 * tan(45 degrees) + 2
    r.Tile();
    EXPECT_EQ(r.GetFrameWidth(), 40);
    EXPECT_EQ(r.GetFrameHeight(), 21);
}

TEST(MovingStripes, LinesLeaveNoGapsAtAnyAngle) {
    MovingStripesRenderer r;
    r.SetNumberOfColors(3);
    r.SetFrameWidth(97);
    r.SetFrameHeight(61);
    for (int angle = 0; angle <= 360; angle += 7) {
        r.SetAngle(angle);
        r.PrepareSave();
        QImage frame(97, 61, QImage::Format_RGB32);
        for (int i : {0, r.FrameCount() - 1}) {
            r.DrawFrame(i, &frame);
            ASSERT_EQ(CountBlack(frame), 0) << "angle " << angle << " frame " << i;
        }
    }
}

TEST(MovingStripes, OnePeriodLoopsSeamlessly) {
    MovingStripesRenderer r;
    r.SetAngle(120);
    r.SetFrameWidth(64);
    r.SetFrameHeight(48);
    r.PrepareSave(); // step 2 divides L = 20
    QImage first(64, 48, QImage::Format_RGB32), next(64, 48, QImage::Format_RGB32),
        second(64, 48, QImage::Format_RGB32);
    r.DrawPhase(r.GetPeriod(), &first);
    r.DrawPhase(r.GetPeriod() - r.FrameCount() * r.GetStep(), &next);
    EXPECT_EQ(first, next);
    r.DrawFrame(1, &second);
    EXPECT_NE(first, second);
}

TEST(MovingStripes, BandsFollowTheColourCycle) {
    // Angle 0: vertical lines moving right, one line per column. One colour,
    // w = 2, g = 2: c1 c1 (grad 2 lines to bg) bg bg (grad 2 lines to c1).
    MovingStripesRenderer r;
    r.SetAngle(0);
    r.SetStripeWidth(2);
    r.SetStripeDistance(2);
    r.SetStripeColor(0, MakeColorRef(200, 0, 100));
    r.SetBackgroundColor(MakeColorRef(0, 100, 0));
    r.SetFrameWidth(8);
    r.SetFrameHeight(5);
    QImage frame(8, 5, QImage::Format_RGB32);
    r.DrawPhase(0, &frame);
    const QRgb expected[8] = {qRgb(200, 0, 100), qRgb(200, 0, 100), qRgb(100, 50, 50),
                              qRgb(0, 100, 0),   qRgb(0, 100, 0),   qRgb(0, 100, 0),
                              qRgb(100, 50, 50), qRgb(200, 0, 100)};
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 5; ++y)
            EXPECT_EQ(frame.pixel(x, y), expected[x]) << x << "," << y;
}

TEST(MovingStripes, SaveWritesTheAnimation) {
    QTemporaryDir dir;
    MovingStripesRenderer r;
    r.SetAnimationGifPath(dir.filePath(QStringLiteral("a.gif")));
    ASSERT_TRUE(SaveAnimation(r));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("a.gif")), &gif));
    EXPECT_EQ(gif.width, 120);
    EXPECT_EQ(gif.height, 120);
    EXPECT_EQ(gif.comment, QStringLiteral("Velmora"));
    EXPECT_EQ(gif.loops, 0);
    ASSERT_EQ(gif.frames.size(), 10u);
    for (const auto& f : gif.frames) {
        EXPECT_EQ(f.delay, 10);
        EXPECT_EQ(f.disposal, 2);
        EXPECT_EQ(f.transparentIndex, -1);
    }
    // The cell mask only cuts when it is merged and has been painted.
    auto mask = std::make_shared<CellMask>(120, 120);
    mask->SetCell(5, 5, true);
    r.SetMask(MaskMode::MergedIntoFrames, mask);
    ASSERT_TRUE(SaveAnimation(r));
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("a.gif")), &gif));
    EXPECT_EQ(gif.frames[0].transparentIndex, 0);
    EXPECT_EQ(gif.frames[0].indices.At(5, 5), 0);
    r.SetMask(MaskMode::MergedIntoFrames, nullptr);
    ASSERT_TRUE(SaveAnimation(r));
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("a.gif")), &gif));
    EXPECT_EQ(gif.frames[0].transparentIndex, -1);
}

class CancelAt : public ProgressSink {
public:
    bool Progress(int done, int) override { return done < 3; }
};

TEST(MovingStripes, CancelledSaveKeepsThePreviousGif) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteAll(path, "old"));
    MovingStripesRenderer r;
    r.SetAnimationGifPath(path);
    CancelAt cancel;
    SaveOptions options;
    options.progress = &cancel;
    EXPECT_FALSE(SaveAnimation(r, options));
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
}

} // namespace

namespace {

TEST(MovingStripesLimits, CyclesBeyondIntRangeAreExact) {
    MovingStripesRenderer r;
    r.SetStripeWidth(1073741819); // 2 (w + g) is 2^31
    EXPECT_EQ(r.CycleLength(), 2147483648LL);
    r.SetNumberOfColors(5);
    r.SetBackgroundStripes(true);
    r.SetStripeWidth(std::numeric_limits<int>::max());
    r.SetStripeDistance(std::numeric_limits<int>::max());
    EXPECT_EQ(r.CycleLength(), 10 * (2 * 2147483647LL));

    MovingStripesRenderer wide;
    wide.SetStripeWidth(1073741819);
    wide.SetFrameWidth(30);
    wide.SetFrameHeight(20);
    wide.PrepareSave();
    EXPECT_EQ(wide.GetPeriod(), 2147483648LL + 10);
    EXPECT_EQ(wide.GetStep(), 2);
    EXPECT_EQ(wide.FrameCount(), 500);
    EXPECT_EQ(wide.GetPhase(), 2147483648LL + 10 - 1000);
    // The first frame lies early in the first, enormous stripe; the last,
    // 998 lines back, late in the background stripe that ends the cycle.
    QImage frame(30, 20, QImage::Format_RGB32);
    for (auto [i, colour] : {std::pair{0, qRgb(255, 255, 0)}, std::pair{499, qRgb(0, 0, 255)}}) {
        wide.DrawFrame(i, &frame);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x)
                ASSERT_EQ(frame.pixel(x, y), colour) << i << ": " << x << "," << y;
    }
}

TEST(MovingStripesLimits, LongCyclesKeepTheirColours) {
    // Two colours, w = 3000, g = 2 (L = 9006, longer than the frame shows):
    // at angle 0, column x shows line p + x of the cycle.
    MovingStripesRenderer r;
    r.SetAngle(0);
    r.SetNumberOfColors(2);
    r.SetStripeWidth(3000);
    r.SetStripeDistance(2);
    r.SetStripeColor(0, MakeColorRef(200, 0, 100));
    r.SetStripeColor(1, MakeColorRef(0, 200, 0));
    r.SetBackgroundColor(MakeColorRef(0, 0, 250));
    r.SetFrameWidth(8);
    r.SetFrameHeight(5);
    QImage frame(8, 5, QImage::Format_RGB32);
    const QRgb c1 = qRgb(200, 0, 100), c2 = qRgb(0, 200, 0), bg = qRgb(0, 0, 250);
    r.DrawPhase(2995, &frame); // lines 2995 .. 3002
    const QRgb first[8] = {c1, c1, c1, c1, c1, qRgb(100, 100, 50), c2, c2};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(frame.pixel(x, 2), first[x]) << x;
    // Lines 9001 .. 9005 end the cycle (the gradient from bg back to c1),
    // then lines 0 .. 2 of the next cycle follow.
    r.DrawPhase(9001, &frame);
    const QRgb wrap[8] = {bg, bg, bg, qRgb(100, 0, 175), c1, c1, c1, c1};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(frame.pixel(x, 2), wrap[x]) << x;
    // One whole cycle further on, the picture is the same.
    QImage later(8, 5, QImage::Format_RGB32);
    r.DrawPhase(9001 + 9006, &later);
    EXPECT_EQ(frame, later);
}

TEST(MovingStripesLimits, TileSaturatesInsteadOfWrapping) {
    MovingStripesRenderer r;
    r.SetAngle(30);
    r.SetStripeWidth(std::numeric_limits<int>::max());
    r.Tile();
    EXPECT_EQ(r.GetFrameWidth(), std::numeric_limits<int>::max());
    EXPECT_EQ(r.GetFrameHeight(), std::numeric_limits<int>::max());
    r.SetAngle(std::numeric_limits<int>::max()); // read as 127, as the save reads it
    r.SetFrameWidth(50);
    r.Tile();
    EXPECT_EQ(r.GetQuadrant(), 2);
    EXPECT_EQ(r.GetFrameHeight(), std::numeric_limits<int>::max());
}

TEST(MovingStripesLimits, FramesAGifCannotHoldAreRefusedUntouched) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteAll(path, "old"));
    MovingStripesRenderer r;
    r.SetAnimationGifPath(path);
    r.SetFrameWidth(65536);
    r.SetFrameHeight(6);
    Status s = SaveAnimation(r);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("65535"))) << s.message().toStdString();
    r.SetFrameWidth(20);
    r.SetStripeWidth(std::numeric_limits<int>::max());
    r.Tile();
    s = SaveAnimation(r);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("65535"))) << s.message().toStdString();
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.gif"});
}

TEST(MovingStripesLimits, CancelStopsInsideAFrame) {
    MovingStripesRenderer r;
    r.SetFrameWidth(600);
    r.SetFrameHeight(2000);
    r.PrepareSave();
    std::atomic<bool> cancel{true};
    r.SetCancelFlag(&cancel);
    QImage frame(600, 2000, QImage::Format_RGB32);
    r.DrawFrame(0, &frame);
    // Only the rows before the first look at the flag were drawn.
    EXPECT_GT(CountBlack(frame), 600 * 1000);
    cancel = false;
    r.DrawFrame(0, &frame);
    EXPECT_EQ(CountBlack(frame), 0);
}

TEST(MovingStripesLimits, CancelledSaveReturnsCancelledAndKeepsTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteAll(path, "old"));
    MovingStripesRenderer r;
    r.SetAnimationGifPath(path);
    r.SetFrameWidth(2000);
    r.SetFrameHeight(2000);
    std::atomic<bool> cancel{true};
    SaveOptions options;
    options.cancel = &cancel;
    const Status s = SaveAnimation(r, options);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), CancelledMessage());
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
}

TEST(MovingStripesLimits, NotesForShortDelaysAndTheFrameCap) {
    MovingStripesRenderer r;
    r.PrepareSave();
    EXPECT_TRUE(r.AllSaveNotes().isEmpty());
    r.SetSpeed(std::numeric_limits<int>::max());
    r.PrepareSave();
    EXPECT_EQ(r.GetDelay(), 0); // the formula's value is kept
    ASSERT_EQ(r.AllSaveNotes().size(), 1);
    EXPECT_TRUE(r.AllSaveNotes()[0].contains(QStringLiteral("10 hundredths")));
    r.SetSpeed(20);
    r.SetStripeWidth(400);
    r.SetNumberOfColors(5);
    r.PrepareSave();
    ASSERT_EQ(r.AllSaveNotes().size(), 1);
    EXPECT_TRUE(r.AllSaveNotes()[0].contains(QStringLiteral("500 frames")))
        << r.AllSaveNotes()[0].toStdString();
}

} // namespace
