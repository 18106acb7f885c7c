// The four painters on the table geometry: where the cells fall, how the
// outlines sit in them, the craft-scissors outline and its limits, the
// bitmap in every cell, and the photo sizing.
#include "core/cellmask/cell_grid.h"
#include "core/cellmask/mask_painters.h"
#include "mask_picture.h"

#include <gtest/gtest.h>

namespace {

TableGeometry Table(int w, int h, int rows, int columns, int border) {
    TableGeometry t;
    t.width = w;
    t.height = h;
    t.rows = rows;
    t.columns = columns;
    t.border = border;
    return t;
}

void ExpectOutline(const CellOutline& o, int left, int top, int right, int bottom) {
    EXPECT_EQ(o.left, left);
    EXPECT_EQ(o.top, top);
    EXPECT_EQ(o.right, right);
    EXPECT_EQ(o.bottom, bottom);
}

// Black pixels of row y from x0 to x1 inclusive.
int BlackRun(const CellMask& mask, int y, int x0, int x1) {
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += mask.IsCell(x, y) ? 0 : 1;
    return n;
}

TEST(CellGrid, SplitsTheBorderOnlyBetweenSeveralCells) {
    const CellGrid grid(Table(450, 200, 2, 3, 5));
    EXPECT_FLOAT_EQ(grid.CellWidth(), 445.0f / 3);
    EXPECT_FLOAT_EQ(grid.CellHeight(), 97.5f);
    EXPECT_EQ(grid.OffsetX(), 2);
    EXPECT_EQ(grid.OffsetY(), 2);
    const CellGrid single(Table(450, 200, 1, 1, 5));
    EXPECT_FLOAT_EQ(single.CellWidth(), 450.0f);
    EXPECT_FLOAT_EQ(single.CellHeight(), 200.0f);
    EXPECT_EQ(single.OffsetX(), 0);
    EXPECT_EQ(single.OffsetY(), 0);
    const CellGrid column(Table(100, 91, 4, 1, 7));
    EXPECT_FLOAT_EQ(column.CellWidth(), 100.0f);
    EXPECT_EQ(column.OffsetX(), 0);
    EXPECT_FLOAT_EQ(column.CellHeight(), 21.0f);
    EXPECT_EQ(column.OffsetY(), 3);
}

TEST(RectCellPattern, DefaultTableCells) {
    const TableGeometry table = Table(450, 200, 2, 3, 5);
    ExpectOutline(RectCellOutline(table, 0, 0, 5, 0), 0, 0, 152, 101);
    ExpectOutline(RectCellOutline(table, 1, 2, 5, 0), 296, 97, 449, 199);
}

TEST(RectCellPattern, LineWidthBelowFourAndFromFour) {
    // Margin 0: narrow lines pull the left and top edges back by the whole
    // line, wide ones push both edges out by half of it.
    const TableGeometry table = Table(450, 200, 2, 3, 5);
    ExpectOutline(RectCellOutline(table, 0, 1, 3, 0), 147, -1, 298, 99);
    ExpectOutline(RectCellOutline(table, 0, 1, 4, 0), 148, 0, 300, 101);
    // Either way the line between two cells, and between two rows, is as
    // wide as asked.
    for (int line = 1; line <= 9; ++line) {
        CellMask mask;
        ASSERT_TRUE(DrawRectCellPattern(table, line, 0, &mask));
        EXPECT_EQ(BlackRun(mask, 50, 135, 165), line) << "between columns, line " << line;
        int rows = 0;
        for (int y = 85; y <= 110; ++y)
            rows += mask.IsCell(75, y) ? 0 : 1;
        EXPECT_EQ(rows, line) << "between rows, line " << line;
    }
}

TEST(RectCellPattern, OddMarginGivesTheExtraPixelToLeftAndTop) {
    const TableGeometry table = Table(450, 200, 2, 3, 5);
    // Nominal cell 0 runs from 2 to 150.33: 3 pixels in on the left, 2 on
    // the right; the next cell starts exactly 5 after this one ends.
    ExpectOutline(RectCellOutline(table, 0, 0, 5, 5), 5, 5, 148, 97);
    const CellOutline next = RectCellOutline(table, 0, 1, 5, 5);
    EXPECT_EQ(next.left - 148, 5);
    // Between the two outlines the cell colour stays.
    CellMask mask;
    ASSERT_TRUE(DrawRectCellPattern(table, 1, 5, &mask));
    EXPECT_EQ(MaskWindow(mask, 146, 50, 9, 1), ".#.....#.\n");
}

TEST(RectCellPattern, SingleCellOutlineStaysInsideTheImage) {
    // From (L/2, L/2) to (W - L/2, H - L/2): every side shows the whole line.
    for (int line : {4, 5}) {
        const TableGeometry table = Table(40, 30, 1, 1, 5);
        ExpectOutline(RectCellOutline(table, 0, 0, line, 0), line / 2, line / 2, 40 - line / 2,
                      30 - line / 2);
        CellMask mask;
        ASSERT_TRUE(DrawRectCellPattern(table, line, 0, &mask));
        EXPECT_EQ(BlackRun(mask, 15, 0, 19), line) << line;
        EXPECT_EQ(BlackRun(mask, 15, 20, 39), line) << line;
        int top = 0, bottom = 0;
        for (int y = 0; y < 15; ++y)
            top += mask.IsCell(20, y) ? 0 : 1;
        for (int y = 15; y < 30; ++y)
            bottom += mask.IsCell(20, y) ? 0 : 1;
        EXPECT_EQ(top, line);
        EXPECT_EQ(bottom, line);
    }
}

TEST(RectCellPattern, SmallTableFixture) {
    // Two columns of a 10 x 5 table with border 2, line 1, margin 1: cells
    // 4 wide from x = 1; each outline one pixel in on the left and top.
    CellMask mask;
    ASSERT_TRUE(DrawRectCellPattern(Table(10, 5, 1, 2, 2), 1, 1, &mask));
    EXPECT_EQ(MaskPicture(mask), "..........\n"
                                 "..###.###.\n"
                                 "..#.#.#.#.\n"
                                 "..#.#.#.#.\n"
                                 "..###.###.\n");
}

TEST(RoundRectCellPattern, CornerEllipseIsKPixelsAcross) {
    // One 100 x 100 cell, a thin line and corners 40 across: the straight
    // top edge starts about 20 pixels in.
    CellMask mask;
    ASSERT_TRUE(DrawRoundRectCellPattern(Table(100, 100, 1, 1, 0), 1, 40, 0, &mask));
    EXPECT_TRUE(mask.IsCell(0, 0));
    EXPECT_TRUE(mask.IsCell(5, 0));
    EXPECT_TRUE(mask.IsCell(14, 0));
    EXPECT_FALSE(mask.IsCell(17, 0));
    EXPECT_FALSE(mask.IsCell(50, 0));
    EXPECT_FALSE(mask.IsCell(0, 50));
    EXPECT_FALSE(mask.IsCell(6, 6)); // on the arc, 20 from its centre
    EXPECT_FALSE(mask.IsCell(93, 93));
    EXPECT_TRUE(mask.IsCell(99, 99));
    EXPECT_TRUE(mask.IsCell(50, 50));
    // Corner size 0 is a plain rectangle; a huge one is clamped to the cell.
    CellMask square, rect;
    ASSERT_TRUE(DrawRoundRectCellPattern(Table(30, 20, 1, 1, 0), 1, 0, 0, &square));
    ASSERT_TRUE(DrawRectCellPattern(Table(30, 20, 1, 1, 0), 1, 0, &rect));
    EXPECT_EQ(MaskPicture(square), MaskPicture(rect));
    CellMask oval;
    ASSERT_TRUE(DrawRoundRectCellPattern(Table(30, 20, 1, 1, 0), 1, 5000, 0, &oval));
    EXPECT_TRUE(oval.IsCell(0, 0));
    EXPECT_FALSE(oval.IsCell(0, 10));
    EXPECT_FALSE(oval.IsCell(15, 0));
}

TEST(CraftCellPattern, OutlineClosesWithThreePointsPerSegment) {
    Random15 random(3);
    const std::vector<QPoint> outline = CraftCellOutline(10, 10, 100, 60, 10, 10, random);
    ASSERT_GE(outline.size(), 4u);
    EXPECT_EQ((outline.size() - 1) % 3, 0u);
    EXPECT_EQ(outline.back(), outline.front());
    // 100 pixels of edge at one segment per 10 to 14 pixels: about 8 per
    // long side and 5 per short one.
    const int segments = int(outline.size() - 1) / 3;
    EXPECT_GE(segments, 20);
    EXPECT_LE(segments, 32);
    // On-curve points lie on the frame or up to m - 1 = 4 pixels outside.
    for (std::size_t i = 0; i + 1 < outline.size(); i += 3) {
        const QPoint p = outline[i];
        EXPECT_GE(p.x(), 10 - 4);
        EXPECT_LE(p.x(), 110 + 4 + 5);
        EXPECT_GE(p.y(), 10 - 4);
        EXPECT_LE(p.y(), 70 + 4 + 5);
    }
    // The first control point leaves P0 level with the first C2.
    EXPECT_EQ(outline[1].y(), outline[2].y());
    EXPECT_EQ(outline[1].x(), (outline[0].x() + outline[2].x()) / 2);
}

TEST(CraftCellPattern, BufferLimitEndsLongEdges) {
    Random15 random(1);
    // 100000 pixels of edge with bumps 2 long would need 50000 segments.
    const std::vector<QPoint> outline = CraftCellOutline(0, 0, 100000, 100000, 2, 2, random);
    EXPECT_LE(outline.size(), std::size_t(kCraftPointBuffer));
    EXPECT_EQ(outline.size(), std::size_t(kCraftMaxSegments) * 3 + 1);
    EXPECT_EQ(outline.back(), outline.front());
    // Bump sizes below 2 draw as 2 instead of dividing by zero.
    Random15 again(1);
    const std::vector<QPoint> tiny = CraftCellOutline(0, 0, 50, 50, 0, -3, again);
    EXPECT_EQ(tiny.back(), tiny.front());
    EXPECT_LE(tiny.size(), std::size_t(kCraftPointBuffer));
    // A frame with nothing left inside has no outline.
    Random15 none(1);
    EXPECT_TRUE(CraftCellOutline(0, 0, 0, -5, 10, 10, none).empty());
    CellMask mask;
    EXPECT_TRUE(DrawCraftCellPattern(Table(3000, 2000, 1, 1, 0), 2, 2, 1, true, 0, 9, &mask));
}

TEST(CraftCellPattern, SameSeedSameOutlineInEveryCell) {
    // A wide margin keeps each cell's bumps inside its own column.
    const TableGeometry table = Table(400, 100, 1, 2, 10);
    CellMask mask;
    ASSERT_TRUE(DrawCraftCellPattern(table, 10, 10, 2, false, 30, 1234, &mask));
    // Columns start at trunc(j * 195 + 5 + 1).
    EXPECT_EQ(MaskWindow(mask, 6, 0, 195, 100), MaskWindow(mask, 201, 0, 195, 100));
    CellMask again, other;
    ASSERT_TRUE(DrawCraftCellPattern(table, 10, 10, 2, false, 30, 1234, &again));
    ASSERT_TRUE(DrawCraftCellPattern(table, 10, 10, 2, false, 30, 1235, &other));
    EXPECT_EQ(MaskPicture(again), MaskPicture(mask));
    EXPECT_NE(MaskPicture(other), MaskPicture(mask));
}

TEST(CraftCellPattern, FlatInnerPanelInsideAnAnimatedBand) {
    // One 200 x 150 cell with the window's values: the frame is (8, 8),
    // 183 x 134, and the panel's rim runs at x = 12 and 186, y = 12 and 137.
    CellMask mask;
    ASSERT_TRUE(DrawCraftCellPattern(Table(200, 150, 1, 1, 5), 10, 10, 2, true, 8, 77, &mask));
    for (int y : {40, 75, 110}) {
        EXPECT_EQ(MaskWindow(mask, 9, y, 6, 1), "####..\n") << y;
        EXPECT_EQ(MaskWindow(mask, 184, y, 6, 1), "..####\n") << y;
    }
    for (int x : {50, 100, 150}) {
        EXPECT_EQ(MaskWindow(mask, x, 9, 1, 6), "#\n#\n#\n#\n.\n.\n") << x;
        EXPECT_EQ(MaskWindow(mask, x, 134, 1, 6), ".\n.\n.\n#\n#\n#\n") << x;
    }
    EXPECT_TRUE(mask.IsCell(100, 75));
    // Without it only the wavy line is animated.
    CellMask line;
    ASSERT_TRUE(DrawCraftCellPattern(Table(200, 150, 1, 1, 5), 10, 10, 2, false, 8, 77, &line));
    for (int x = 20; x < 180; ++x)
        EXPECT_TRUE(line.IsCell(x, 75)) << x;
}

TEST(BitmapCellPattern, PictureStretchedIntoEveryCell) {
    // Picture: a 2 x 2 checker, black top left. Table 42 x 42, 2 x 2 cells
    // of 20 from x, y = 1.
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(0, 0, 0));
    picture.setPixel(1, 0, qRgb(250, 250, 250));
    picture.setPixel(0, 1, qRgb(200, 220, 255));
    picture.setPixel(1, 1, qRgb(60, 30, 0));
    const TableGeometry table = Table(42, 42, 2, 2, 2);
    CellMask mask;
    ASSERT_TRUE(DrawBitmapCellPattern(table, picture, 0, &mask));
    for (int cell = 0; cell < 4; ++cell) {
        const int x = 1 + (cell % 2) * 20, y = 1 + (cell / 2) * 20;
        EXPECT_FALSE(mask.IsCell(x, y));
        EXPECT_FALSE(mask.IsCell(x + 9, y + 9));
        EXPECT_TRUE(mask.IsCell(x + 10, y + 9));
        EXPECT_TRUE(mask.IsCell(x + 9, y + 10));
        EXPECT_FALSE(mask.IsCell(x + 19, y + 19));
    }
    EXPECT_TRUE(mask.IsCell(0, 0)); // the border stays in the cell colour
    EXPECT_TRUE(mask.IsCell(41, 41));
    // Border 4: each picture 16 x 16, 2 pixels in.
    ASSERT_TRUE(DrawBitmapCellPattern(table, picture, 4, &mask));
    EXPECT_EQ(MaskWindow(mask, 20, 1, 6, 4), "......\n"
                                             "......\n"
                                             "...###\n"
                                             "...###\n");
    EXPECT_FALSE(mask.IsCell(23 + 7, 3 + 7));
    EXPECT_TRUE(mask.IsCell(23 + 8, 3 + 7));
    EXPECT_FALSE(mask.IsCell(23 + 15, 3 + 15));
    EXPECT_TRUE(mask.IsCell(23 + 16, 3 + 15));
    // No picture: a clear message, not an empty pattern.
    EXPECT_FALSE(DrawBitmapCellPattern(table, QImage(), 0, &mask));
}

TEST(CellPatternPainters, RefuseTablesNoGifCanHold) {
    CellMask mask(3, 3);
    const Status s = DrawRectCellPattern(Table(70000, 10, 1, 1, 0), 5, 0, &mask);
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QLatin1String("70000 x 10")));
    EXPECT_EQ(mask.Width(), 3); // untouched
    EXPECT_FALSE(DrawCraftCellPattern(Table(20000, 20000, 1, 1, 0), 10, 10, 2, true, 8, 1, &mask));
    EXPECT_FALSE(DrawRoundRectCellPattern(Table(0, 10, 1, 1, 0), 5, 50, 2, &mask));
}

TEST(PhotoSizing, FitTableAroundPhotos) {
    // s = 10 + 2 + 8 + 1 = 21 between photos.
    const TableGeometry grid = FitTableToPhoto(Table(450, 200, 2, 3, 5), 640, 480, 10, 2, 8);
    EXPECT_EQ(grid.width, 3 * (640 + 21) + 21);
    EXPECT_EQ(grid.height, 2 * (480 + 21) + 21);
    EXPECT_EQ(grid.border, 21);
    EXPECT_EQ(grid.rows, 2);
    // One cell: g = 8/2 + 20/3 + 2/2 + 1 = 12 on each side.
    const TableGeometry one = FitTableToPhoto(Table(450, 200, 1, 1, 5), 640, 480, 10, 2, 8);
    EXPECT_EQ(one.width, 664);
    EXPECT_EQ(one.height, 504);
    EXPECT_EQ(one.border, 12);
    // Nonsense stays a table of at least one pixel.
    const TableGeometry tiny = FitTableToPhoto(Table(450, 200, 1, 1, 5), -900, -900, 10, 2, 8);
    EXPECT_EQ(tiny.width, 1);
    EXPECT_EQ(tiny.height, 1);
}

TEST(PhotoSizing, PhotoSizeOfPresentCells) {
    // k = 20/3 = 6: 148.33 - 8 - 2 - 6 and 97.5 - 16.
    EXPECT_EQ(PhotoSizeForTable(Table(450, 200, 2, 3, 5), 10, 2, 8), QSize(132, 81));
    // Not the inverse of the fit: 664 - 6 - 2 - 8 - 3 = 645, not 640.
    EXPECT_EQ(PhotoSizeForTable(Table(664, 504, 1, 1, 12), 10, 2, 8), QSize(645, 485));
}

} // namespace
