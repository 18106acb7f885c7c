#include "core/animation/cyclic_scroll.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

bool IsPure(ScrollMotion m) {
    return int(m) >= int(ScrollMotion::Right);
}

TEST(CyclicScroll, AnglesAboveAFullTurnWrap) {
    EXPECT_EQ(WrapScrollAngle(361), 1);
    EXPECT_EQ(WrapScrollAngle(720), 360);
    EXPECT_EQ(WrapScrollAngle(721), 1);
    EXPECT_EQ(WrapScrollAngle(400), 40);
    EXPECT_EQ(WrapScrollAngle(360), 360);
    EXPECT_EQ(WrapScrollAngle(0), 0);
    EXPECT_EQ(WrapScrollAngle(2147483647), (2147483647 - 361) % 360 + 1);
    EXPECT_EQ(PlanCyclicScroll(720, 20, 200, 200).motion, ScrollMotion::Right);
    EXPECT_EQ(PlanCyclicScroll(675, 20, 200, 200).motion, ScrollMotion::RightDown); // 315
}

TEST(CyclicScroll, PureDirectionsStopFiveDegreesFromAnAxis) {
    struct Band {
        int from, to;
        ScrollMotion motion;
    };
    const Band pure[] = {{0, 4, ScrollMotion::Right},
                         {356, 360, ScrollMotion::Right},
                         {86, 94, ScrollMotion::Up},
                         {176, 184, ScrollMotion::Left},
                         {266, 274, ScrollMotion::Down}};
    for (const Band& b : pure)
        for (int a = b.from; a <= b.to; ++a)
            EXPECT_EQ(PlanCyclicScroll(a, 20, 200, 200).motion, b.motion) << a;
    // The bounds themselves use the diagonal fit, in the quadrant's kind.
    const std::pair<int, ScrollMotion> diagonal[] = {
        {5, ScrollMotion::RightUp},     {85, ScrollMotion::RightUp},
        {95, ScrollMotion::LeftUp},     {175, ScrollMotion::LeftUp},
        {185, ScrollMotion::LeftDown},  {265, ScrollMotion::LeftDown},
        {275, ScrollMotion::RightDown}, {355, ScrollMotion::RightDown}};
    for (const auto& [a, motion] : diagonal) {
        const CyclicScroll plan = PlanCyclicScroll(a, 20, 200, 200);
        EXPECT_EQ(plan.motion, motion) << a;
        EXPECT_FALSE(IsPure(plan.motion)) << a;
        // The angle to the horizontal axis.
        EXPECT_EQ(plan.acute, std::min(a % 180, 180 - a % 180)) << a;
    }
}

TEST(CyclicScroll, StepFromSpeedAndSize) {
    for (int speed = 1; speed <= 9; ++speed)
        EXPECT_EQ(PlanCyclicScroll(0, speed, 200, 200).step, 1);
    EXPECT_EQ(PlanCyclicScroll(0, 20, 200, 200).step, 3);
    EXPECT_EQ(PlanCyclicScroll(0, 30, 200, 200).step, 4);
    // A quarter of the smaller side plus one at most.
    EXPECT_EQ(PlanCyclicScroll(0, 1000000, 40, 300).step, 11);
    EXPECT_EQ(PlanCyclicScroll(0, 1000000, 5, 5).step, 2);
    const CyclicScroll right = PlanCyclicScroll(0, 30, 200, 120);
    EXPECT_EQ(right.frames, 50);
    EXPECT_EQ(PlanCyclicScroll(90, 30, 200, 120).frames, 30);
}

TEST(CyclicScroll, TheDefaultDiagonals) {
    // 200 x 200 at 315 degrees, speed 20: right and down, 66 frames, and
    // the horizontal step stretched to 200 / 66 so the loop closes.
    const CyclicScroll clouds = PlanCyclicScroll(315, 20, 200, 200);
    EXPECT_EQ(clouds.motion, ScrollMotion::RightDown);
    EXPECT_EQ(clouds.step, 3);
    EXPECT_EQ(clouds.frames, 66);
    EXPECT_EQ(clouds.fit, CyclicScroll::Fit::X);
    EXPECT_DOUBLE_EQ(clouds.x.Step(), 200.0 / 66.0);
    EXPECT_LT(clouds.y.Step(), 3.0);
    EXPECT_GT(clouds.y.Step(), 2.999);

    // Speed 30: a step of 4 and 50 frames, the step unchanged.
    const CyclicScroll picture = PlanCyclicScroll(315, 30, 200, 200);
    EXPECT_EQ(picture.step, 4);
    EXPECT_EQ(picture.frames, 50);
    EXPECT_DOUBLE_EQ(picture.x.Step(), 4.0);
    EXPECT_LT(picture.y.Step(), 4.0);
}

TEST(CyclicScroll, EveryLoopClosesAlongItsFittedAxis) {
    const int sizes[][2] = {{200, 200}, {200, 160}, {450, 200}, {37, 301}, {640, 33}, {5, 5}};
    int fitted = 0;
    for (const auto& size : sizes) {
        for (int angle = 0; angle <= 360; ++angle) {
            for (int speed : {1, 20, 47}) {
                const CyclicScroll p = PlanCyclicScroll(angle, speed, size[0], size[1]);
                ASSERT_GE(p.frames, 1);
                const QPoint first = p.Offset(0), last = p.Offset(p.frames);
                EXPECT_EQ(first, QPoint(0, 0));
                const QPoint any = p.Offset(p.frames / 2);
                EXPECT_TRUE(any.x() >= 0 && any.x() < size[0] && any.y() >= 0 && any.y() < size[1]);
                if (p.fit == CyclicScroll::Fit::X) {
                    ++fitted;
                    EXPECT_EQ(last.x(), first.x()) << angle << " " << size[0] << "x" << size[1];
                    EXPECT_EQ(p.x.Travel(p.frames) % size[0], 0);
                } else if (p.fit == CyclicScroll::Fit::Y) {
                    ++fitted;
                    EXPECT_EQ(last.y(), first.y()) << angle << " " << size[0] << "x" << size[1];
                    EXPECT_EQ(p.y.Travel(p.frames) % size[1], 0);
                }
                // The other axis falls short of one size by less than a step.
                if (p.fit == CyclicScroll::Fit::X && !IsPure(p.motion)) {
                    EXPECT_LE(p.y.Travel(p.frames), size[1]);
                    EXPECT_GT(double(p.y.Travel(p.frames)), size[1] - p.y.Step() - 1.0);
                }
                if (p.fit == CyclicScroll::Fit::Y && !IsPure(p.motion)) {
                    EXPECT_LE(p.x.Travel(p.frames), size[0]);
                    EXPECT_GT(double(p.x.Travel(p.frames)), size[0] - p.x.Step() - 1.0);
                }
                if (!IsPure(p.motion)) {
                    EXPECT_NE(p.fit, CyclicScroll::Fit::None) << angle;
                }
            }
        }
    }
    EXPECT_GT(fitted, 1000);
}

TEST(CyclicScroll, CutNoteNamesBothFrameCounts) {
    // A frame count beyond int, as a slow scroll over a wide picture has.
    CyclicScroll scroll;
    scroll.frames = 3000000000LL;
    EXPECT_EQ(scroll.CutNote(5000),
              QStringLiteral("The animation was cut from 3000000000 to 5000 frames, the most a "
                             "save writes, so it does not loop seamlessly."));
}

TEST(CyclicScroll, OffsetsFollowTheDirection) {
    // One frame in: right and down moves the picture by whole pixels of the
    // two steps; up is a shift down by the rest of the height.
    const CyclicScroll rd = PlanCyclicScroll(315, 30, 200, 200); // dx 4, dy 3.99..
    EXPECT_EQ(rd.Offset(1), QPoint(4, 3));
    const CyclicScroll ru = PlanCyclicScroll(45, 30, 200, 200);
    EXPECT_EQ(ru.motion, ScrollMotion::RightUp);
    EXPECT_EQ(ru.Offset(1), QPoint(4, 200 - 3));
    const CyclicScroll lu = PlanCyclicScroll(135, 30, 200, 200);
    EXPECT_EQ(lu.Offset(1), QPoint(200 - 4, 200 - 3));
    const CyclicScroll ld = PlanCyclicScroll(225, 30, 200, 200);
    EXPECT_EQ(ld.Offset(1), QPoint(200 - 4, 3));
    EXPECT_EQ(PlanCyclicScroll(0, 30, 200, 100).Offset(2), QPoint(8, 0));
    EXPECT_EQ(PlanCyclicScroll(90, 30, 200, 100).Offset(2), QPoint(0, 92));
    EXPECT_EQ(PlanCyclicScroll(180, 30, 200, 100).Offset(2), QPoint(192, 0));
    EXPECT_EQ(PlanCyclicScroll(270, 30, 200, 100).Offset(2), QPoint(0, 8));
    // A steep angle fits the loop to the height, unless the picture is so
    // tall that crossing it takes more frames than crossing the width.
    const CyclicScroll steep = PlanCyclicScroll(85, 1, 400, 40);
    EXPECT_EQ(steep.fit, CyclicScroll::Fit::Y);
    const CyclicScroll tall = PlanCyclicScroll(85, 1, 20, 400);
    EXPECT_EQ(tall.fit, CyclicScroll::Fit::X);
    EXPECT_EQ(tall.frames, 400);
    EXPECT_EQ(tall.x.Travel(tall.frames), 20);
}

TEST(CyclicScroll, ShiftWrapsAndTiles) {
    QImage still(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            still.setPixel(x, y, qRgb(x * 40, y * 80, 7));
    QImage frame(5, 3, QImage::Format_RGB32);
    DrawCyclicShift(still, 2, 1, &frame);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(frame.pixel((x + 2) % 5, (y + 1) % 3), still.pixel(x, y));
    DrawCyclicShift(still, 0, 0, &frame);
    EXPECT_EQ(frame, still);

    // A frame of whole tiles repeats the picture and wraps at its own size.
    QImage canvas(15, 6, QImage::Format_RGB32);
    DrawCyclicShift(still, 14, 5, &canvas);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 15; ++x)
            EXPECT_EQ(canvas.pixel((x + 14) % 15, (y + 5) % 6), still.pixel(x % 5, y % 3))
                << x << "," << y;
}

} // namespace
