#include "cloud_checks.h"
#include "core/animation/rubber_clouds_renderer.h"
#include "core/animation/wide_ring_painter.h"
#include "core/base/random15.h"
#include "core/imaging/frame_image.h"
#include "core/imaging/gif_reader.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace {

// The frame as a plain painter makes it: every ring from the centre outward,
// each drawn over the ones before with a 50-pixel round pen.
QImage ReferenceFrame(const RubberCloudsRenderer& r, int j) {
    const int W = r.GetFrameWidth(), H = r.GetFrameHeight();
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const std::int64_t M = std::max(W, H), D = r.GetPeriod(), b = r.GetBumps();
    const std::int64_t u = std::int64_t(j) * r.GetStep();
    std::int64_t v = r.GetOutward() ? u - D - b : -(u + D + b);
    const std::int64_t A = (M - v + D) / r.GetZones();
    const auto bands = r.LayerGroup();
    while (v < M + D) {
        for (const auto& band : bands) {
            for (std::int64_t i = 0; i < band.count; ++i) {
                const auto points = r.RingPoints(v + i, r.BumpProfile(A, v, j));
                QPainterPath path;
                path.moveTo(double(points[0].x), double(points[0].y));
                for (int k = 0; k < 8; ++k)
                    path.cubicTo(double(points[3 * k + 1].x), double(points[3 * k + 1].y),
                                 double(points[3 * k + 2].x), double(points[3 * k + 2].y),
                                 double(points[3 * k + 3].x), double(points[3 * k + 3].y));
                const COLORREF c =
                    band.fade ? RubberCloudsRenderer::FadeColor(band.from, band.to, band.count, i)
                              : band.from;
                painter.setPen(QPen(QColor(Rgb(c)), RubberCloudsRenderer::kPenWidth, Qt::SolidLine,
                                    Qt::RoundCap, Qt::RoundJoin));
                painter.drawPath(path);
                ++v;
            }
        }
    }
    return image;
}

double Mismatch(const QImage& a, const QImage& b) {
    int differ = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differ += a.pixel(x, y) != b.pixel(x, y);
    return double(differ) / (a.width() * a.height());
}

// Pixels of `a` whose colour `b` has nowhere within one pixel: what differs
// by more than where an edge falls.
int Misplaced(const QImage& a, const QImage& b) {
    int misplaced = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx)
                    near = b.valid(x + dx, y + dy) && b.pixel(x + dx, y + dy) == a.pixel(x, y);
            misplaced += !near;
        }
    return misplaced;
}

TEST(RubberClouds, NumbersOfTheDefaults) {
    RubberCloudsRenderer r;
    EXPECT_EQ(r.GetFrameWidth(), 200);
    EXPECT_EQ(r.GetFrameHeight(), 200);
    EXPECT_EQ(r.GetLayerValue(), 5);
    r.SetFixedSeed(3);
    r.PrepareSave();
    EXPECT_EQ(r.GetPeriod(), 70); // c = 10: (5 + 1) x 10 + 10
    EXPECT_EQ(r.GetStep(), 2);
    EXPECT_EQ(r.GetDelay(), 10);
    EXPECT_EQ(r.FrameCount(), 30);
    EXPECT_EQ(r.GetZones(), 4);
    EXPECT_TRUE(r.SaveNotes().isEmpty());
    // One layer group is the period without its 10.
    std::int64_t advance = 0;
    for (const auto& band : r.LayerGroup())
        advance += band.count;
    EXPECT_EQ(advance, 60);
}

TEST(RubberClouds, PeriodOfEachBandLayout) {
    RubberCloudsRenderer r;
    r.SetFixedSeed(1);
    auto period = [&] {
        r.PrepareSave();
        std::int64_t advance = 0;
        for (const auto& band : r.LayerGroup())
            advance += band.count;
        // D - 10 is a whole number of layer groups.
        EXPECT_EQ((r.GetPeriod() - 10) % advance, 0);
        return r.GetPeriod();
    };
    r.SetBackgroundBorders(true);
    EXPECT_EQ(period(), 2 * 5 * 10 + 10);
    r.SetNumberOfColors(1); // one colour ignores background borders
    EXPECT_EQ(period(), 2 * 10 + 10);
    r.SetBackgroundBorders(false);
    EXPECT_EQ(period(), 30);
    r.SetNumberOfColors(3);
    r.SetBorderDistance(0); // bands join without fades
    EXPECT_EQ(period(), 4 * 5 + 10);
    for (const auto& band : r.LayerGroup())
        EXPECT_FALSE(band.fade);
    // A short period doubles (less 10) until it spans 20: 12, 14, 18, 26, 42.
    r.SetNumberOfColors(1);
    r.SetBorderWidth(1);
    EXPECT_EQ(period(), 42);
    EXPECT_EQ(r.LayerGroup().size(), 2u);
}

TEST(RubberClouds, BandsOfALayerGroup) {
    RubberCloudsRenderer r;
    r.SetNumberOfColors(2);
    auto g = r.LayerGroup();
    // c1, c1 > c2, c2, c2 > bg, bg, bg > c1
    ASSERT_EQ(g.size(), 6u);
    EXPECT_EQ(g[0].from, 0x0000FFu);
    EXPECT_FALSE(g[0].fade);
    EXPECT_TRUE(g[1].fade);
    EXPECT_EQ(g[1].to, 0xFF00FFu);
    EXPECT_EQ(g[3].to, 0xFF0000u);
    EXPECT_EQ(g[4].from, 0xFF0000u);
    EXPECT_EQ(g[5].to, 0x0000FFu);
    r.SetBackgroundBorders(true);
    g = r.LayerGroup();
    ASSERT_EQ(g.size(), 8u);
    EXPECT_EQ(g[3].from, 0xFF0000u);
    EXPECT_EQ(g[3].to, 0xFF00FFu); // on to colour 2
    EXPECT_EQ(g[7].to, 0x0000FFu); // and after the last back to colour 1
}

TEST(RubberClouds, FadeSteps) {
    // Channel by channel, whole steps of (L - K) / s towards L.
    EXPECT_EQ(RubberCloudsRenderer::FadeColor(0x000000, 0x0000FF, 5, 0), 0x000033u);
    EXPECT_EQ(RubberCloudsRenderer::FadeColor(0x000000, 0x0000FF, 5, 4), 0x0000FFu);
    EXPECT_EQ(RubberCloudsRenderer::FadeColor(0xFF0000, 0x000000, 4, 0), 0xC00000u);
    // 100 / 3 = 33: the last step stops short of the end colour.
    EXPECT_EQ(RubberCloudsRenderer::FadeColor(0x000000, 0x000064, 3, 2), 0x000063u);
}

TEST(RubberClouds, SpeedStepAndDelay) {
    RubberCloudsRenderer r;
    r.SetFixedSeed(1);
    r.SetSpeed(5);
    r.PrepareSave();
    EXPECT_EQ(r.GetStep(), 1);
    EXPECT_EQ(r.GetDelay(), 20);
    EXPECT_EQ(r.FrameCount(), 60);
    r.SetSpeed(0);
    EXPECT_EQ(r.GetSpeed(), 1);
    r.PrepareSave();
    EXPECT_EQ(r.GetDelay(), 100);
    // A large speed is held to a step of D / 3.
    r.SetSpeed(1000);
    r.PrepareSave();
    EXPECT_EQ(r.GetStep(), 23);
    EXPECT_EQ(r.GetDelay(), 100 / (1000 / 23));
    EXPECT_EQ(r.FrameCount(), 60 / 23);
    r.SetSpeed(1000000);
    r.PrepareSave();
    EXPECT_EQ(r.GetDelay(), 0);
    EXPECT_EQ(r.SaveNotes().size(), 1);
}

TEST(RubberClouds, FrameCountIsCutAt500) {
    RubberCloudsRenderer r;
    r.SetFixedSeed(1);
    r.SetBorderWidth(1000);
    r.PrepareSave();
    EXPECT_EQ(r.GetPeriod(), 6 * 1005 + 10);
    EXPECT_EQ(r.FrameCount(), 500);
    EXPECT_TRUE(r.WasCut());
    ASSERT_EQ(r.SaveNotes().size(), 1);
    EXPECT_TRUE(r.SaveNotes()[0].contains(QStringLiteral("500 frames")));
    // Extreme widths keep their arithmetic in range and a frame stays cheap:
    // only rings that can reach the frame are looked at.
    r.SetBorderWidth(std::numeric_limits<int>::max());
    r.SetBorderDistance(std::numeric_limits<int>::max());
    r.PrepareSave();
    EXPECT_GT(r.GetPeriod(), 0);
    EXPECT_EQ(r.FrameCount(), 500);
    QImage frame(200, 200, QImage::Format_RGB32);
    r.DrawFrame(499, &frame);
    // The centre lies in the first group's last band, the fade from the
    // background back to colour 1, whose steps are too long to leave blue.
    EXPECT_EQ(frame.pixel(100, 100), qRgb(0, 0, 255));
}

TEST(RubberClouds, BumpZones) {
    RubberCloudsRenderer r;
    r.SetFixedSeed(1);
    r.SetFrameWidth(299);
    r.SetFrameHeight(10);
    r.PrepareSave();
    EXPECT_EQ(r.GetZones(), 299 / 60 + 1);
    r.SetFrameHeight(300); // from 300 on, zones of 20 layer values
    r.PrepareSave();
    EXPECT_EQ(r.GetZones(), 300 / 100 + 1);
    r.SetLayersDensity(10);
    EXPECT_EQ(r.GetLayerValue(), 1);
    r.SetFrameWidth(100000);
    r.PrepareSave();
    EXPECT_EQ(r.GetZones(), 100);
    r.SetLayersDensity(0);
    EXPECT_EQ(r.GetLayersDensity(), 1);
    r.SetLayersDensity(11);
    EXPECT_EQ(r.GetLayersDensity(), 10);
}

TEST(RubberClouds, SettersKeepTheirLimits) {
    RubberCloudsRenderer r;
    ExpectNumberOfColorsClamped(r);
    r.SetBumps(-1);
    EXPECT_EQ(r.GetBumps(), 0);
    r.SetBumps(std::numeric_limits<int>::max());
    EXPECT_EQ(r.GetBumps(), RubberCloudsRenderer::kMaxBumps);
    r.SetSqueeze(-5);
    EXPECT_EQ(r.GetSqueeze(), 0);
    r.SetBorderWidth(0);
    EXPECT_EQ(r.GetBorderWidth(), 1);
    r.SetBorderDistance(-1);
    EXPECT_EQ(r.GetBorderDistance(), 0);
    r.SetCloudColor(5, 0x123456); // out of range: ignored
    EXPECT_EQ(r.GetCloudColor(4), 0xFFFF00u);
}

TEST(RubberClouds, RandomTableAndProfile) {
    RubberCloudsRenderer r;
    r.SetFixedSeed(1);
    r.PrepareSave();
    // The first draws of seed 1 are 41 and 18467: 41 x 10000 / 32767 = 12.5.
    EXPECT_EQ(r.TableValue(0, 0), 12);
    EXPECT_EQ(r.TableValue(0, 1), 5635);
    EXPECT_EQ(r.TableValue(-1, 3), r.TableValue(199, 3));
    EXPECT_EQ(r.TableValue(200, 3), r.TableValue(0, 3));
    for (int row = 0; row < 200; ++row)
        for (int e = 0; e < 24; ++e) {
            ASSERT_GE(r.TableValue(row, e), 0);
            ASSERT_LE(r.TableValue(row, e), 10000);
        }
    const std::int64_t A = 50;
    // At a zone's start the first frame's profile is the row itself, and it
    // runs linearly to the next row across the zone.
    const auto start = r.BumpProfile(A, 3 * A, 0);
    const auto middle = r.BumpProfile(A, 3 * A + 25, 0);
    for (int e = 0; e < 24; ++e) {
        EXPECT_EQ(start[std::size_t(e)], r.TableValue(3, e));
        EXPECT_EQ(middle[std::size_t(e)],
                  r.TableValue(3, e) + (r.TableValue(4, e) - r.TableValue(3, e)) * 25 / 50);
    }
    // Later frames swell towards other rows and come back; constant bumps
    // keep the first frame's outline.
    const auto later = r.BumpProfile(A, 3 * A, 15);
    EXPECT_NE(later, start);
    const int F = r.FrameCount();
    const auto last = r.BumpProfile(A, 3 * A, F - 1);
    for (int e = 0; e < 24; ++e) {
        const std::int64_t X = r.TableValue(3, e), Y = r.TableValue(103, e);
        EXPECT_EQ(last[std::size_t(e)], X + (Y - X) * 1 / F);
    }
    r.SetConstantBumps(true);
    EXPECT_EQ(r.BumpProfile(A, 3 * A, 15), start);
    // Negative counters address the rows before the first, wrapped.
    const auto negative = r.BumpProfile(A, -A, 0);
    for (int e = 0; e < 24; ++e)
        EXPECT_EQ(negative[std::size_t(e)], r.TableValue(199, e));
}

TEST(RubberClouds, RingOutline) {
    RubberCloudsRenderer r;
    r.SetBumps(0);
    RubberCloudsRenderer::Profile flat{};
    auto p = r.RingPoints(50, flat);
    // Anchors clockwise from the top; the control angles of a zero profile
    // are 50 and 5 degrees.
    EXPECT_EQ(p[0].x, 100);
    EXPECT_EQ(p[0].y, 50);
    EXPECT_EQ(p[3].x, 135); // 100 + 50 x 0.70710677 = 135.36
    EXPECT_EQ(p[3].y, 64);
    EXPECT_EQ(p[6].x, 150);
    EXPECT_EQ(p[12].y, 150);
    EXPECT_EQ(p[18].x, 50);
    EXPECT_EQ(p[24].x, p[0].x);
    EXPECT_EQ(p[24].y, p[0].y);
    EXPECT_EQ(p[1].x, int(100 + 50 * std::cos(50 * 0.01745329238474369)));
    EXPECT_EQ(p[1].y, int(100 - 50 * std::sin(50 * 0.01745329238474369)));
    // The control point before an anchor mirrors the one after it.
    EXPECT_EQ(p[2].x, 2 * p[3].x - p[4].x);
    EXPECT_EQ(p[2].y, 2 * p[3].y - p[4].y);
    // Bumps push single anchors outwards.
    r.SetBumps(100);
    RubberCloudsRenderer::Profile bump{};
    bump[2] = 5000;
    p = r.RingPoints(50, bump);
    EXPECT_EQ(p[6].x, 200);
    EXPECT_EQ(p[0].y, 50);
    // Squeeze stretches x away from the centre by squeeze / width.
    r.SetBumps(0);
    const auto plain = r.RingPoints(50, flat);
    std::int64_t minX = plain[0].x, maxX = plain[0].x;
    for (const auto& point : plain) {
        minX = std::min(minX, point.x);
        maxX = std::max(maxX, point.x);
    }
    r.SetSqueeze(50);
    p = r.RingPoints(50, flat);
    EXPECT_EQ(p[6].x, 150 + 50 * 50 / (maxX - minX));
    EXPECT_EQ(p[18].x, 50 - 50 * 50 / (maxX - minX));
    EXPECT_EQ(p[0].x, 100);
    EXPECT_EQ(p[0].y, 50);
    EXPECT_EQ(p[6].y, 100);
}

TEST(RubberClouds, FramesMatchAPlainPainter) {
    RubberCloudsRenderer r;
    r.SetFixedSeed(11);
    r.PrepareSave();
    QImage frame(200, 200, QImage::Format_RGB32);
    for (int j : {0, 17}) {
        r.DrawFrame(j, &frame);
        const QImage reference = ReferenceFrame(r, j);
        // Curves are flattened and rounded a little differently: edges may
        // move by a pixel, nothing more.
        EXPECT_LT(Mismatch(frame, reference), 0.04) << "frame " << j;
        EXPECT_LT(Misplaced(frame, reference), 40000 * 3 / 1000) << "frame " << j;
    }
    RubberCloudsRenderer odd;
    odd.SetFixedSeed(4);
    odd.SetFrameWidth(150);
    odd.SetFrameHeight(90);
    odd.SetSqueeze(40);
    odd.SetNumberOfColors(2);
    odd.SetBackgroundBorders(true);
    odd.SetBumps(30);
    odd.SetOutward(false);
    odd.PrepareSave();
    frame = QImage(150, 90, QImage::Format_RGB32);
    for (int j : {0, odd.FrameCount() - 1}) {
        odd.DrawFrame(j, &frame);
        const QImage reference = ReferenceFrame(odd, j);
        EXPECT_LT(Mismatch(frame, reference), 0.04) << "frame " << j;
        EXPECT_LT(Misplaced(frame, reference), 13500 * 3 / 1000) << "frame " << j;
    }
}

// Drawn into an 8-bit frame for a save, a frame shows the colours of the
// 32-bit one; a frame of more than 256 colours (fades of many rings) comes
// back in 32 bits.
TEST(RubberClouds, EightBitFramesShowTheSameColours) {
    struct Case {
        int size;
        int fade;
        bool fits;
    };
    for (const Case c : {Case{200, 5, true}, Case{1000, 60, false}}) {
        RubberCloudsRenderer r;
        r.SetFixedSeed(11);
        r.SetFrameWidth(c.size);
        r.SetFrameHeight(c.size);
        r.SetBumps(0);
        r.SetBorderWidth(1);
        r.SetBorderDistance(c.fade);
        r.PrepareSave();
        ASSERT_TRUE(r.DrawsIndexed());
        for (int j : {0, r.FrameCount() / 2}) {
            QImage rgb(c.size, c.size, QImage::Format_RGB32);
            r.DrawFrame(j, &rgb);
            QImage eight = NewFrameImage(QSize(c.size, c.size), QImage::Format_Indexed8);
            r.DrawFrame(j, &eight);
            EXPECT_EQ(eight.format(), c.fits ? QImage::Format_Indexed8 : QImage::Format_RGB32)
                << eight.colorCount();
            EXPECT_EQ(eight.convertToFormat(QImage::Format_RGB32), rgb) << c.size << " frame " << j;
        }
    }
}

TEST(RubberClouds, RingsBeyondReachAreLeftOut) {
    // Wide bands put most rings far outside the frame, where they are
    // skipped without being looked at; the frame must not change.
    RubberCloudsRenderer r;
    r.SetFixedSeed(21);
    r.SetFrameWidth(120);
    r.SetFrameHeight(100);
    r.SetBumps(25);
    r.SetSqueeze(30);
    r.SetBorderWidth(60);
    r.SetBorderDistance(9);
    r.SetNumberOfColors(3);
    r.PrepareSave();
    QImage frame(120, 100, QImage::Format_RGB32);
    for (int j : {0, 40}) {
        r.DrawFrame(j, &frame);
        const QImage reference = ReferenceFrame(r, j);
        EXPECT_LT(Mismatch(frame, reference), 0.04) << "frame " << j;
        EXPECT_LT(Misplaced(frame, reference), 12000 * 3 / 1000) << "frame " << j;
    }
}

TEST(RubberClouds, InwardAndOutwardStartAlike) {
    RubberCloudsRenderer out, in;
    out.SetFixedSeed(9);
    in.SetFixedSeed(9);
    in.SetOutward(false);
    out.PrepareSave();
    in.PrepareSave();
    QImage a(200, 200, QImage::Format_RGB32), b(200, 200, QImage::Format_RGB32);
    out.DrawFrame(0, &a);
    in.DrawFrame(0, &b);
    EXPECT_EQ(a, b);
    out.DrawFrame(5, &a);
    in.DrawFrame(5, &b);
    EXPECT_NE(a, b);
}

TEST(RubberClouds, SameSeedSameFile) {
    QTemporaryDir dir;
    const QString a = ExpectSeedRepeatsTheFile(dir, 77, [] {
        RubberCloudsRenderer r;
        r.SetFrameWidth(90);
        r.SetFrameHeight(70);
        return r;
    });
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(a, &gif));
    EXPECT_EQ(gif.width, 90);
    EXPECT_EQ(gif.height, 70);
    EXPECT_EQ(int(gif.frames.size()), 30);
    EXPECT_EQ(gif.frames[0].delay, 10);
    EXPECT_EQ(gif.comment, QStringLiteral("Velmora"));
}

TEST(WideRingPainter, StrokesLikeARoundPen) {
    // A diagonal segment and a curve, against the painter's own wide pen.
    QImage ours(120, 100, QImage::Format_RGB32), theirs(120, 100, QImage::Format_RGB32);
    ours.fill(0);
    theirs.fill(0);
    {
        WideRingPainter painter(&ours, 50);
        painter.StrokeSegment({10, 20}, {90, 70}, qRgb(255, 0, 0));
        const WideRingPainter::Point curve[4] = {{-30, 90}, {40, -60}, {90, 160}, {150, 10}};
        painter.StrokeBeziers(curve, 4, qRgb(0, 255, 0));
    }
    {
        QPainter painter(&theirs);
        painter.setRenderHint(QPainter::Antialiasing, false);
        QPainterPath path;
        path.moveTo(-30, 90);
        path.cubicTo(40, -60, 90, 160, 150, 10);
        painter.setPen(QPen(QColor(0, 255, 0), 50, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
        // The segment was given first, so it lies on top.
        painter.setPen(QPen(QColor(255, 0, 0), 50, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(QPointF(10, 20), QPointF(90, 70));
    }
    EXPECT_LT(Mismatch(ours, theirs), 0.01);
}

// Rows whose free pixels all lie beside a stroke are passed over: that may
// change no pixel. Strokes painted together, each only where none before it
// lies, must give exactly what each paints alone, laid first over last.
TEST(WideRingPainter, PassingOverTakenRowsChangesNoPixel) {
    const int w = 170, h = 110;
    std::uint32_t seed = 7;
    auto wobble = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 24) / 32.0 - 4.0; // -4 .. 4
    };
    // Bumpy rings 2 pixels apart, outermost first, some off the centre.
    std::vector<std::array<WideRingPainter::Point, 25>> rings;
    for (int radius = 130; radius > 0; radius -= 2) {
        const double cx = 85 + (radius % 20 == 0 ? 9 : 0), cy = 55;
        std::array<WideRingPainter::Point, 25> ring;
        const double pi = 3.14159265358979, k = 0.2652;
        for (int a = 0; a < 8; ++a) {
            const double t = a * pi / 4, r = radius + wobble();
            const WideRingPainter::Point anchor{cx + r * std::cos(t), cy + r * std::sin(t)};
            const double tx = -std::sin(t) * r * k, ty = std::cos(t) * r * k;
            ring[std::size_t(3 * a)] = anchor;
            ring[std::size_t(3 * a + 1)] = {anchor.x + tx, anchor.y + ty};
            if (a > 0)
                ring[std::size_t(3 * a - 1)] = {anchor.x - tx, anchor.y - ty};
        }
        ring[23] = {ring[0].x + ring[0].x - ring[1].x, ring[0].y + ring[0].y - ring[1].y};
        ring[24] = ring[0];
        rings.push_back(ring);
    }
    QImage together(w, h, QImage::Format_RGB32), expected(w, h, QImage::Format_RGB32);
    together.fill(0);
    expected.fill(0);
    WideRingPainter painter(&together, 50);
    for (std::size_t k = 0; k < rings.size(); ++k) {
        const QRgb color = qRgb(int(k) + 1, 0, 0);
        painter.StrokeBeziers(rings[k].data(), 25, color);
        QImage alone(w, h, QImage::Format_RGB32);
        alone.fill(0);
        WideRingPainter single(&alone, 50);
        single.StrokeBeziers(rings[k].data(), 25, color);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((expected.pixel(x, y) & 0xFFFFFF) == 0 && (alone.pixel(x, y) & 0xFFFFFF) != 0)
                    expected.setPixel(x, y, color);
    }
    EXPECT_EQ(together, expected);
}

// Straight strokes in every direction, level, upright, dots, far off the
// frame and huge, over one another on frames from 1x1 up: each pixel takes
// the colour of the first stroke whose centre line passes within half the
// pen of the pixel's centre. Only a pixel whose centre lies on a stroke's
// edge, within rounding, may go either way.
TEST(WideRingPainter, EachPixelTakesTheFirstStrokeWithinHalfThePen) {
    using P = WideRingPainter::Point;
    std::uint32_t seed = 12345;
    auto uniform = [&seed](double lo, double hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * double(seed >> 8) / double(1u << 24);
    };
    auto distance = [](P p, P a, P b) {
        const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
        double t = l2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
    };
    for (const auto& [w, h, pen] :
         {std::tuple{1, 1, 1.0}, std::tuple{3, 2, 2.5}, std::tuple{37, 23, 7.25},
          std::tuple{160, 90, 50.0}, std::tuple{200, 7, 13.0}}) {
        std::vector<std::pair<P, P>> strokes;
        for (int k = 0; k < 60; ++k) {
            P a{uniform(-40, w + 40), uniform(-40, h + 40)};
            P b{uniform(-40, w + 40), uniform(-40, h + 40)};
            switch (k % 6) {
            case 1: // level
                b.y = a.y;
                break;
            case 2: // upright
                b.x = a.x;
                break;
            case 3: // a dot
                b = a;
                break;
            case 4: // reaching far beyond the frame
                a.x -= 3e6;
                b.x += 2e6;
                break;
            default:
                break;
            }
            strokes.push_back({a, b});
        }
        QImage frame(w, h, QImage::Format_RGB32);
        frame.fill(0);
        WideRingPainter painter(&frame, pen);
        for (std::size_t k = 0; k < strokes.size(); ++k)
            painter.StrokeSegment(strokes[k].first, strokes[k].second, qRgb(int(k) + 1, 0, 0));
        int wrong = 0, ties = 0;
        std::int64_t free = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const P centre{x + 0.5, y + 0.5};
                QRgb expected = 0;
                bool tie = false;
                for (std::size_t k = 0; k < strokes.size() && expected == 0; ++k) {
                    const double d = distance(centre, strokes[k].first, strokes[k].second);
                    tie = tie || std::abs(d - pen / 2) < 1e-6;
                    if (d <= pen / 2)
                        expected = qRgb(int(k) + 1, 0, 0);
                }
                free += expected == 0;
                if ((frame.pixel(x, y) & 0xFFFFFF) != (expected & 0xFFFFFF))
                    ++(tie ? ties : wrong);
            }
        EXPECT_EQ(wrong, 0) << w << "x" << h << " pen " << pen;
        EXPECT_LE(ties, 2) << w << "x" << h << " pen " << pen;
        if (ties == 0) {
            EXPECT_EQ(painter.Uncovered(), free) << w << "x" << h;
        }
    }
}

TEST(WideRingPainter, KnowsWhenTheFrameIsCovered) {
    QImage frame(30, 20, QImage::Format_RGB32);
    frame.fill(0);
    WideRingPainter painter(&frame, 10);
    painter.StrokeSegment({0, 5}, {30, 5}, qRgb(1, 2, 3));
    EXPECT_FALSE(painter.Full());
    EXPECT_EQ(painter.Uncovered(), 30 * 10);
    // A later stroke takes only what is free.
    painter.StrokeSegment({0, 12}, {30, 12}, qRgb(9, 9, 9));
    EXPECT_EQ(frame.pixel(5, 5), qRgb(1, 2, 3));
    EXPECT_EQ(frame.pixel(5, 9), qRgb(1, 2, 3));
    EXPECT_EQ(frame.pixel(5, 10), qRgb(9, 9, 9));
    painter.StrokeSegment({0, 30}, {30, 30}, qRgb(9, 9, 9)); // off the frame
    EXPECT_EQ(painter.Uncovered(), 30 * 3);
    painter.StrokeSegment({15, 19}, {15, 19}, qRgb(7, 7, 7)); // a dot
    EXPECT_FALSE(painter.Full());
    EXPECT_EQ(frame.pixel(15, 19), qRgb(7, 7, 7));
    EXPECT_EQ(frame.pixel(0, 19), qRgb(0, 0, 0));
    painter.StrokeSegment({0, 19}, {30, 19}, qRgb(7, 7, 7));
    EXPECT_TRUE(painter.Full());
    EXPECT_EQ(frame.pixel(15, 19), qRgb(7, 7, 7));
}

} // namespace

// Bands are worked out four rows at a time with AVX and two at a time
// without; every pixel must come out the same either way, on frames of odd
// heights (a band's last rows fall past its end in a group of four) and
// from every kind of stroke.
TEST(WideRingPainter, FourRowsAtATimeGiveThePixelsOfTwo) {
    if (!WideRingPainter::UseWideVectors(true))
        GTEST_SKIP() << "no AVX here";
    struct Restore {
        ~Restore() { WideRingPainter::UseWideVectors(true); }
    } restore;
    const auto draw = [](const RubberCloudsRenderer& r, int j, bool wide) {
        WideRingPainter::UseWideVectors(wide);
        QImage frame(r.OutputSize(), QImage::Format_RGB32);
        r.DrawFrame(j, &frame);
        return frame;
    };
    for (const auto& [w, h, squeeze, bumps] :
         {std::tuple{200, 200, 0, 60}, std::tuple{151, 89, 40, 30}, std::tuple{333, 7, 0, 300}}) {
        RubberCloudsRenderer r;
        r.SetFixedSeed(5);
        r.SetFrameWidth(w);
        r.SetFrameHeight(h);
        r.SetSqueeze(squeeze);
        r.SetBumps(bumps);
        r.PrepareSave();
        for (int j : {0, r.FrameCount() / 3})
            EXPECT_EQ(draw(r, j, true), draw(r, j, false)) << w << "x" << h << " frame " << j;
    }
    std::uint32_t seed = 777;
    const auto uniform = [&seed](double lo, double hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * double(seed >> 8) / double(1u << 24);
    };
    std::vector<WideRingPainter::Point> ends;
    for (int k = 0; k < 400; ++k)
        ends.push_back({uniform(-60, 160), uniform(-60, 110)});
    QImage frames[2];
    for (const bool wide : {true, false}) {
        WideRingPainter::UseWideVectors(wide);
        QImage& frame = frames[wide ? 1 : 0];
        frame = QImage(103, 53, QImage::Format_RGB32);
        frame.fill(0);
        WideRingPainter painter(&frame, 9.5);
        for (std::size_t k = 0; k + 1 < ends.size(); k += 2)
            painter.StrokeSegment(ends[k], ends[k + 1], qRgb(int(k / 2) + 1, 7, 9));
    }
    EXPECT_EQ(frames[1], frames[0]);
}
