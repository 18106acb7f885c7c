#include "core/animation/animation_save.h"
#include "core/animation/rotating_stripes_renderer.h"
#include "core/base/random15.h"
#include "core/imaging/gif_reader.h"
#include "file_contents.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <limits>

namespace {

// The save the window runs with Fit to Cell on.
Status SaveFitToCell(RotatingStripesRenderer& r) {
    r.PrepareFitToCell();
    return WriteAnimation(r);
}

void SetTable(RotatingStripesRenderer& r, int width, int height, int rows, int columns,
              int border) {
    r.SetTable({width, height, rows, columns, border});
}

TEST(RotatingStripes, GeometryOfTheDefaults) {
    RotatingStripesRenderer r;
    const auto g = r.ComputeGeometry(120, 120);
    EXPECT_EQ(g.radius, 86);
    EXPECT_NEAR(g.stepLength, 1.0000676, 1e-6);
    EXPECT_EQ(g.revolution, 560);
    EXPECT_EQ(g.cycle, 20);
    EXPECT_EQ(g.cyclesPerTurn, 28);
    EXPECT_EQ(g.remainder, 0);
    EXPECT_EQ(g.period, 21);
    r.SetFrameWidth(120);
    r.SetFrameHeight(120);
    r.PrepareSave();
    EXPECT_EQ(r.GetStep(), 2);
    EXPECT_EQ(r.GetDelay(), 10);
    EXPECT_EQ(r.FrameCount(), 10);

    const auto wide = r.ComputeGeometry(250, 150);
    EXPECT_EQ(wide.radius, 147);
    EXPECT_EQ(wide.revolution, 946);
    EXPECT_EQ(wide.cyclesPerTurn, 47);
    EXPECT_EQ(wide.remainder, 6);
    EXPECT_EQ(wide.period, 21);
    EXPECT_EQ(wide.extras.color[0], 0); // 6 is not above 47
    EXPECT_NEAR(wide.spread, 47.0 / 6.0, 1e-9);
}

TEST(RotatingStripes, AngleAndRimWalk) {
    EXPECT_DOUBLE_EQ(RotatingStripesRenderer::AngleOf(0, 5), 90);
    EXPECT_DOUBLE_EQ(RotatingStripesRenderer::AngleOf(0, -5), 270);
    EXPECT_DOUBLE_EQ(RotatingStripesRenderer::AngleOf(0, 0), 0);
    EXPECT_NEAR(RotatingStripesRenderer::AngleOf(-1, -1), 225, 1e-4); // k is not exact
    int x = 10, y = 0;
    RotatingStripesRenderer::RimStep(&x, &y, 1.0);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 1); // clockwise on screen: downwards first
}

TEST(RotatingStripes, ExtrasAreHandedOutWhenTheRemainderIsLarge) {
    RotatingStripesRenderer r;
    r.SetStripeWidth(30); // L = 70 on 120 x 120: T = 560 = 8 x 70, rem 0
    r.SetStripeDistance(5);
    auto g = r.ComputeGeometry(120, 120);
    EXPECT_EQ(g.cycle, 70);
    r.SetStripeWidth(40); // L = 90: K = 6, rem = 20
    g = r.ComputeGeometry(120, 120);
    EXPECT_EQ(g.cyclesPerTurn, 6);
    EXPECT_EQ(g.remainder, 20);
    // 20 > 6: colour 0 (14), background 0 (8), gradient 0 (2) -> stop.
    EXPECT_EQ(g.extras.color[0], 1);
    EXPECT_EQ(g.extras.background[0], 1);
    EXPECT_EQ(g.extras.gradient[0], 1);
    EXPECT_EQ(g.extras.color[1], 0);
}

TEST(RotatingStripes, CycleLongerThanATurn) {
    RotatingStripesRenderer r;
    r.SetStripeWidth(500);
    r.SetFrameWidth(20);
    r.SetFrameHeight(20);
    const auto g = r.ComputeGeometry(20, 20);
    EXPECT_GT(g.cycle, g.revolution);
    EXPECT_EQ(g.cyclesPerTurn, 1);
    EXPECT_EQ(g.period, g.revolution + 1);
    r.PrepareSave();
    EXPECT_GE(r.FrameCount(), 1);
    QImage frame(20, 20, QImage::Format_RGB32);
    r.DrawFrame(0, &frame);
}

TEST(RotatingStripes, FitToCellAssemblesTheTable) {
    QTemporaryDir dir;
    RotatingStripesRenderer r;
    r.SetAnimationGifPath(dir.filePath(QStringLiteral("fit.gif")));
    SetTable(r, 450, 200, 2, 3, 5);
    ASSERT_TRUE(SaveFitToCell(r));
    EXPECT_EQ(r.GetBorder(), 6);
    EXPECT_EQ(r.GetCellPitchX(), 148);
    EXPECT_EQ(r.GetCellPitchY(), 97);
    EXPECT_EQ(r.GetFrameWidth(), 154);
    EXPECT_EQ(r.GetFrameHeight(), 103);
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("fit.gif")), &gif));
    EXPECT_EQ(gif.width, 450);
    EXPECT_EQ(gif.height, 200);
    // Every cell shows the same pinwheel: the centres of the first and the
    // last cell carry the same colour.
    const QImage& f = gif.composited[0];
    EXPECT_EQ(f.pixel(3 + 74 + 10, 3 + 48), f.pixel(3 + 148 * 2 + 74 + 10, 3 + 97 + 48));
    // The whole table is covered.
    int black = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 450; ++x)
            black += (f.pixel(x, y) & 0xFFFFFF) == 0;
    EXPECT_EQ(black, 0);
}

TEST(RotatingStripes, RaysCoverEveryPixelAtAnySize) {
    for (QSize size : {QSize(37, 91), QSize(120, 120), QSize(250, 150), QSize(33, 33)}) {
        RotatingStripesRenderer r;
        r.SetNumberOfColors(3);
        r.SetFrameWidth(size.width());
        r.SetFrameHeight(size.height());
        r.PrepareSave();
        QImage frame(size, QImage::Format_RGB32);
        for (int i : {0, r.FrameCount() - 1}) {
            r.DrawFrame(i, &frame);
            int black = 0;
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    black += (frame.pixel(x, y) & 0xFFFFFF) == 0;
            EXPECT_EQ(black, 0) << size.width() << "x" << size.height() << " frame " << i;
        }
    }
}

TEST(RotatingStripes, FramesTurnAndLoop) {
    RotatingStripesRenderer r;
    r.SetFrameWidth(120);
    r.SetFrameHeight(120);
    r.PrepareSave();
    QImage a(120, 120, QImage::Format_RGB32), b(120, 120, QImage::Format_RGB32);
    r.DrawFrame(0, &a);
    r.DrawFrame(1, &b);
    EXPECT_NE(a, b);
    int black = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x)
            black += (a.pixel(x, y) & 0xFFFFFF) == 0;
    EXPECT_EQ(black, 0);
}

TEST(Random15, SequenceAndScale) {
    Random15 r(1);
    EXPECT_EQ(r.Next(), 41);
    EXPECT_EQ(r.Next(), 18467);
    EXPECT_EQ(r.Next(), 6334);
    Random15 s(7);
    for (int i = 0; i < 1000; ++i) {
        const int v = s.Scaled(10);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 10);
    }
}

} // namespace

namespace {

int BlackPixels(const QImage& image) {
    int black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            black += (image.pixel(x, y) & 0xFFFFFF) == 0;
    return black;
}

TEST(RotatingStripesLimits, CyclesLongerThanATurnDrawOneTurn) {
    RotatingStripesRenderer r;
    r.SetNumberOfColors(5);
    r.SetBackgroundStripes(true);
    r.SetStripeWidth(std::numeric_limits<int>::max());
    r.SetStripeDistance(std::numeric_limits<int>::max());
    EXPECT_EQ(r.ComputeGeometry(40, 40).cycle, 10 * (2 * 2147483647LL));

    RotatingStripesRenderer wide;
    wide.SetStripeWidth(536870911);
    wide.SetFrameWidth(40);
    wide.SetFrameHeight(40);
    wide.PrepareSave();
    const auto& g = wide.GetGeometry();
    EXPECT_EQ(g.cycle, 2 * (536870911LL + 5));
    EXPECT_EQ(g.cyclesPerTurn, 1);
    EXPECT_EQ(g.period, g.revolution + 1);
    EXPECT_EQ(wide.FrameCount(), std::min(g.period / 2, 500));
    // The turn shows the start of the first stripe, whatever the offset.
    QImage frame(40, 40, QImage::Format_RGB32);
    for (int i : {0, wide.FrameCount() - 1}) {
        wide.DrawFrame(i, &frame);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(frame.pixel(x, y), qRgb(0, 255, 0)) << i << ": " << x << "," << y;
    }
}

TEST(RotatingStripesLimits, WidestFrameIsDrawnWhole) {
    RotatingStripesRenderer r;
    r.SetNumberOfColors(3);
    r.SetFrameWidth(65535);
    r.SetFrameHeight(5);
    r.PrepareSave();
    QImage frame(65535, 5, QImage::Format_RGB32);
    r.DrawFrame(r.FrameCount() - 1, &frame);
    EXPECT_EQ(BlackPixels(frame), 0);
}

TEST(RotatingStripesLimits, FitToCellRefusesCellsBelowAPixel) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fit.gif"));
    ASSERT_TRUE(WriteAll(path, "old"));
    RotatingStripesRenderer r;
    r.SetAnimationGifPath(path);
    constexpr int kMax = std::numeric_limits<int>::max();
    SetTable(r, 450, 200, kMax, kMax, 5);
    Status s = SaveFitToCell(r);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("cells"))) << s.message().toStdString();

    SetTable(r, 450, 200, 2, 3, kMax);
    s = SaveFitToCell(r);
    ASSERT_FALSE(s);
    EXPECT_EQ(r.GetBorder(), std::numeric_limits<int>::max()); // not wrapped round
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
}

TEST(RotatingStripesLimits, FitToCellWithMoreCellsThanTheTableShows) {
    // 2-pixel cells, many more columns and rows than fit: the copies that
    // would land beyond the table are left out, the table is still covered.
    QTemporaryDir dir;
    for (int border : {1, 4}) {
        RotatingStripesRenderer r;
        r.SetAnimationGifPath(dir.filePath(QStringLiteral("fit.gif")));
        SetTable(r, 300, 96, 50, 160, border); // 2-pixel cells: 320 pixels of them
        ASSERT_TRUE(SaveFitToCell(r)) << border;
        GifAnimation gif;
        ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("fit.gif")), &gif));
        EXPECT_EQ(gif.width, 300);
        EXPECT_EQ(BlackPixels(gif.composited[0]), 0) << border;
    }
}

TEST(RotatingStripesLimits, CancelStopsInsideAFrame) {
    RotatingStripesRenderer r;
    r.SetFrameWidth(1500);
    r.SetFrameHeight(1500);
    r.PrepareSave();
    std::atomic<bool> cancel{true};
    r.SetCancelFlag(&cancel);
    QImage frame(1500, 1500, QImage::Format_RGB32);
    r.DrawFrame(0, &frame);
    EXPECT_GT(BlackPixels(frame), 1500 * 1500 / 2);
}

// Asks for a cancel as soon as the first frame is in, as a user pressing
// Cancel while the next ones are drawn.
class CancelAfterFirst : public ProgressSink {
public:
    explicit CancelAfterFirst(std::atomic<bool>* cancel) : m_pCancel(cancel) {}
    bool Progress(int, int) override {
        *m_pCancel = true;
        return true;
    }

private:
    std::atomic<bool>* m_pCancel;
};

TEST(RotatingStripesLimits, CancelledSaveOfALargeFrameKeepsTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteAll(path, "old"));
    RotatingStripesRenderer r;
    r.SetAnimationGifPath(path);
    r.SetFrameWidth(3000);
    r.SetFrameHeight(3000);
    std::atomic<bool> cancel{false};
    CancelAfterFirst sink(&cancel);
    SaveOptions options;
    options.cancel = &cancel;
    options.progress = &sink;
    const Status s = SaveAnimation(r, options);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(), CancelledMessage());
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.gif"});
}

TEST(RotatingStripesLimits, TablesAGifCannotHoldAreRefused) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fit.gif"));
    ASSERT_TRUE(WriteAll(path, "old"));
    RotatingStripesRenderer r;
    r.SetAnimationGifPath(path);
    SetTable(r, 70000, 10, 1, 1, 0);
    const Status s = SaveFitToCell(r);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("65535"))) << s.message().toStdString();
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
}

} // namespace
