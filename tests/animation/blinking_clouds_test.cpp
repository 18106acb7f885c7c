#include "cloud_checks.h"
#include "core/animation/blinking_clouds_renderer.h"
#include "core/imaging/gif_reader.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QImage Frame(const BlinkingCloudsRenderer& r, int index) {
    QImage frame(r.OutputSize(), QImage::Format_RGB32);
    r.DrawFrame(index, &frame);
    return frame;
}

QSet<QRgb> Colors(const QImage& image) {
    QSet<QRgb> colors;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colors.insert(image.pixel(x, y) | 0xFF000000u);
    return colors;
}

int Level(const BlinkingCloudsRenderer& r, long long index) {
    const BlinkingCloudsRenderer::Cloud* c = r.ChangingCloud(index);
    return c ? c->level : -1;
}

TEST(BlinkingClouds, SettersClamp) {
    BlinkingCloudsRenderer r;
    ExpectNumberOfColorsClamped(r);
    ExpectCloudOutlineClamped(r);
    r.SetColorShift(-1);
    EXPECT_EQ(r.GetColorShift(), 0);
    r.SetCloudsPerSecond(0);
    r.SetAnimationLength(-3);
    EXPECT_EQ(r.GetCloudsPerSecond(), 1);
    EXPECT_EQ(r.GetAnimationLength(), 1);
}

TEST(BlinkingClouds, TheDefaultSave) {
    BlinkingCloudsRenderer r;
    r.SetFixedSeed(5);
    r.PrepareSave();
    EXPECT_EQ(r.GetCloudCount(), 490); // 7 x 7 cells of 30 pixels, 10 clouds each
    EXPECT_EQ(r.FrameCount(), 100);
    EXPECT_EQ(r.GetFirstChanging(), 439);
    EXPECT_EQ(r.FrameDelay(0), 10);
    EXPECT_EQ(r.GetSpanX(), 30);
    EXPECT_EQ(r.GetSpanY(), 20);
    EXPECT_NEAR(r.GetSpokeStep(), 3.8226, 1e-3);
    EXPECT_EQ(r.GetBackgroundColor(), r.GetCloudColor(0));
    EXPECT_EQ(r.GetLastSeed(), 5u);
    EXPECT_TRUE(r.IsSequential());
    EXPECT_TRUE(r.UsesRandomness());
    EXPECT_TRUE(r.SaveNotes().isEmpty());
    // Unlike the other types: no comment, and each frame stays under the next.
    EXPECT_EQ(r.Disposal(), 0);
    EXPECT_TRUE(r.FileOptions().comment.isEmpty());
    EXPECT_EQ(r.FileOptions().loops, 0);
}

TEST(BlinkingClouds, SaveCorrectsTheCloudMeasures) {
    BlinkingCloudsRenderer r;
    r.SetCloudSize(0);
    r.SetCloudBumps(0);
    r.PrepareSave();
    EXPECT_EQ(r.GetCloudSize(), 1);
    EXPECT_EQ(r.GetSpanX(), 10); // spans from the values before the correction
    EXPECT_EQ(r.GetSpanY(), 0);
    EXPECT_EQ(r.GetCloudCount(), 19LL * 19 * 10); // cells of 11 pixels

    r.SetCloudSize(5000);
    r.SetCloudBumps(1001);
    r.SetCloudSqueeze(1000);
    r.PrepareSave();
    EXPECT_EQ(r.GetCloudSize(), 1000);
    EXPECT_EQ(r.GetCloudBumps(), 1000);
    EXPECT_EQ(r.GetCloudSqueeze(), 1000);
    EXPECT_EQ(r.GetSpanX(), 7001);
    EXPECT_EQ(r.GetCloudCount(), 70); // one cell; 100 / 2 + 20 clouds at least
    EXPECT_EQ(r.SaveNotes().size(), 1);
}

TEST(BlinkingClouds, CloudCountFloorAndShortenedLength) {
    BlinkingCloudsRenderer r;
    r.SetCloudsPerSecond(1000); // half = 5000
    r.PrepareSave();
    EXPECT_EQ(r.GetCloudCount(), 5020);
    EXPECT_EQ(r.GetFirstChanging(), 19);
    EXPECT_EQ(r.FrameCount(), 100);

    // 100 s would be 1000 frames, more than twice the 490 clouds.
    BlinkingCloudsRenderer s;
    s.SetCloudsPerSecond(1); // half = 50
    s.SetAnimationLength(100);
    s.PrepareSave();
    EXPECT_EQ(s.FrameCount(), 980);
    EXPECT_EQ(s.GetAnimationLength(), 98);
    EXPECT_EQ(s.GetCloudCount(), 490);
    ASSERT_EQ(s.SaveNotes().size(), 1);
    EXPECT_TRUE(s.SaveNotes()[0].contains(QStringLiteral("98 seconds")));
}

TEST(BlinkingClouds, FramesAreCutAt5000) {
    BlinkingCloudsRenderer r;
    r.SetAnimationLength(600); // half 3000, so 3020 clouds and 6000 frames
    r.PrepareSave();
    EXPECT_EQ(r.GetCloudCount(), 3020);
    EXPECT_EQ(r.FrameCount(), 5000);
    EXPECT_EQ(r.GetAnimationLength(), 600);
    ASSERT_EQ(r.SaveNotes().size(), 1);
    EXPECT_TRUE(r.SaveNotes()[0].contains(QStringLiteral("5000 frames")));

    // Absurd speeds do not make absurd numbers of clouds.
    BlinkingCloudsRenderer huge;
    huge.SetCloudsPerSecond(std::numeric_limits<int>::max());
    huge.SetAnimationLength(std::numeric_limits<int>::max());
    huge.PrepareSave();
    EXPECT_EQ(huge.GetCloudCount(), BlinkingCloudsRenderer::kMaxChangingClouds + 20);
    EXPECT_EQ(huge.FrameCount(), 5000);
}

TEST(BlinkingClouds, LevelColorsUseOneStepMore) {
    const COLORREF a = MakeColorRef(0, 100, 200), b = MakeColorRef(255, 100, 0);
    EXPECT_EQ(BlinkingCloudsRenderer::LevelColor(a, b, 0, 6), a);
    EXPECT_EQ(BlinkingCloudsRenderer::LevelColor(a, b, 1, 6), MakeColorRef(84, 100, 134));
    EXPECT_EQ(BlinkingCloudsRenderer::LevelColor(a, b, 5, 6), MakeColorRef(252, 100, 2));
    EXPECT_EQ(BlinkingCloudsRenderer::LevelColor(a, b, 6, 6), b);
    // A difference smaller than the shift stays put until the last level.
    const COLORREF c = MakeColorRef(10, 0, 0), d = MakeColorRef(13, 0, 0);
    EXPECT_EQ(BlinkingCloudsRenderer::LevelColor(c, d, 5, 6), c);
    EXPECT_EQ(BlinkingCloudsRenderer::LevelColor(c, d, 6, 6), d);
}

TEST(BlinkingClouds, TheWaveGoesOutAndComesBack) {
    BlinkingCloudsRenderer r;
    r.SetFixedSeed(11);
    r.PrepareSave();
    const long long first = r.GetFirstChanging();
    Frame(r, 0);
    EXPECT_EQ(Level(r, first), 1);
    EXPECT_EQ(Level(r, first + 1), 0);
    EXPECT_EQ(Level(r, first - 1), -1); // never changes
    Frame(r, 3);
    EXPECT_EQ(Level(r, first), 4);
    EXPECT_EQ(Level(r, first + 3), 1);
    Frame(r, 10);
    EXPECT_EQ(Level(r, first), 6);
    EXPECT_EQ(Level(r, first + 5), 6);
    EXPECT_EQ(Level(r, first + 10), 1);
    Frame(r, 50); // the way back starts
    EXPECT_EQ(Level(r, first), 5);
    EXPECT_EQ(Level(r, first + 1), 6);
    Frame(r, 55);
    EXPECT_EQ(Level(r, first), 0);
    EXPECT_EQ(Level(r, first + 5), 5);
    Frame(r, 99);
    EXPECT_EQ(Level(r, first + 44), 0);
    EXPECT_EQ(Level(r, first + 45), 1);
    EXPECT_EQ(Level(r, first + 50), 6);
}

TEST(BlinkingClouds, DrawsInTheOrderOfRadiiThenColoursThenPlaces) {
    BlinkingCloudsRenderer r;
    r.SetNumberOfColors(4);
    r.SetFixedSeed(1234);
    r.PrepareSave();
    Frame(r, 0);
    const long long count = r.GetCloudCount();
    // Every draw from one plain generator: 16 per radius table, 2 per
    // colour pair, 2 per position.
    Random15 g(1234);
    std::vector<CloudRadii> radii;
    for (long long i = 0; i < count; ++i)
        radii.push_back(CloudPainter::MakeRadii(g, 10, 10, 10));
    std::vector<std::pair<int, int>> pairs;
    for (long long i = 0; i < count; ++i) {
        const int s = std::min(g.Scaled(4), 3);
        int t = std::min(g.Scaled(3), 2);
        if (t >= s)
            ++t;
        pairs.emplace_back(s, t);
    }
    for (long long i = 0; i < count; ++i) {
        const int x = g.Scaled(200), y = g.Scaled(200);
        const BlinkingCloudsRenderer::Cloud* c = r.ChangingCloud(i);
        if (!c)
            continue;
        EXPECT_EQ(c->x, x) << i;
        EXPECT_EQ(c->y, y) << i;
        EXPECT_EQ(c->start, pairs[std::size_t(i)].first) << i;
        EXPECT_EQ(c->target, pairs[std::size_t(i)].second) << i;
        EXPECT_NE(c->start, c->target);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(c->radii[std::size_t(k)], radii[std::size_t(i)][std::size_t(k)]) << i;
    }
}

TEST(BlinkingClouds, ColorShiftZeroAndOne) {
    BlinkingCloudsRenderer still;
    still.SetColorShift(0);
    still.SetFixedSeed(3);
    still.PrepareSave();
    const QImage first = Frame(still, 0);
    EXPECT_EQ(Colors(first).size(), 2); // red clouds on red, blue clouds
    for (int i = 1; i < still.FrameCount(); ++i)
        ASSERT_EQ(Frame(still, i), first) << i;

    // Shift 1: a reached cloud jumps straight to its target; no blend ever
    // shows. Shift 6 shows blends.
    BlinkingCloudsRenderer jump;
    jump.SetColorShift(1);
    jump.SetFixedSeed(3);
    jump.PrepareSave();
    const QSet<QRgb> two = {Rgb(jump.GetCloudColor(0)), Rgb(jump.GetCloudColor(1))};
    bool changed = false;
    for (int i = 0; i < jump.FrameCount(); ++i) {
        const QImage f = Frame(jump, i);
        ASSERT_EQ(Colors(f), two) << i;
        changed = changed || f != first;
    }
    EXPECT_TRUE(changed);
    BlinkingCloudsRenderer blend;
    blend.SetFixedSeed(3);
    blend.PrepareSave();
    EXPECT_GT(Colors(Frame(blend, 20)).size(), 2);
}

TEST(BlinkingClouds, FramesFollowEachOtherAfterARestart) {
    BlinkingCloudsRenderer r;
    r.SetNumberOfColors(5);
    r.SetFixedSeed(9);
    r.PrepareSave();
    std::vector<QImage> run;
    for (int i = 0; i < r.FrameCount(); ++i)
        run.push_back(Frame(r, i));
    EXPECT_NE(run[0], run[30]);
    EXPECT_NE(run[30], run[99]);
    r.Restart();
    for (int i = 0; i < r.FrameCount(); i += 7)
        ASSERT_EQ(Frame(r, i), run[std::size_t(i)]) << i;
    // Asking for an earlier frame starts over rather than drawing garbage.
    EXPECT_EQ(Frame(r, 12), run[12]);
    EXPECT_EQ(Frame(r, 99), run[99]);
}

TEST(BlinkingClouds, SameSeedSameBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString a = ExpectSeedRepeatsTheFile(dir, 42, [] {
        BlinkingCloudsRenderer r;
        r.SetNumberOfColors(3);
        return r;
    });

    GifAnimation gif;
    ASSERT_TRUE(ReadGif(a, &gif));
    EXPECT_EQ(int(gif.frames.size()), 100);
    EXPECT_EQ(gif.width, 200);
    EXPECT_TRUE(gif.comment.isEmpty());
    EXPECT_EQ(gif.loops, 0);
    EXPECT_EQ(gif.frames[1].disposal, 0);
    EXPECT_EQ(gif.frames[1].delay, 10);
}

TEST(BlinkingClouds, TimeSeedIsKeptForRepeating) {
    BlinkingCloudsRenderer r;
    r.PrepareSave();
    const std::uint32_t seed = r.GetLastSeed();
    const QImage one = Frame(r, 40);
    r.SetFixedSeed(seed);
    r.PrepareSave();
    EXPECT_EQ(Frame(r, 40), one);
}

} // namespace
