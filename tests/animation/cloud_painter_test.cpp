#include "cloud_checks.h"
#include "core/animation/cloud_painter.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kWhite = 0xFFFFFF;

QImage Canvas(int w, int h, COLORREF fill = 0) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Rgb(fill));
    return image;
}

CloudRadii Round(int radius) {
    CloudRadii r;
    r.fill(radius);
    return r;
}

bool Is(const QImage& image, int x, int y, COLORREF c) {
    return image.pixel(x, y) == Rgb(c);
}

TEST(CloudRadii, SqueezeStretchesSideways) {
    Random15 random(1);
    // No bumps: only the stretch shapes the outline; every sum is cut to an
    // int, so the 8 pixels at 0 degrees come out a hair short.
    const CloudRadii r = CloudPainter::MakeRadii(random, 10, 0, 10);
    const CloudRadii expected = {17, 15, 12, 10, 10, 10, 12, 15, 17,
                                 15, 12, 10, 10, 10, 12, 15, 17};
    EXPECT_EQ(r, expected);
    // A squeeze below 4 does nothing.
    EXPECT_EQ(CloudPainter::MakeRadii(random, 7, 0, 3), Round(7));
}

TEST(CloudRadii, SixteenDrawsScaledToTheBumps) {
    Random15 random(77), mirror(77);
    const CloudRadii r = CloudPainter::MakeRadii(random, 5, 40, 0);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(r[std::size_t(k)], 5 + mirror.Scaled(40)) << k;
    EXPECT_EQ(r[16], r[0]);
    // Exactly kDrawsPerCloud draws were taken: both generators agree now.
    EXPECT_EQ(random.Next(), mirror.Next());
    static_assert(CloudPainter::kDrawsPerCloud == 16);
}

TEST(CloudPainter, SpokeStepFitsOnePixelAtTheMeanRadius) {
    const double s = CloudPainter::SpokeStep(10, 10); // radius 10 + 10 / 2
    EXPECT_NEAR(s, 3.8226, 1e-3);
    EXPECT_NEAR(2 * 15 * std::sin(s / 2 * M_PI / 180), 1.0, 1e-3);
    // Nothing to fit: a quarter turn.
    EXPECT_NEAR(CloudPainter::SpokeStep(0, 1), 90.0, 1e-3);
    EXPECT_NEAR(CloudPainter::SpokeStep(1, 0), 90.0, 1e-3);
    EXPECT_GT(CloudPainter::SpokeStep(1000, 1000), 0.0);
}

TEST(CloudPainter, StepColorMovesEachChannelByWholeSteps) {
    // Red 0 -> 255 in 6 parts: steps of 42.
    EXPECT_EQ(CloudPainter::StepColor(0, kRed, 6, 1), MakeColorRef(42, 0, 0));
    EXPECT_EQ(CloudPainter::StepColor(0, kRed, 6, 6), MakeColorRef(252, 0, 0));
    // Downwards, and a difference smaller than the parts does not move.
    EXPECT_EQ(CloudPainter::StepColor(MakeColorRef(255, 5, 0), MakeColorRef(0, 2, 5), 4, 2),
              MakeColorRef(129, 5, 2));
    EXPECT_EQ(CloudPainter::StepColor(MakeColorRef(0, 0, 0), MakeColorRef(5, 5, 5), 6, 5), 0u);
}

TEST(CloudPainter, SolidCloudHasNoGapsBetweenSpokes) {
    for (double step : {CloudPainter::SpokeStep(10, 0), 20.0, 90.0}) {
        QImage image = Canvas(200, 200);
        CloudPainter painter(&image, step);
        painter.Paint(100, 100, Round(60), kRed);
        int outside = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                const double d = std::hypot(x - 100, y - 100);
                // Spoke ends are cut towards the axes, and chords between
                // them run inside the circle by up to r (1 - cos(step / 2)).
                const double inner = 60 * std::cos(step / 2 * M_PI / 180) - 2;
                if (d <= inner) {
                    ASSERT_TRUE(Is(image, x, y, kRed)) << step << ": " << x << "," << y;
                }
                if (d > 62)
                    outside += Is(image, x, y, kRed);
            }
        EXPECT_EQ(outside, 0) << step;
    }
}

TEST(CloudPainter, SqueezedCloudIsWiderThanTall) {
    Random15 random(3);
    const CloudRadii r = CloudPainter::MakeRadii(random, 20, 0, 40);
    QImage image = Canvas(200, 200);
    CloudPainter painter(&image, CloudPainter::SpokeStep(20, 0));
    painter.Paint(100, 100, r, kRed);
    int left = 100, right = 100, top = 100, bottom = 100;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            if (Is(image, x, y, kRed)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    EXPECT_NEAR(right - left, 2 * (20 + 39), 3); // 4 q = 40, cut to 39
    // Upwards the stretch fades out: at 45 degrees it still adds 14 to the
    // radius, straight up nothing.
    EXPECT_GE(bottom - top, 2 * 20);
    EXPECT_LE(bottom - top, 2 * 26);
}

TEST(CloudPainter, SoftEdgeRampsTowardsTheTargetWithoutGaps) {
    QImage image = Canvas(200, 200, kBlue);
    const int edge = 10;
    CloudPainter painter(&image, CloudPainter::SpokeStep(15, 0), edge, kBlue);
    painter.Paint(100, 100, Round(60), kWhite);
    // The body ends edge pixels early, the ramp fills the rest.
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            const double d = std::hypot(x - 100, y - 100);
            if (d <= 60 - edge - 3) {
                ASSERT_TRUE(Is(image, x, y, kWhite)) << x << "," << y;
            } else if (d >= 60 - edge + 2 && d <= 60 - 3) {
                ASSERT_FALSE(Is(image, x, y, kWhite) || Is(image, x, y, kBlue)) << x << "," << y;
            } else if (d > 62) {
                ASSERT_TRUE(Is(image, x, y, kBlue)) << x << "," << y;
            }
        }
    // Along a ray the red and green fall step by step towards the target.
    int previous = 256;
    for (int x = 100 + 60 - edge; x < 160; ++x) {
        const int red = qRed(image.pixel(x, 100));
        EXPECT_LE(red, previous) << x;
        EXPECT_EQ(qBlue(image.pixel(x, 100)), 255);
        previous = red;
    }
    EXPECT_LT(previous, 60);
}

TEST(CloudPainter, EdgeWiderThanTheCloudLeavesOnlyTheEdge) {
    QImage image = Canvas(100, 100, kBlue);
    CloudPainter painter(&image, 10.0, 10, kBlue);
    painter.Paint(50, 50, Round(3), kWhite); // every spoke: 3 - 10 < 0 becomes 1
    EXPECT_TRUE(Is(image, 50, 50, kWhite));
    EXPECT_FALSE(Is(image, 50, 55, kWhite));
    EXPECT_FALSE(Is(image, 50, 55, kBlue));
    EXPECT_TRUE(Is(image, 50, 65, kBlue));
}

TEST(CloudPainter, CutsAtTheImageEdges) {
    QImage image = Canvas(50, 40);
    CloudPainter painter(&image, CloudPainter::SpokeStep(1000, 0));
    painter.Paint(25, 20, Round(1000), kRed);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_TRUE(Is(image, x, y, kRed)) << x << "," << y;
    QImage other = Canvas(50, 40);
    CloudPainter far(&other, 1.0);
    far.Paint(-5000, 20, Round(1000), kRed);
    far.Paint(25, 100000, Round(0), kRed);
    EXPECT_EQ(other, Canvas(50, 40));
    // A cloud of radius 0 is a dot.
    far.Paint(25, 20, Round(0), kRed);
    EXPECT_TRUE(Is(other, 25, 20, kRed));
    EXPECT_FALSE(Is(other, 23, 20, kRed));
}

TEST(CloudPainter, ACloudCutByTheEdgesIsTheWholeCloudCropped) {
    // Clouds with and without a soft edge, lying across each edge and
    // corner of a small image, against the same clouds in an image large
    // enough to hold them whole: the pixels inside must be the same, so
    // lines that start outside the image pick up their walk exactly where
    // it enters.
    CloudRadii bumpy;
    for (int k = 0; k < 17; ++k)
        bumpy[std::size_t(k)] = 9 + (k * 7) % 13;
    bumpy[16] = bumpy[0];
    const double step = CloudPainter::SpokeStep(9, 13);
    for (const int edge : {0, 4})
        for (const QPoint at : {QPoint(-6, 20), QPoint(45, -3), QPoint(58, 37), QPoint(1, 1),
                                QPoint(30, 20), QPoint(-20, 44)}) {
            QImage cut = Canvas(60, 40, kWhite);
            QImage whole = Canvas(200, 200, kWhite);
            CloudPainter(&cut, step, edge, kBlue).Paint(at.x(), at.y(), bumpy, kRed);
            CloudPainter(&whole, step, edge, kBlue).Paint(at.x() + 70, at.y() + 70, bumpy, kRed);
            EXPECT_EQ(cut, whole.copy(70, 70, 60, 40))
                << "edge " << edge << " at " << at.x() << "," << at.y();
        }
}

TEST(CloudPainter, WrapsAcrossTheRightAndBottomEdges) {
    const CloudRadii r = Round(10);
    {
        // Near both edges: four copies.
        QImage image = Canvas(100, 100);
        CloudPainter painter(&image, 5.0);
        painter.PaintWrapped(95, 95, 20, 20, r, kRed);
        EXPECT_TRUE(Is(image, 95, 95, kRed));
        EXPECT_TRUE(Is(image, 0, 95, kRed));
        EXPECT_TRUE(Is(image, 95, 0, kRed));
        EXPECT_TRUE(Is(image, 0, 0, kRed));
        EXPECT_FALSE(Is(image, 50, 50, kRed));
    }
    {
        // Near the right edge only; nothing is copied to the right from
        // the left edge.
        QImage image = Canvas(100, 100);
        CloudPainter painter(&image, 5.0);
        painter.PaintWrapped(95, 50, 20, 20, r, kRed);
        EXPECT_TRUE(Is(image, 0, 50, kRed));
        EXPECT_FALSE(Is(image, 95, 0, kRed));
        EXPECT_FALSE(Is(image, 0, 0, kRed));
        painter.PaintWrapped(3, 50, 20, 20, r, kBlue);
        EXPECT_FALSE(Is(image, 99, 50, kBlue));
    }
    {
        // The spans decide, not the radii.
        QImage image = Canvas(100, 100);
        CloudPainter painter(&image, 5.0);
        painter.PaintWrapped(95, 95, 4, 4, r, kRed);
        EXPECT_FALSE(Is(image, 0, 95, kRed));
        EXPECT_FALSE(Is(image, 95, 0, kRed));
    }
}

} // namespace
