// Craft scissors: wavy outlines as if cut with decorative-edge scissors, and
// the table sizes that hold photos inside such frames.
#include "core/cellmask/cell_grid.h"
#include "core/cellmask/mask_painters.h"

#include <algorithm>
#include <climits>
#include <limits>

namespace {

// Bumps of any size that the drawing can take: at least 2 (half of it
// divides the random numbers) and small enough that no coordinate of the
// outline overflows.
int BumpSize(int size) {
    return std::clamp(size, 2, 1 << 16);
}

// Builds the outline one segment at a time; `previous` is the second control
// point of the last segment, which the next segment's first control point
// mirrors so that the outline stays smooth at every on-curve point.
class OutlineBuilder {
public:
    explicit OutlineBuilder(Random15& random) : m_random(random) {
        m_points.reserve(kCraftPointBuffer);
    }
    // rand() % k; k >= 1.
    int Draw(int k) { return m_random.Next() % k; }
    bool HasRoom() const { return int(m_points.size()) + 3 + 1 <= kCraftPointBuffer; }
    // The first segment of an edge turns the corner: its first control point
    // lies between the point and its second control point, level with the
    // latter.
    void Add(QPoint p, QPoint c2, bool turnsCorner) {
        const QPoint c1 = turnsCorner ? QPoint((p.x() + c2.x()) / 2, c2.y()) : 2 * p - m_previous;
        m_points.push_back(p);
        m_points.push_back(c1);
        m_points.push_back(c2);
        m_previous = c2;
    }
    std::vector<QPoint> Close() {
        if (m_points.empty())
            return {};
        // The first control point leaves P0 towards the first C2, and the
        // last segment ends where the first began.
        m_points[1] = QPoint((m_points[0].x() + m_points[2].x()) / 2, m_points[2].y());
        m_points.push_back(m_points[0]);
        return std::move(m_points);
    }

private:
    Random15& m_random;
    std::vector<QPoint> m_points;
    QPoint m_previous;
};

} // namespace

std::vector<QPoint> CraftCellOutline(int x0, int y0, int w, int h, int bumpsX, int bumpsY,
                                     Random15& random) {
    const int a = BumpSize(bumpsX);
    const int t = a / 2;                // half the bump length along the edge
    const int m = BumpSize(bumpsY) / 2; // half the bump height across the edge
    OutlineBuilder path(random);
    // Each coordinate draws its random number in turn, x before y, the
    // point before its control point. Every segment advances at least `a`.
    if (w > 0) { // top edge, left to right
        long long d = 0;
        do {
            const int px = int(x0 + d) + path.Draw(t);
            const int py = y0 - path.Draw(m);
            const int cx = px + t + path.Draw(t);
            const int cy = py - path.Draw(m) - m;
            path.Add({px, py}, {cx, cy}, false);
            d = (long long)px - x0 + a;
        } while (d < w && path.HasRoom());
    }
    if (h > 0 && path.HasRoom()) { // right edge, top to bottom
        long long d = 0;
        bool first = true;
        do {
            const int px = x0 + w + path.Draw(m);
            const int py = int(y0 + d) + path.Draw(t);
            const int cx = px + m + path.Draw(m);
            const int cy = py + t + path.Draw(t);
            path.Add({px, py}, {cx, cy}, first);
            first = false;
            d = (long long)py - y0 + a;
        } while (d < h && path.HasRoom());
    }
    if (w > 0 && path.HasRoom()) { // bottom edge, right to left
        long long d = w;
        bool first = true;
        do {
            const int px = int(x0 + d) - path.Draw(t);
            const int py = y0 + h + path.Draw(m);
            const int cx = px - path.Draw(t) - t;
            const int cy = py + path.Draw(m) + m;
            path.Add({px, py}, {cx, cy}, first);
            first = false;
            d = (long long)px - x0 - a;
        } while (d > 0 && path.HasRoom());
    }
    if (h > 0 && path.HasRoom()) { // left edge, bottom to top
        long long d = h;
        bool first = true;
        do {
            const int px = x0 - path.Draw(m);
            const int py = int(y0 + d) - path.Draw(t);
            const int cx = px - path.Draw(m) - m;
            const int cy = py - path.Draw(t) - t;
            path.Add({px, py}, {cx, cy}, first);
            first = false;
            d = (long long)py - y0 - a;
        } while (d > 0 && path.HasRoom());
    }
    return path.Close();
}

void DrawCraftCell(MaskCanvas& canvas, int x, int y, int w0, int h0, int bumpsX, int bumpsY,
                   int lineWidth, bool flatInner, int inset, std::uint32_t seed) {
    // Every cell starts the sequence afresh, so cells with the same seed have
    // the same outline.
    Random15 random(seed);
    const int q = BumpSize(bumpsY);
    const int m = q / 2;
    const int l = std::clamp(lineWidth, -(1 << 16), 1 << 16);
    const long long n = std::clamp(inset, -(1 << 20), 1 << 20);
    long long x0, y0, w, h;
    if (flatInner) {
        x0 = x + n / 2 + 1;
        y0 = y + n / 2 + 1;
        w = w0 - n - 1;
        h = h0 - n - 1;
    } else {
        x0 = x + n / 2 + l / 2 + 1;
        y0 = y + n / 2 + l / 2 + 1;
        w = w0 - (l + n);
        h = h0 - (l + n);
    }
    // A frame far outside the canvas cannot show; skipping it also keeps
    // the coordinates within int.
    constexpr long long kFar = 1 << 24;
    if (x0 < -kFar || y0 < -kFar || x0 > kFar || y0 > kFar || w > kFar || h > kFar)
        return;
    const std::vector<QPoint> outline =
        CraftCellOutline(int(x0), int(y0), int(w), int(h), bumpsX, q, random);
    canvas.PolyBezier(outline, flatInner ? 2 : l, MaskCanvas::kBlack);
    if (!flatInner || outline.empty())
        return;
    // Inside the outline the cell becomes animated, except for a flat panel
    // in the cell colour with a thin animated rim.
    canvas.FloodFillSurface(int(x0 + m + l / 2), int(y0 + m + l / 2), MaskCanvas::kWhite,
                            MaskCanvas::kBlack);
    const long long third = q / 3;
    canvas.Rectangle(int(x0 + third + l / 2), int(y0 + third + l / 2), int(x0 + w - third - l / 2),
                     int(y0 + h - third - l / 2), 1, MaskCanvas::kBlack, MaskCanvas::kWhite);
}

Status DrawCraftCellPattern(const TableGeometry& table, int bumpsY, int bumpsX, int lineWidth,
                            bool flatInner, int margin, std::uint32_t seed, CellMask* mask) {
    CellPatternParameters p = CellPatternParameters::Defaults(CellPatternKind::CraftScissors);
    p.bumpsY = bumpsY;
    p.bumpsX = bumpsX;
    p.lineWidth = lineWidth;
    p.flatInner = flatInner;
    p.seed = seed;
    if (Status s = CheckCellPatternWork(table, p); !s)
        return s;
    const CellGrid grid(table);
    const int q = BumpSize(bumpsY);
    const int columns = grid.Columns(), rows = grid.Rows();
    // The frames of a lone row or column are placed a little inside the
    // image, leaving room for the bumps; otherwise they follow the grid.
    const int inset =
        (columns > 1 || rows > 1 ? q / 2 : 0) + std::clamp(margin, -(1 << 20), 1 << 20);
    int ox, oy;
    float cw, ch;
    if (columns == 1) {
        ox = q / 2 - 3;
        cw = float((long long)table.width - q + 3);
    } else {
        ox = grid.OffsetX();
        cw = grid.CellWidth();
    }
    if (rows == 1) {
        oy = q / 2 - 2;
        ch = float((long long)table.height - q + 3);
    } else {
        oy = grid.OffsetY();
        ch = grid.CellHeight();
    }
    MaskCanvas canvas(table.width, table.height);
    canvas.FillRect(0, 0, table.width, table.height, MaskCanvas::kWhite);
    for (int i = 0; i < rows; ++i) {
        const int y = TruncateToInt(float(i) * ch + float(oy));
        const int h0 = TruncateToInt(ch);
        const int w0 = TruncateToInt(cw - 1.0f);
        for (int j = 0; j < columns; ++j) {
            const int x = TruncateToInt(float(j) * cw + float(ox) + 1.0f);
            DrawCraftCell(canvas, x, y, w0, h0, bumpsX, q, lineWidth, flatInner, inset, seed);
        }
    }
    *mask = canvas.TakeMask();
    return Status::Ok();
}

TableGeometry FitTableToPhoto(const TableGeometry& table, int photoWidth, int photoHeight,
                              int bumpsY, int lineWidth, int margin) {
    const long long q = bumpsY, l = lineWidth, m = margin;
    const long long g = m / 2 + (2 * q) / 3 + l / 2 + 1; // frame beside a lone photo
    const long long s = q + l + m + 1;                   // frame between two photos
    const int columns = std::max(table.columns, 1), rows = std::max(table.rows, 1);
    const long long width = columns == 1 ? photoWidth + 2 * g : columns * (photoWidth + s) + s;
    const long long height = rows == 1 ? photoHeight + 2 * g : rows * (photoHeight + s) + s;
    const long long border = columns == 1 || rows == 1 ? std::max(g, 0LL) : std::max(s, 0LL);
    constexpr long long kIntMax = std::numeric_limits<int>::max();
    TableGeometry fitted = table;
    fitted.width = int(std::clamp(width, 1LL, kIntMax));
    fitted.height = int(std::clamp(height, 1LL, kIntMax));
    fitted.border = int(std::min(border, kIntMax));
    return fitted;
}

QSize PhotoSizeForTable(const TableGeometry& table, int bumpsY, int lineWidth, int margin) {
    const long long k = (2LL * bumpsY) / 3;
    const CellGrid grid(table);
    auto size = [&](int extent, int count) -> int {
        if (count == 1)
            return int(
                std::clamp<long long>(extent - k - lineWidth - margin - 3LL, INT_MIN, INT_MAX));
        // All in float, the cell size first.
        const float cell = float(double(extent) - table.border) / float(count);
        return TruncateToInt(cell - float(margin) - float(lineWidth) - float(k));
    };
    return QSize(size(table.width, grid.Columns()), size(table.height, grid.Rows()));
}
