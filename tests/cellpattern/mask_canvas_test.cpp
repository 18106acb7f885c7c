// The drawing rules the painters rely on: pens centred on the outline, even
// pens one pixel longer before it, round joins of wide pens, rectangles
// without their right and bottom coordinates, 4-connected flood fill.
#include "core/cellmask/mask_canvas.h"
#include "mask_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

MaskCanvas WhiteCanvas(int w, int h) {
    MaskCanvas canvas(w, h);
    canvas.FillRect(0, 0, w, h, MaskCanvas::kWhite);
    return canvas;
}

// One rectangle outlined on a white canvas, as the painters outline a cell.
struct OutlineCase {
    const char* what;
    int width, height;            // the canvas
    int left, top, right, bottom; // the rectangle
    int pen;
    const char* picture;
};

TEST(MaskCanvas, RectangleOutlinesFollowThePenRules) {
    const OutlineCase cases[] = {
        {"a thin rectangle leaves out right and bottom", 7, 6, 1, 1, 5, 4, 1,
         ".......\n"
         ".####..\n"
         ".#..#..\n"
         ".####..\n"
         ".......\n"
         ".......\n"},
        // Path through x, y = 2 .. 6; a pen of 3 covers one pixel either
        // side, and at that width the round joins still fill the corners.
        {"an odd pen is centred on the outline", 9, 9, 2, 2, 7, 7, 3,
         ".........\n"
         ".#######.\n"
         ".#######.\n"
         ".#######.\n"
         ".###.###.\n"
         ".#######.\n"
         ".#######.\n"
         ".#######.\n"
         ".........\n"},
        // Path through x, y = 1 .. 4; a pen of 2 covers the path and the
        // pixel before it.
        {"an even pen has its extra pixel before the outline", 7, 7, 1, 1, 5, 5, 2,
         "#####..\n"
         "#####..\n"
         "##.##..\n"
         "#####..\n"
         "#####..\n"
         ".......\n"
         ".......\n"},
    };
    for (const OutlineCase& c : cases) {
        SCOPED_TRACE(c.what);
        MaskCanvas canvas = WhiteCanvas(c.width, c.height);
        canvas.Rectangle(c.left, c.top, c.right, c.bottom, c.pen, MaskCanvas::kBlack,
                         MaskCanvas::kWhite);
        EXPECT_EQ(MaskPicture(canvas.TakeMask()), c.picture);
    }
}

TEST(MaskCanvas, EvenPenLineHasItsExtraPixelBeforeTheLine) {
    MaskCanvas line = WhiteCanvas(12, 12);
    line.StrokeSegment({2, 5}, {8, 5}, 4, MaskCanvas::kBlack);
    const CellMask mask = line.TakeMask();
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(mask.IsCell(5, y), y < 3 || y > 6) << y;
}

TEST(MaskCanvas, WidePensHaveRoundCorners) {
    // A pen of 5 on the path x, y = 2 .. 8 reaches 0 .. 10, except at the
    // four outer corners, which lie more than 2.5 from the corner points.
    MaskCanvas canvas = WhiteCanvas(11, 11);
    canvas.Rectangle(2, 2, 9, 9, 5, MaskCanvas::kBlack, MaskCanvas::kWhite);
    const CellMask mask = canvas.TakeMask();
    EXPECT_EQ(MaskWindow(mask, 0, 0, 3, 3), ".##\n"
                                            "###\n"
                                            "###\n");
    EXPECT_TRUE(mask.IsCell(10, 10));
    EXPECT_TRUE(mask.IsCell(0, 10));
    EXPECT_TRUE(mask.IsCell(10, 0));
    EXPECT_TRUE(mask.IsCell(5, 5));
    EXPECT_FALSE(mask.IsCell(4, 5));
    EXPECT_FALSE(mask.IsCell(6, 5));
}

TEST(MaskCanvas, LaterFillCoversEarlierOutline) {
    // Like neighbouring cells: the second rectangle's brush paints over the
    // first one's right edge inside its own area.
    MaskCanvas canvas = WhiteCanvas(10, 4);
    canvas.Rectangle(0, 0, 6, 4, 1, MaskCanvas::kBlack, MaskCanvas::kWhite);
    canvas.Rectangle(3, 0, 10, 4, 1, MaskCanvas::kBlack, MaskCanvas::kWhite);
    EXPECT_EQ(MaskPicture(canvas.TakeMask()), "##########\n"
                                              "#..#.....#\n"
                                              "#..#.....#\n"
                                              "##########\n");
}

TEST(MaskCanvas, FloodFillDoesNotLeakThroughADiagonal) {
    MaskCanvas canvas = WhiteCanvas(5, 5);
    canvas.StrokeSegment({0, 4}, {4, 0}, 1, MaskCanvas::kBlack);
    canvas.FloodFillSurface(0, 0, MaskCanvas::kWhite, MaskCanvas::kBlack);
    EXPECT_EQ(MaskPicture(canvas.TakeMask()), "#####\n"
                                              "####.\n"
                                              "###..\n"
                                              "##...\n"
                                              "#....\n");
    // A seed on the wrong colour or outside the surface does nothing.
    MaskCanvas other = WhiteCanvas(3, 3);
    other.FloodFillSurface(-1, 1, MaskCanvas::kWhite, MaskCanvas::kBlack);
    other.FloodFillSurface(1, 1, MaskCanvas::kBlack, MaskCanvas::kWhite);
    EXPECT_EQ(MaskPicture(other.TakeMask()), "...\n...\n...\n");
}

TEST(MaskCanvas, FloodFillReachesAroundCorners) {
    MaskCanvas canvas = WhiteCanvas(6, 5);
    canvas.StrokeSegment({1, 0}, {1, 3}, 1, MaskCanvas::kBlack);
    canvas.StrokeSegment({3, 1}, {3, 4}, 1, MaskCanvas::kBlack);
    canvas.FloodFillSurface(2, 2, MaskCanvas::kWhite, MaskCanvas::kBlack);
    EXPECT_EQ(MaskPicture(canvas.TakeMask()), "######\n"
                                              "######\n"
                                              "######\n"
                                              "######\n"
                                              "######\n");
}

TEST(MaskCanvas, StretchTakesThePixelUnderEachCentre) {
    // A 2 x 2 checker: black, white / white, black.
    CellMask checker(2, 2);
    checker.SetCell(1, 0, true);
    checker.SetCell(0, 1, true);
    MaskCanvas big = WhiteCanvas(6, 5);
    big.StretchPicture(checker, 1, 0, 4, 4);
    EXPECT_EQ(MaskPicture(big.TakeMask()), ".##...\n"
                                           ".##...\n"
                                           "...##.\n"
                                           "...##.\n"
                                           "......\n");
    // Shrunk to one pixel: the picture's centre pixel, (1, 1).
    MaskCanvas small = WhiteCanvas(2, 1);
    small.StretchPicture(checker, 0, 0, 1, 1);
    EXPECT_EQ(MaskPicture(small.TakeMask()), "#.\n");
    // Nothing for an empty target or one off the canvas.
    MaskCanvas none = WhiteCanvas(2, 2);
    none.StretchPicture(checker, 0, 0, 0, 2);
    none.StretchPicture(checker, 5, 5, 2, 2);
    none.StretchPicture(checker, -4, 0, 2, 2);
    EXPECT_EQ(MaskPicture(none.TakeMask()), "..\n..\n");
}

TEST(MaskCanvas, DrawingOffTheCanvasIsClipped) {
    MaskCanvas canvas = WhiteCanvas(4, 3);
    canvas.Rectangle(-10, -10, 2, 2, 3, MaskCanvas::kBlack, MaskCanvas::kWhite);
    canvas.StrokeSegment({-1e9, 2}, {1e9, 2}, 1, MaskCanvas::kBlack);
    canvas.PolyBezier({{100, 100}, {200, 100}, {200, 200}, {100, 200}}, 9, MaskCanvas::kBlack);
    EXPECT_EQ(MaskPicture(canvas.TakeMask()), "###.\n"
                                              "###.\n"
                                              "####\n");
}

// Wide pens are painted row by row; every pixel must come out as painting
// the segments one by one gives. Paths of whole, half and arbitrary
// coordinates, along the axes and not, partly off the canvas, a lone point,
// with odd and even pens.
TEST(MaskCanvas, WidePolylinesPaintTheSegmentsPixels) {
    std::mt19937 random(20);
    std::uniform_real_distribution<double> along(-30, 90);
    int compared = 0;
    for (int run = 0; run < 60; ++run) {
        const int pen = 8 + run % 23;
        const int kind = run % 4;
        std::vector<QPointF> path;
        const int count = 1 + run % 9;
        for (int i = 0; i < count; ++i) {
            double x = along(random), y = along(random);
            if (kind == 0)
                x = std::round(x), y = std::round(y);
            else if (kind == 1)
                x = std::round(2 * x) / 2, y = std::round(2 * y) / 2;
            else if (kind == 2 && i > 0)
                (i % 2 ? x : y) = i % 2 ? path.back().x() : path.back().y();
            path.emplace_back(x, y);
        }
        MaskCanvas rows = WhiteCanvas(61, 47), segments = WhiteCanvas(61, 47);
        rows.StrokePolyline(path, pen, MaskCanvas::kBlack);
        if (path.size() == 1)
            segments.StrokeSegment(path[0], path[0], pen, MaskCanvas::kBlack);
        for (std::size_t i = 1; i < path.size(); ++i)
            segments.StrokeSegment(path[i - 1], path[i], pen, MaskCanvas::kBlack);
        const std::string got = MaskPicture(rows.TakeMask());
        ASSERT_EQ(got, MaskPicture(segments.TakeMask())) << "run " << run << ", pen " << pen;
        compared += got.find('#') != std::string::npos;
    }
    EXPECT_GT(compared, 40); // most paths reach the canvas
}

} // namespace
