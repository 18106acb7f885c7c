// The rectangle and rounded-rectangle painters, and what every painter
// checks first.
#include "core/cellmask/cell_grid.h"
#include "core/cellmask/mask_painters.h"

#include <algorithm>

Status CheckCellMaskSize(const TableGeometry& table) {
    const long long w = table.width, h = table.height;
    if (w < 1 || h < 1 || w > 65535 || h > 65535 || w * h > kMaxCellMaskPixels)
        return Status::WrongValue(
            QStringLiteral("A cell pattern of %1 x %2 pixels cannot be made: the table must be "
                           "1 to 65535 pixels each way and at most %3 pixels in all.")
                .arg(w)
                .arg(h)
                .arg(kMaxCellMaskPixels));
    // Every cell is drawn on its own, so the work grows with the cells, not
    // with the pixels; past this many a pattern would take minutes, and its
    // cells would be too small to tell apart anyway.
    const long long cells = (long long)std::max(table.rows, 1) * std::max(table.columns, 1);
    if (cells > kMaxCellPatternCells)
        return Status::WrongValue(
            QStringLiteral("A cell pattern of %1 rows and %2 columns cannot be "
                           "made: a pattern draws at most %3 cells (500 x 500).")
                .arg(table.rows)
                .arg(table.columns)
                .arg(kMaxCellPatternCells));
    return Status::Ok();
}

namespace {

// One direction of a cell's outline rectangle. `single` is a table with one
// cell that way: its outline is pulled in by half the line so that all of it
// lies inside the image. Otherwise, with no margin, the outline is pushed out
// so that it overlaps its neighbour's, and the later cell's fill leaves a
// line L wide between the two.
void CellSpan(int index, float size, int offset, int lineWidth, int margin, bool single, int* from,
              int* to) {
    const int half = single ? lineWidth / 2 : 0;
    const int full = single ? 0 : lineWidth;
    // The sums are taken in float, term by term, as the placement has
    // always been computed.
    const float start = float(index) * size;
    const float end = float(index + 1) * size;
    float a, b;
    if (margin != 0) {
        a = start + float(offset) + float(margin / 2) + float(margin % 2) + float(half);
        b = end + float(offset) - float(margin / 2) - float(half);
    } else if (lineWidth < 4) {
        a = start + float(offset) - float(full) + float(half);
        b = end + float(offset) - float(half);
    } else {
        a = start + float(offset) - float(full / 2) + float(half);
        b = end + float(offset) + float(full / 2) - float(half);
    }
    *from = TruncateToInt(a);
    *to = TruncateToInt(b);
}

CellOutline EdgesOf(const CellGrid& grid, int row, int column, int lineWidth, int margin) {
    CellOutline e;
    CellSpan(column, grid.CellWidth(), grid.OffsetX(), lineWidth, margin, grid.Columns() == 1,
             &e.left, &e.right);
    CellSpan(row, grid.CellHeight(), grid.OffsetY(), lineWidth, margin, grid.Rows() == 1, &e.top,
             &e.bottom);
    return e;
}

} // namespace

CellOutline RectCellOutline(const TableGeometry& table, int row, int column, int lineWidth,
                            int margin) {
    return EdgesOf(CellGrid(table), row, column, lineWidth, margin);
}

namespace {

template <typename DrawCell>
Status PaintCells(const TableGeometry& table, int lineWidth, int margin, CellMask* mask,
                  DrawCell drawCell) {
    if (Status s = CheckCellMaskSize(table); !s)
        return s;
    const CellGrid grid(table);
    MaskCanvas canvas(table.width, table.height);
    canvas.FillRect(0, 0, table.width, table.height, MaskCanvas::kWhite);
    for (int i = 0; i < grid.Rows(); ++i)
        for (int j = 0; j < grid.Columns(); ++j)
            drawCell(canvas, EdgesOf(grid, i, j, lineWidth, margin));
    *mask = canvas.TakeMask();
    return Status::Ok();
}

} // namespace

Status DrawRectCellPattern(const TableGeometry& table, int lineWidth, int margin, CellMask* mask) {
    return PaintCells(table, lineWidth, margin, mask,
                      [&](MaskCanvas& canvas, const CellOutline& e) {
                          canvas.Rectangle(e.left, e.top, e.right, e.bottom, lineWidth,
                                           MaskCanvas::kBlack, MaskCanvas::kWhite);
                      });
}

Status DrawRoundRectCellPattern(const TableGeometry& table, int lineWidth, int corner, int margin,
                                CellMask* mask) {
    return PaintCells(table, lineWidth, margin, mask,
                      [&](MaskCanvas& canvas, const CellOutline& e) {
                          canvas.RoundRect(e.left, e.top, e.right, e.bottom, corner, corner,
                                           lineWidth, MaskCanvas::kBlack, MaskCanvas::kWhite);
                      });
}
