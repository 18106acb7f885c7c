// The bitmap painter: a black-and-white picture stretched into every cell.
#include "core/cellmask/cell_grid.h"
#include "core/cellmask/mask_painters.h"

Status DrawBitmapCellPattern(const TableGeometry& table, const QImage& picture, int border,
                             CellMask* mask) {
    if (Status s = CheckCellMaskSize(table); !s)
        return s;
    if (picture.isNull())
        return Status::Error(QStringLiteral("No picture is loaded for the bitmap cell pattern."));
    // Dark parts of the picture are animated, light parts take the cell
    // colour, whatever colours the file holds.
    const CellMask bits = CellMask::FromImage(picture);
    const CellGrid grid(table);
    MaskCanvas canvas(table.width, table.height);
    canvas.FillRect(0, 0, table.width, table.height, MaskCanvas::kWhite);
    const float half = float(border / 2);
    const int cx = TruncateToInt(grid.CellWidth() - float(border));
    const int cy = TruncateToInt(grid.CellHeight() - float(border));
    for (int i = 0; i < grid.Rows(); ++i) {
        const int y = TruncateToInt(float(i) * grid.CellHeight() + float(grid.OffsetY()) + half);
        for (int j = 0; j < grid.Columns(); ++j) {
            const int x = TruncateToInt(float(j) * grid.CellWidth() + float(grid.OffsetX()) + half);
            canvas.StretchPicture(bits, x, y, cx, cy);
        }
    }
    *mask = canvas.TakeMask();
    return Status::Ok();
}
