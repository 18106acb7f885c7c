#include "core/cellmask/mask_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace {

// Half the pen and where a pixel is sampled: a pen of width 1 (GDI's width
// 0 draws one pixel as well) covers the pixels the line passes through; an
// even pen has its extra pixel before the line (left of it, above it).
struct PenShape {
    double radius;
    double sample;
};

PenShape ShapeOf(int penWidth) {
    if (penWidth <= 1)
        return {0.5, 0.0};
    return {penWidth / 2.0, penWidth % 2 == 0 ? 0.5 : 0.0};
}

long long FloorToLong(double v) {
    return (long long)std::floor(std::clamp(v, -4e18, 4e18));
}
long long CeilToLong(double v) {
    return (long long)std::ceil(std::clamp(v, -4e18, 4e18));
}

} // namespace

MaskCanvas::MaskCanvas(int width, int height) : m_mask(std::max(width, 0), std::max(height, 0)) {}

void MaskCanvas::FillSpan(int y, long long x0, long long x1, std::uint8_t color) {
    if (y < 0 || y >= Height())
        return;
    x0 = std::max<long long>(x0, 0);
    x1 = std::min<long long>(x1, Width() - 1LL);
    if (x0 > x1)
        return;
    std::memset(m_mask.Row(y) + x0, color, std::size_t(x1 - x0 + 1));
}

void MaskCanvas::FillRect(int left, int top, int right, int bottom, std::uint8_t color) {
    const int y0 = std::max(top, 0), y1 = std::min(bottom, Height());
    for (int y = y0; y < y1; ++y)
        FillSpan(y, left, (long long)right - 1, color);
}

void MaskCanvas::StrokeSegment(QPointF a, QPointF b, int penWidth, std::uint8_t color) {
    const PenShape pen = ShapeOf(penWidth);
    const double r = pen.radius, e = pen.sample;
    // A pixel x is sampled at x + e, so it is covered when x + e lies in
    // [lo, hi]: x from ceil(lo - e) to floor(hi - e).
    auto first = [e](double lo) { return CeilToLong(lo - e); };
    auto last = [e](double hi) { return FloorToLong(hi - e); };
    const double minX = std::min(a.x(), b.x()), maxX = std::max(a.x(), b.x());
    const double minY = std::min(a.y(), b.y()), maxY = std::max(a.y(), b.y());
    long long y0 = std::max<long long>(first(minY - r), 0);
    long long y1 = std::min<long long>(last(maxY + r), Height() - 1LL);
    if (a.y() == b.y() || a.x() == b.x()) {
        // Straight along an axis: a band, and a disc at either end.
        if (a.y() == b.y()) {
            for (long long y = y0; y <= y1; ++y)
                FillSpan(int(y), first(minX), last(maxX), color);
        } else {
            for (long long y = std::max(first(minY), y0); y <= std::min(last(maxY), y1); ++y)
                FillSpan(int(y), first(a.x() - r), last(a.x() + r), color);
        }
        if (a != b) {
            StrokeSegment(a, a, penWidth, color);
            StrokeSegment(b, b, penWidth, color);
            return;
        }
    }
    const long long x0 = std::max<long long>(first(minX - r), 0);
    const long long x1 = std::min<long long>(last(maxX + r), Width() - 1LL);
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double length2 = dx * dx + dy * dy;
    // A hair more than r*r, so that rounding in the projection does not
    // drop a pixel that lies exactly at the pen's edge.
    const double reach = r * r + 1e-9;
    for (long long y = y0; y <= y1; ++y) {
        const double py = double(y) + e;
        std::uint8_t* row = m_mask.Row(int(y));
        for (long long x = x0; x <= x1; ++x) {
            const double px = double(x) + e;
            double t = length2 > 0 ? ((px - a.x()) * dx + (py - a.y()) * dy) / length2 : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            const double qx = a.x() + t * dx - px, qy = a.y() + t * dy - py;
            if (qx * qx + qy * qy <= reach)
                row[x] = color;
        }
    }
}

namespace {

// StrokeSegment's rule for one pixel: its sample point (px, py) lies within
// the pen of the segment a-b. The expression is StrokeSegment's own, so that
// both decide every pixel alike.
bool UnderPen(QPointF a, QPointF b, double px, double py, double reach) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((px - a.x()) * dx + (py - a.y()) * dy) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double qx = a.x() + t * dx - px, qy = a.y() + t * dy - py;
    return qx * qx + qy * qy <= reach;
}

// Where the row sampled at py crosses the pen of radius rho around a-b (two
// end circles and the band between them), in sample coordinates; false when
// it misses.
bool CapsuleRow(QPointF a, QPointF b, double rho, double py, double* lo, double* hi) {
    double l = std::numeric_limits<double>::infinity(), h = -l;
    for (const QPointF c : {a, b}) {
        const double d = py - c.y();
        if (std::fabs(d) <= rho) {
            const double half = std::sqrt(rho * rho - d * d);
            l = std::min(l, c.x() - half);
            h = std::max(h, c.x() + half);
        }
    }
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double length2 = dx * dx + dy * dy, length = std::sqrt(length2), oy = py - a.y();
    if (length > 0 && (dy != 0 || std::fabs(oy) <= rho)) {
        // Across the segment: |dx oy - dy ox| <= rho length; along it:
        // 0 <= ox dx + oy dy <= length2 (ox = px - a.x).
        double sl = -std::numeric_limits<double>::infinity(), sh = -sl;
        if (dy != 0) {
            const double u = (dx * oy - rho * length) / dy, v = (dx * oy + rho * length) / dy;
            sl = a.x() + std::min(u, v), sh = a.x() + std::max(u, v);
        }
        double pl = -std::numeric_limits<double>::infinity(), ph = -pl;
        bool along = true;
        if (dx != 0) {
            const double u = -oy * dy / dx, v = (length2 - oy * dy) / dx;
            pl = a.x() + std::min(u, v), ph = a.x() + std::max(u, v);
        } else {
            along = oy * dy >= 0 && oy * dy <= length2;
        }
        const double bl = std::max(sl, pl), bh = std::min(sh, ph);
        if (along && bl <= bh)
            l = std::min(l, bl), h = std::max(h, bh);
    }
    *lo = l, *hi = h;
    return l <= h;
}

// One piece of a stroke as StrokeSegment paints it: a band of fixed columns,
// or the pixels under the pen of a-b within a box.
struct StrokePiece {
    QPointF a, b;
    bool band;
    long long top, bottom, left, right;
};

struct Run {
    long long from, to;
};

} // namespace

void MaskCanvas::StrokePolyline(const std::vector<QPointF>& points, int penWidth,
                                std::uint8_t color) {
    // Thin pens are cheap segment by segment. A wide one covers each pixel
    // from many short segments of a curve, up to pen-width times over: its
    // pieces are walked row by row instead, each row's spans joined and
    // filled once, so the cost follows the rows and the pixels painted.
    if (penWidth < kRowByRowPen) {
        if (points.size() == 1)
            StrokeSegment(points[0], points[0], penWidth, color);
        for (std::size_t i = 1; i < points.size(); ++i)
            StrokeSegment(points[i - 1], points[i], penWidth, color);
        return;
    }
    const PenShape pen = ShapeOf(penWidth);
    const double r = pen.radius, e = pen.sample;
    const double reach = r * r + 1e-9;
    // A hair wider than the rule, so that no pixel the rule takes is missed;
    // each span's ends are then settled by the rule itself.
    const double rho = std::sqrt(reach) + 1e-7;
    auto first = [e](double lo) { return CeilToLong(lo - e); };
    auto last = [e](double hi) { return FloorToLong(hi - e); };
    const long long maxX = Width() - 1LL, maxY = Height() - 1LL;

    // The same pieces StrokeSegment paints: along an axis a band and a disc
    // at either end, otherwise every pixel under the pen within its box.
    std::vector<StrokePiece> pieces;
    auto disc = [&](QPointF c) {
        pieces.push_back({c, c, false, std::max<long long>(first(c.y() - r), 0),
                          std::min(last(c.y() + r), maxY), std::max<long long>(first(c.x() - r), 0),
                          std::min(last(c.x() + r), maxX)});
    };
    auto segment = [&](QPointF a, QPointF b) {
        const double x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
        const double y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
        const long long top = std::max<long long>(first(y0 - r), 0);
        const long long bottom = std::min(last(y1 + r), maxY);
        if (a != b && a.y() == b.y()) {
            pieces.push_back({a, b, true, top, bottom, first(x0), last(x1)});
        } else if (a != b && a.x() == b.x()) {
            pieces.push_back({a, b, true, std::max(first(y0), top), std::min(last(y1), bottom),
                              first(a.x() - r), last(a.x() + r)});
        } else {
            pieces.push_back({a, b, false, top, bottom, std::max<long long>(first(x0 - r), 0),
                              std::min(last(x1 + r), maxX)});
            return;
        }
        disc(a);
        disc(b);
    };
    if (points.size() == 1)
        segment(points[0], points[0]);
    for (std::size_t i = 1; i < points.size(); ++i)
        segment(points[i - 1], points[i]);
    std::erase_if(pieces,
                  [](const StrokePiece& p) { return p.top > p.bottom || p.left > p.right; });
    if (pieces.empty())
        return;
    std::sort(pieces.begin(), pieces.end(),
              [](const StrokePiece& p, const StrokePiece& q) { return p.top < q.top; });

    std::vector<const StrokePiece*> active;
    std::vector<Run> runs;
    std::size_t next = 0;
    for (long long y = pieces.front().top; next < pieces.size() || !active.empty(); ++y) {
        if (active.empty())
            y = std::max(y, pieces[next].top);
        while (next < pieces.size() && pieces[next].top <= y)
            active.push_back(&pieces[next++]);
        std::erase_if(active, [y](const StrokePiece* p) { return p->bottom < y; });
        runs.clear();
        const double py = double(y) + e;
        for (const StrokePiece* p : active) {
            if (p->band) {
                const long long from = std::max(p->left, 0LL), to = std::min(p->right, maxX);
                if (from <= to)
                    runs.push_back({from, to});
                continue;
            }
            double lo, hi;
            if (!CapsuleRow(p->a, p->b, rho, py, &lo, &hi))
                continue;
            long long from = std::max(CeilToLong(lo - e) - 1, p->left);
            long long to = std::min(FloorToLong(hi - e) + 1, p->right);
            auto under = [&](long long x) {
                return UnderPen(p->a, p->b, double(x) + e, py, reach);
            };
            while (from <= to && !under(from))
                ++from;
            if (from > to)
                continue;
            while (from > p->left && under(from - 1))
                --from;
            while (!under(to))
                --to;
            while (to < p->right && under(to + 1))
                ++to;
            runs.push_back({from, to});
        }
        std::sort(runs.begin(), runs.end(),
                  [](const Run& p, const Run& q) { return p.from < q.from; });
        for (std::size_t i = 0; i < runs.size();) {
            Run joined = runs[i++];
            while (i < runs.size() && runs[i].from <= joined.to + 1)
                joined.to = std::max(joined.to, runs[i++].to);
            FillSpan(int(y), joined.from, joined.to, color);
        }
    }
}

void MaskCanvas::FillPolygon(const std::vector<QPointF>& points, std::uint8_t color) {
    if (points.size() < 3)
        return;
    double minY = points[0].y(), maxY = points[0].y();
    for (const QPointF& p : points) {
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    const long long y0 = std::max<long long>(CeilToLong(minY), 0);
    const long long y1 = std::min<long long>(FloorToLong(maxY), Height() - 1LL);
    std::vector<double> crossings;
    for (long long y = y0; y <= y1; ++y) {
        const double sy = double(y);
        crossings.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const QPointF& p = points[i];
            const QPointF& q = points[(i + 1) % points.size()];
            // Each edge counts for lo <= y < hi, so a vertex is met once.
            const double lo = std::min(p.y(), q.y()), hi = std::max(p.y(), q.y());
            if (sy < lo || sy >= hi)
                continue;
            crossings.push_back(p.x() + (sy - p.y()) * (q.x() - p.x()) / (q.y() - p.y()));
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
            FillSpan(int(y), CeilToLong(crossings[i]), FloorToLong(crossings[i + 1]), color);
    }
}

void MaskCanvas::Rectangle(int left, int top, int right, int bottom, int penWidth,
                           std::uint8_t penColor, std::optional<std::uint8_t> brush) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    if (left == right || top == bottom)
        return;
    if (brush)
        FillRect(left, top, right, bottom, *brush);
    const double l = left, t = top, r = right - 1.0, b = bottom - 1.0;
    StrokePolyline({{l, t}, {r, t}, {r, b}, {l, b}, {l, t}}, penWidth, penColor);
}

void MaskCanvas::RoundRect(int left, int top, int right, int bottom, int cornerWidth,
                           int cornerHeight, int penWidth, std::uint8_t penColor,
                           std::optional<std::uint8_t> brush) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    if (left == right || top == bottom)
        return;
    const double l = left, t = top, r = right - 1.0, b = bottom - 1.0;
    const double rx = std::clamp(cornerWidth / 2.0, 0.0, (r - l) / 2.0);
    const double ry = std::clamp(cornerHeight / 2.0, 0.0, (b - t) / 2.0);
    if (rx <= 0 || ry <= 0) {
        Rectangle(left, top, right, bottom, penWidth, penColor, brush);
        return;
    }
    // Quarter ellipses in steps of about a pixel, clockwise from the left
    // end of the top edge's corner.
    const int steps = std::clamp(int(std::ceil(std::max(rx, ry) * std::numbers::pi / 2)), 2, 4096);
    std::vector<QPointF> path;
    path.reserve(std::size_t(steps + 1) * 4 + 1);
    const QPointF centres[4] = {
        {l + rx, t + ry}, {r - rx, t + ry}, {r - rx, b - ry}, {l + rx, b - ry}};
    for (int corner = 0; corner < 4; ++corner) {
        const double start = std::numbers::pi * (1.0 + corner / 2.0);
        for (int k = 0; k <= steps; ++k) {
            const double angle = start + std::numbers::pi / 2 * k / steps;
            path.emplace_back(centres[corner].x() + rx * std::cos(angle),
                              centres[corner].y() + ry * std::sin(angle));
        }
    }
    if (brush)
        FillPolygon(path, *brush);
    path.push_back(path.front());
    StrokePolyline(path, penWidth, penColor);
}

void MaskCanvas::PolyBezier(const std::vector<QPoint>& points, int penWidth,
                            std::uint8_t penColor) {
    if (points.empty())
        return;
    std::vector<QPointF> path{QPointF(points[0])};
    for (std::size_t i = 0; i + 3 < points.size(); i += 3) {
        const QPointF p0(points[i]), c1(points[i + 1]), c2(points[i + 2]), p3(points[i + 3]);
        const double reach = std::hypot(c1.x() - p0.x(), c1.y() - p0.y()) +
                             std::hypot(c2.x() - c1.x(), c2.y() - c1.y()) +
                             std::hypot(p3.x() - c2.x(), p3.y() - c2.y());
        const int steps = std::clamp(int(std::ceil(reach)), 1, 4096);
        for (int k = 1; k <= steps; ++k) {
            const double s = double(k) / steps, u = 1 - s;
            const double w0 = u * u * u, w1 = 3 * u * u * s, w2 = 3 * u * s * s, w3 = s * s * s;
            path.emplace_back(w0 * p0.x() + w1 * c1.x() + w2 * c2.x() + w3 * p3.x(),
                              w0 * p0.y() + w1 * c1.y() + w2 * c2.y() + w3 * p3.y());
        }
    }
    StrokePolyline(path, penWidth, penColor);
}

void MaskCanvas::FloodFillSurface(int x, int y, std::uint8_t surface, std::uint8_t fill) {
    if (x < 0 || y < 0 || x >= Width() || y >= Height() || surface == fill || At(x, y) != surface)
        return;
    // Scanline fill: each entry is a pixel of the area whose run has not
    // been filled yet.
    std::vector<QPoint> stack{QPoint(x, y)};
    while (!stack.empty()) {
        const QPoint seed = stack.back();
        stack.pop_back();
        std::uint8_t* row = m_mask.Row(seed.y());
        if (row[seed.x()] != surface)
            continue;
        int x0 = seed.x(), x1 = seed.x();
        while (x0 > 0 && row[x0 - 1] == surface)
            --x0;
        while (x1 + 1 < Width() && row[x1 + 1] == surface)
            ++x1;
        std::memset(row + x0, fill, std::size_t(x1 - x0 + 1));
        for (int ny : {seed.y() - 1, seed.y() + 1}) {
            if (ny < 0 || ny >= Height())
                continue;
            const std::uint8_t* next = m_mask.Row(ny);
            bool inRun = false;
            for (int nx = x0; nx <= x1; ++nx) {
                const bool open = next[nx] == surface;
                if (open && !inRun)
                    stack.emplace_back(nx, ny);
                inRun = open;
            }
        }
    }
}

void MaskCanvas::StretchPicture(const CellMask& picture, int x, int y, int cx, int cy) {
    if (picture.IsEmpty() || cx <= 0 || cy <= 0)
        return;
    const long long tx0 = std::max(x, 0), tx1 = std::min<long long>((long long)x + cx, Width());
    const long long ty0 = std::max(y, 0), ty1 = std::min<long long>((long long)y + cy, Height());
    const long long sw = picture.Width(), sh = picture.Height();
    for (long long ty = ty0; ty < ty1; ++ty) {
        // The picture row under the centre of target row ty.
        const long long sy = ((ty - y) * 2 + 1) * sh / (2LL * cy);
        const std::uint8_t* source = picture.Row(int(sy));
        std::uint8_t* row = m_mask.Row(int(ty));
        for (long long tx = tx0; tx < tx1; ++tx)
            row[tx] = source[((tx - x) * 2 + 1) * sw / (2LL * cx)] ? kWhite : kBlack;
    }
}
