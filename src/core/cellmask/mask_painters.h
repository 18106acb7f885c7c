// The four cell-pattern painters. Each draws a mask as large as the table
// (white cells, black where the animation shows) from the table geometry
// alone, so every animation type shares them; what becomes of the mask is
// up to the caller (see cell_pattern_painter.h).
#pragma once

#include "core/base/random15.h"
#include "core/base/status.h"
#include "core/cellmask/cell_pattern_parameters.h"
#include "core/cellmask/mask_canvas.h"
#include "core/cellmask/table_geometry.h"
#include "core/imaging/cell_mask.h"

#include <QImage>
#include <QPoint>
#include <QSize>
#include <cstdint>
#include <vector>

// Masks are kept in memory a byte per pixel; past this many pixels (and past
// GIF's 65535 in either direction) a painter refuses with a message.
constexpr long long kMaxCellMaskPixels = 64LL << 20;
// Cells a painter draws at most (a 500 x 500 grid): the work is per cell.
constexpr long long kMaxCellPatternCells = 250'000;
Status CheckCellMaskSize(const TableGeometry& table);
// The painting a pattern may take, in pixel writes. Every cell paints its
// own area, as far beyond it as its outline reaches, and each piece of its
// outline across the pen's rows, so a pen wider than the cells or a corner
// of thousands of pieces costs cell after cell; a pattern past this is
// refused before any painting rather than taking minutes.
constexpr long long kMaxCellPatternPaint = 1LL << 33;
// The size check above, then the paint of every cell against the limit.
Status CheckCellPatternWork(const TableGeometry& table, const CellPatternParameters& parameters);

// One outline per cell, line width L, each cell drawn M pixels apart from its
// neighbours. With M = 0 neighbouring outlines overlap so that the line
// between two cells is L wide.
Status DrawRectCellPattern(const TableGeometry& table, int lineWidth, int margin, CellMask* mask);
// Where the rectangle painters outline cell (row, column), as GDI's
// Rectangle takes it: right and bottom exclusive.
struct CellOutline {
    int left, top, right, bottom;
};
CellOutline RectCellOutline(const TableGeometry& table, int row, int column, int lineWidth,
                            int margin);
// As rectangles, the corners rounded by ellipses `corner` pixels across.
Status DrawRoundRectCellPattern(const TableGeometry& table, int lineWidth, int corner, int margin,
                                CellMask* mask);

// Craft scissors: per cell a closed wavy outline of cubic Bézier segments,
// bumps bumpsY high across the edge and bumpsX long along it, drawn with
// the random sequence started from `seed` at every cell (so all cells look
// alike). With flatInner the band inside the outline is animated around a
// flat panel in the cell colour. The outer margin insets each frame.
// Bump sizes below 2 are taken as 2.
Status DrawCraftCellPattern(const TableGeometry& table, int bumpsY, int bumpsX, int lineWidth,
                            bool flatInner, int margin, std::uint32_t seed, CellMask* mask);

// One cell's outline held as the drawing call takes it: a start point, then
// for each segment two control points and an end point. The buffer's 3000
// points allow 999 segments; an edge that would need more ends early.
constexpr int kCraftPointBuffer = 3000;
constexpr int kCraftMaxSegments = (kCraftPointBuffer - 1) / 3;
std::vector<QPoint> CraftCellOutline(int x0, int y0, int width, int height, int bumpsX, int bumpsY,
                                     Random15& random);
// Draws the cell at (x, y), w0 x h0, inset by `inset` (half on each side).
void DrawCraftCell(MaskCanvas& canvas, int x, int y, int w0, int h0, int bumpsX, int bumpsY,
                   int lineWidth, bool flatInner, int inset, std::uint32_t seed);

// The picture, reduced to black and white (each pixel to the nearer of the
// two), stretched into every cell and inset by border / 2 on the top and
// left and by the rest of the border on the bottom and right.
Status DrawBitmapCellPattern(const TableGeometry& table, const QImage& picture, int border,
                             CellMask* mask);

// The table resized so that each cell holds a photo of pw x ph inside its
// craft-scissors frame (bump height Q, line width L, margin M): width,
// height and border change; at least 1 pixel each way.
TableGeometry FitTableToPhoto(const TableGeometry& table, int photoWidth, int photoHeight,
                              int bumpsY, int lineWidth, int margin);
// The photo size the present cells hold (not the exact inverse of the
// above).
QSize PhotoSizeForTable(const TableGeometry& table, int bumpsY, int lineWidth, int margin);
