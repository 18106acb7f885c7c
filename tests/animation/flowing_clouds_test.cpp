#include "cloud_checks.h"
#include "core/animation/animation_types.h"
#include "core/animation/flowing_clouds_renderer.h"
#include "core/imaging/frame_encoder.h"
#include "core/imaging/gif_reader.h"
#include "file_contents.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(FlowingClouds, SettersClamp) {
    FlowingCloudsRenderer r;
    ExpectNumberOfColorsClamped(r);
    ExpectCloudOutlineClamped(r);
    r.SetCloudGradient(-1);
    r.SetCloudDistance(-1);
    r.SetAngle(-1);
    r.SetSpeed(0);
    EXPECT_EQ(r.GetCloudGradient(), 0);
    EXPECT_EQ(r.GetCloudDistance(), 0);
    EXPECT_EQ(r.GetAngle(), 0);
    EXPECT_EQ(r.GetSpeed(), 1);
}

TEST(FlowingClouds, TheDefaultSave) {
    FlowingCloudsRenderer r;
    r.SetFixedSeed(5);
    r.PrepareSave();
    EXPECT_EQ(r.FrameCount(), 66);
    EXPECT_EQ(r.FrameDelay(0), 10);
    EXPECT_EQ(r.Scroll().step, 3);
    EXPECT_EQ(r.Scroll().motion, ScrollMotion::RightDown);
    EXPECT_EQ(r.OutputSize(), QSize(200, 200));
    EXPECT_EQ(r.GetColumns(), 4); // 200 / (30 + 20)
    EXPECT_EQ(r.GetRows(), 6);    // 200 / 30
    EXPECT_EQ(r.GetSpanX(), 50);
    EXPECT_EQ(r.GetSpanY(), 30);
    EXPECT_TRUE(r.SaveNotes().isEmpty());
    EXPECT_EQ(r.GetLastSeed(), 5u);

    // The loop closes along the width: frame 66 is the picture moved only
    // down, by all but a few rows.
    const QImage& still = r.Still();
    ASSERT_EQ(still.size(), QSize(200, 200));
    QImage last(200, 200, QImage::Format_RGB32), expected(last);
    r.DrawFrame(66, &last);
    const QPoint shift = r.Scroll().Offset(66);
    EXPECT_EQ(shift.x(), 0);
    EXPECT_GT(shift.y(), 195);
    DrawCyclicShift(still, 0, shift.y(), &expected);
    EXPECT_EQ(last, expected);
    QImage first(last);
    r.DrawFrame(0, &first);
    EXPECT_EQ(first, still);
}

TEST(FlowingClouds, SameSeedSameBytes) {
    QTemporaryDir dir;
    // One renderer saved again: nothing of the first save may leak into the
    // second.
    FlowingCloudsRenderer r;
    r.SetNumberOfColors(5);
    const QString a = dir.filePath(QStringLiteral("a.gif")),
                  b = dir.filePath(QStringLiteral("b.gif"));
    const QByteArray first = SaveWithSeed(r, 1234, a);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(SaveWithSeed(r, 1234, b), first);
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(a, &gif));
    EXPECT_EQ(gif.frames.size(), 66u);

    EXPECT_NE(SaveWithSeed(r, 1235, b), first);
}

// A prepared renderer as the save sees it, for encoding with the encoder's
// own options.
class PreparedSource : public FrameSource {
public:
    explicit PreparedSource(const AnimationRenderer& r) : m_r(r) {}
    int FrameCount() const override { return m_r.FrameCount(); }
    QSize FrameSize() const override { return m_r.OutputSize(); }
    int FrameDelay(int i) const override { return m_r.FrameDelay(i); }
    Status DrawFrame(int i, QImage* frame) override {
        *frame = QImage(m_r.OutputSize(), QImage::Format_RGB32);
        m_r.DrawFrame(i, frame);
        return Status::Ok();
    }
    QImage ScrollStill() const override { return m_r.ScrollStill(); }
    QPoint ScrollShift(int i) const override { return m_r.ScrollShift(i); }

private:
    const AnimationRenderer& m_r;
};

// Mapping the still once and shifting its indices gives the bytes that
// mapping every frame gives: the clouds' colours are all in the palette.
TEST(FlowingClouds, ShiftedStillGivesTheBytesOfEveryFrameMapped) {
    QTemporaryDir dir;
    struct Case {
        int colors, angle, gradient, seed;
        QSize size;
    };
    for (const Case& c :
         {Case{1, 315, 10, 5, QSize(200, 200)}, Case{5, 315, 10, 1234, QSize(200, 200)},
          Case{3, 0, 25, 3, QSize(150, 90)}, Case{4, 100, 2, 9, QSize(90, 120)}}) {
        FlowingCloudsRenderer r;
        r.SetNumberOfColors(c.colors);
        r.SetAngle(c.angle);
        r.SetCloudGradient(c.gradient);
        r.SetFrameWidth(c.size.width());
        r.SetFrameHeight(c.size.height());
        r.SetFixedSeed(std::uint32_t(c.seed));
        r.PrepareSave();
        PreparedSource source(r);
        EncodeOptions options;
        options.file = r.FileOptions();
        options.disposal = r.Disposal();
        const QString once = dir.filePath(QStringLiteral("once.gif")),
                      each = dir.filePath(QStringLiteral("each.gif"));
        ASSERT_TRUE(EncodeAnimatedGif(source, once, options));
        options.remapStillOnce = false;
        ASSERT_TRUE(EncodeAnimatedGif(source, each, options));
        EXPECT_EQ(ReadAll(once), ReadAll(each)) << c.colors << " colours, seed " << c.seed;
    }
}

TEST(FlowingClouds, ColoursByNumberOfColours) {
    // Pass A: c and r both even, both odd; pass B: the rest.
    auto colour = [](int n, int c, int r) {
        return FlowingCloudsRenderer::CloudColorNumber(n, c, r);
    };
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(colour(1, c, r), 1);
    EXPECT_EQ(colour(2, 0, 0), 2);
    EXPECT_EQ(colour(2, 1, 1), 2);
    EXPECT_EQ(colour(2, 0, 1), 1);
    EXPECT_EQ(colour(3, 2, 0), 1);
    EXPECT_EQ(colour(3, 1, 3), 3);
    EXPECT_EQ(colour(3, 1, 0), 1);
    EXPECT_EQ(colour(3, 0, 1), 2);
    EXPECT_EQ(colour(4, 0, 2), 3);
    EXPECT_EQ(colour(4, 3, 1), 4);
    EXPECT_EQ(colour(4, 3, 0), 1);
    EXPECT_EQ(colour(4, 2, 3), 2);
    EXPECT_EQ(colour(5, 0, 0), 4);
    EXPECT_EQ(colour(5, 1, 1), 5);
    EXPECT_EQ(colour(5, 1, 0), 1);
    EXPECT_EQ(colour(5, 0, 1), 2);
    EXPECT_EQ(colour(5, 1, 2), 3);
    EXPECT_EQ(colour(5, 0, 3), 1);
}

TEST(FlowingClouds, TheGridAndItsSoftEdges) {
    // Small round clouds that do not touch: every grid cell's centre shows
    // its colour, the edge fades towards the background.
    FlowingCloudsRenderer r;
    r.SetFrameWidth(120);
    r.SetFrameHeight(90);
    r.SetCloudSize(8);
    r.SetCloudBumps(0);
    r.SetCloudSqueeze(0);
    r.SetCloudGradient(4);
    r.SetCloudDistance(30);
    r.SetNumberOfColors(2);
    r.SetBackgroundColor(0x000000);
    r.SetCloudColor(0, 0x0000FF); // red
    r.SetCloudColor(1, 0x00FF00); // green
    r.SetFixedSeed(3);
    r.PrepareSave();
    ASSERT_EQ(r.GetColumns(), 4);
    ASSERT_EQ(r.GetRows(), 3);
    const QImage& still = r.Still();
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 3; ++row) {
            const int X = 8 + c * 30, Y = 8 + row * 30;
            const COLORREF expected = (c + row) % 2 == 0 ? 0x00FF00 : 0x0000FF;
            EXPECT_EQ(still.pixel(X, Y), Rgb(expected)) << c << "," << row;
            // Seven pixels out lies in the fade: darker than the cloud, not
            // yet the background.
            const QRgb edge = still.pixel(X + 7, Y);
            EXPECT_NE(edge, Rgb(expected));
            EXPECT_NE(edge, qRgb(0, 0, 0));
            EXPECT_EQ(still.pixel(X + 15, Y + 15), qRgb(0, 0, 0));
        }
    }
}

TEST(FlowingClouds, SaveCorrectsWhatItCannotDraw) {
    FlowingCloudsRenderer r;
    r.SetCloudDistance(0);
    r.SetCloudSize(0);
    r.SetCloudBumps(0);
    r.SetFixedSeed(1);
    r.PrepareSave();
    EXPECT_EQ(r.GetCloudDistance(), 1);
    EXPECT_EQ(r.GetCloudSize(), 1);
    EXPECT_EQ(r.GetSpanY(), 0); // from the values as typed
    EXPECT_EQ(r.GetColumns(), 200 / 21);
    EXPECT_EQ(r.GetRows(), 200);
    EXPECT_FALSE(r.Still().isNull());

    r.SetCloudSize(5000);
    r.SetCloudGradient(1001);
    r.PrepareSave();
    EXPECT_EQ(r.GetCloudSize(), 1000);
    EXPECT_EQ(r.GetCloudGradient(), 1000);
    EXPECT_EQ(r.GetSpanY(), 5000);
    ASSERT_EQ(r.SaveNotes().size(), 1);
    EXPECT_TRUE(r.SaveNotes().first().contains(QStringLiteral("1000")));
}

TEST(FlowingClouds, LongScrollsAreCutAt5000Frames) {
    FlowingCloudsRenderer r;
    r.SetFrameWidth(6000);
    r.SetFrameHeight(12);
    r.SetAngle(360);
    r.SetSpeed(5);
    r.SetFixedSeed(1);
    r.PrepareSave();
    EXPECT_EQ(r.Scroll().frames, 6000);
    EXPECT_EQ(r.FrameCount(), 5000);
    ASSERT_EQ(r.SaveNotes().size(), 1);
    EXPECT_TRUE(r.SaveNotes().first().contains(QStringLiteral("5000")));
}

TEST(FlowingClouds, AStraightScrollLoopsExactly) {
    FlowingCloudsRenderer r;
    r.SetAngle(721); // 1 degree: straight to the right
    r.SetSpeed(10);  // a step of 2
    r.SetFixedSeed(9);
    r.PrepareSave();
    EXPECT_EQ(r.Scroll().motion, ScrollMotion::Right);
    ASSERT_EQ(r.FrameCount(), 100);
    QImage first(200, 200, QImage::Format_RGB32), last(first), next(first);
    r.DrawFrame(0, &first);
    r.DrawFrame(100, &last);
    EXPECT_EQ(first, last);
    r.DrawFrame(1, &next);
    EXPECT_EQ(next.pixel(2, 0), first.pixel(0, 0));
    EXPECT_EQ(next.pixel(0, 7), first.pixel(198, 7));
}

TEST(FlowingClouds, ChooserSampleIsShort) {
    const AnimationTypeInfo* info = AnimationTypeByName(QStringLiteral("flowing-clouds"));
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(info->IsAvailable());
    auto r = info->create();
    r->SetFixedSeed(1);
    info->sample(*r);
    r->SetFrameWidth(200);
    r->SetFrameHeight(160);
    r->PrepareSave();
    EXPECT_GT(r->FrameCount(), 10);
    EXPECT_LE(r->FrameCount(), 100);
}

} // namespace
