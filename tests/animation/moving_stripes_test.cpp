#include "animation/moving_stripes_renderer.h"
#include "imaging/gif_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    ASSERT_TRUE(r.SaveAnimatedGif());
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
    // The cell mask only cuts when the flag is set and a mask exists.
    auto mask = std::make_shared<CellMask>(120, 120);
    mask->SetCell(5, 5, true);
    r.SetCellMask(mask);
    r.SetCellPatternFlag(true);
    ASSERT_TRUE(r.SaveAnimatedGif());
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("a.gif")), &gif));
    EXPECT_EQ(gif.frames[0].transparentIndex, 0);
    EXPECT_EQ(gif.frames[0].indices.At(5, 5), 0);
    r.SetCellMask(nullptr);
    ASSERT_TRUE(r.SaveAnimatedGif());
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
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    MovingStripesRenderer r;
    r.SetAnimationGifPath(path);
    CancelAt cancel;
    SaveOptions options;
    options.progress = &cancel;
    EXPECT_FALSE(r.SaveAnimatedGif(options));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old"));
}

} // namespace
