// The rectangle and rounded-rectangle painters, and what every painter
// checks first.
#include "core/cellmask/cell_grid.h"
#include "core/cellmask/mask_painters.h"

#include <algorithm>
#include <cmath>

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

// What painting one cell costs, in pixel writes: the area it reaches (its
// own and as far beyond as its outline's pen and bumps go), and the pieces
// of its outline (the segments of the flattened path, the discs at a
// straight edge's ends). A thin pen tests every pixel of a piece's box; a
// wide one walks the piece row by row, each row worth many writes (see
// MaskCanvas::StrokePolyline). A round rectangle also fills its polygon row
// by row. The weights are measured in CPU time on 8192 x 8192 tables near
// the limit: a unit is 0.3 to 0.4 nanoseconds. A rectangle's pieces are its
// four straight sides, whose rows are plain spans; a curve's short pieces
// each settle their ends pixel by pixel on every row, nearly three times
// the work.
constexpr double kThinPieceCost = 4;
constexpr double kWidePieceRowCost = 128;
constexpr double kWideStraightRowCost = 44;

struct CellCost {
    long long reach = 0;
    double pieces = 0;
    int pen = 0;
    double polygon = 0; // rows times points
    double wideRowCost = kWidePieceRowCost;
};

CellCost CostOfCell(const CellPatternParameters& p, double cellWidth, double cellHeight) {
    CellCost cost;
    const int line = std::clamp(p.lineWidth, 0, 1 << 16);
    switch (p.kind) {
    case CellPatternKind::Rectangle:
        cost.reach = line / 2 + 1;
        cost.pieces = 12;
        cost.pen = line;
        cost.wideRowCost = kWideStraightRowCost;
        break;
    case CellPatternKind::RoundRectangle: {
        cost.reach = line / 2 + 1;
        const double rx = std::clamp(p.corner / 2.0, 0.0, cellWidth / 2);
        const double ry = std::clamp(p.corner / 2.0, 0.0, cellHeight / 2);
        const double steps = std::clamp(std::ceil(std::max(rx, ry) * 1.5707963), 2.0, 4096.0);
        cost.pieces = 4 * (steps + 1) + 9;
        cost.pen = line;
        cost.polygon = (cellHeight + 1) * 4 * (steps + 1);
        break;
    }
    case CellPatternKind::CraftScissors: {
        const int q = std::clamp(p.bumpsY, 2, 1 << 16);
        cost.reach = q + line / 2 + 1;
        cost.pen = p.flatInner ? 2 : line;
        // The outline of a cell of this size, flattened as the painter
        // flattens it; every cell draws the same one.
        Random15 random(p.seed.value_or(0));
        const std::vector<QPoint> outline =
            CraftCellOutline(0, 0, TruncateToInt(std::min(cellWidth, 1e9)),
                             TruncateToInt(std::min(cellHeight, 1e9)), p.bumpsX, q, random);
        for (std::size_t i = 0; i + 3 < outline.size(); i += 3) {
            double length = 0;
            for (std::size_t k = i; k < i + 3; ++k)
                length += std::hypot(double(outline[k + 1].x() - outline[k].x()),
                                     double(outline[k + 1].y() - outline[k].y()));
            cost.pieces += std::clamp(std::ceil(length), 1.0, 4096.0);
        }
        break;
    }
    case CellPatternKind::Bitmap:
        break;
    }
    return cost;
}

} // namespace

Status CheckCellPatternWork(const TableGeometry& table, const CellPatternParameters& parameters) {
    if (Status s = CheckCellMaskSize(table); !s)
        return s;
    const CellGrid grid(table);
    const CellCost cost = CostOfCell(parameters, grid.CellWidth(), grid.CellHeight());
    // Each cell paints at most the whole table, however wide its pen.
    const double across =
        std::min(double(grid.CellWidth()) + 2.0 * cost.reach + 1, double(table.width));
    const double down =
        std::min(double(grid.CellHeight()) + 2.0 * cost.reach + 1, double(table.height));
    const double pen = std::min(double(cost.pen), double(table.height) + 1);
    const double perPiece = cost.pen < MaskCanvas::kRowByRowPen
                                ? kThinPieceCost * (pen + 3) * (pen + 3)
                                : cost.wideRowCost * (pen + 2);
    const double perCell =
        std::max(across, 1.0) * std::max(down, 1.0) + cost.pieces * perPiece + cost.polygon;
    const double paint = double(grid.Rows()) * grid.Columns() * perCell;
    if (paint > double(kMaxCellPatternPaint))
        return Status::WrongValue(
            QStringLiteral("A cell pattern of %1 rows and %2 columns with these lines would "
                           "take %3 million steps to paint; a pattern takes at most %4 "
                           "million. Use fewer cells, thinner lines or smaller corners.")
                .arg(grid.Rows())
                .arg(grid.Columns())
                .arg(qint64(paint / 1e6))
                .arg(kMaxCellPatternPaint / 1000000));
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
Status PaintCells(const TableGeometry& table, const CellPatternParameters& parameters,
                  int lineWidth, int margin, CellMask* mask, DrawCell drawCell) {
    if (Status s = CheckCellPatternWork(table, parameters); !s)
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
    CellPatternParameters p = CellPatternParameters::Defaults(CellPatternKind::Rectangle);
    p.lineWidth = lineWidth;
    return PaintCells(table, p, lineWidth, margin, mask,
                      [&](MaskCanvas& canvas, const CellOutline& e) {
                          canvas.Rectangle(e.left, e.top, e.right, e.bottom, lineWidth,
                                           MaskCanvas::kBlack, MaskCanvas::kWhite);
                      });
}

Status DrawRoundRectCellPattern(const TableGeometry& table, int lineWidth, int corner, int margin,
                                CellMask* mask) {
    CellPatternParameters p = CellPatternParameters::Defaults(CellPatternKind::RoundRectangle);
    p.lineWidth = lineWidth;
    p.corner = corner;
    return PaintCells(table, p, lineWidth, margin, mask,
                      [&](MaskCanvas& canvas, const CellOutline& e) {
                          canvas.RoundRect(e.left, e.top, e.right, e.bottom, corner, corner,
                                           lineWidth, MaskCanvas::kBlack, MaskCanvas::kWhite);
                      });
}
