#include "animation/wide_ring_painter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Largest distance between a flattened piece and its curve, in pixels.
constexpr double kFlatness = 0.25;
constexpr int kMaxDepth = 40;

double Length(double x, double y) {
    return std::sqrt(x * x + y * y);
}

} // namespace

WideRingPainter::WideRingPainter(QImage* frame, double penWidth)
    : m_pFrame(frame), m_nWidth(frame->width()), m_nHeight(frame->height()),
      m_dRadius(penWidth / 2), m_nUncovered(std::int64_t(frame->width()) * frame->height()),
      m_taken(std::size_t(frame->height())), m_free(std::size_t(frame->height()), frame->width()) {
}

void WideRingPainter::StrokeBeziers(const Point* points, int count, QRgb color) {
    for (int i = 0; i + 3 < count; i += 3)
        StrokeCubic(points[i], points[i + 1], points[i + 2], points[i + 3], color, 0);
}

void WideRingPainter::StrokeCubic(Point p0, Point p1, Point p2, Point p3, QRgb color, int depth) {
    // The curve lies inside the hull of its four points: a piece whose hull
    // is off the frame by more than the pen reaches cannot show.
    const double reach = m_dRadius + 1;
    const double minX = std::min({p0.x, p1.x, p2.x, p3.x}), maxX = std::max({p0.x, p1.x, p2.x, p3.x});
    const double minY = std::min({p0.y, p1.y, p2.y, p3.y}), maxY = std::max({p0.y, p1.y, p2.y, p3.y});
    if (maxX < -reach || maxY < -reach || minX > m_nWidth + reach || minY > m_nHeight + reach)
        return;
    // The chord strays from the curve by at most 3/4 of the larger second
    // difference of the points.
    const double d = std::max(Length(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                              Length(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
    if (0.75 * d <= kFlatness || depth >= kMaxDepth) {
        StrokeSegment(p0, p3, color);
        return;
    }
    const Point a{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2};
    const Point b{(p1.x + p2.x) / 2, (p1.y + p2.y) / 2};
    const Point c{(p2.x + p3.x) / 2, (p2.y + p3.y) / 2};
    const Point ab{(a.x + b.x) / 2, (a.y + b.y) / 2};
    const Point bc{(b.x + c.x) / 2, (b.y + c.y) / 2};
    const Point mid{(ab.x + bc.x) / 2, (ab.y + bc.y) / 2};
    StrokeCubic(p0, a, ab, mid, color, depth + 1);
    StrokeCubic(mid, bc, c, p3, color, depth + 1);
}

void WideRingPainter::StrokeSegment(Point a, Point b, QRgb color) {
    const double r = m_dRadius;
    // Pixel (x, y) is sampled at its centre (x + 0.5, y + 0.5).
    const double top = std::max(std::min(a.y, b.y) - r - 0.5, -1.0);
    const double bottom = std::min(std::max(a.y, b.y) + r - 0.5, double(m_nHeight));
    if (top > bottom)
        return;
    const int y0 = std::max(int(std::ceil(top)), 0);
    const int y1 = std::min(int(std::floor(bottom)), m_nHeight - 1);
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    const double rl = r * std::sqrt(l2);
    constexpr double kInf = std::numeric_limits<double>::infinity();
    for (int y = y0; y <= y1; ++y) {
        if (m_free[std::size_t(y)] == 0)
            continue;
        const double Y = y + 0.5;
        double left = kInf, right = -kInf;
        // The round ends.
        for (const Point& p : {a, b}) {
            const double t = Y - p.y;
            if (std::abs(t) <= r) {
                const double h = std::sqrt(r * r - t * t);
                left = std::min(left, p.x - h);
                right = std::max(right, p.x + h);
            }
        }
        // The band between them: its projection on the segment falls inside
        // the segment, and it is within r of the segment's line.
        if (l2 > 0) {
            const double ey = Y - a.y;
            double lo = -kInf, hi = kInf;
            bool empty = false;
            if (dx != 0) {
                const double t1 = -ey * dy / dx, t2 = (l2 - ey * dy) / dx;
                lo = std::max(lo, std::min(t1, t2));
                hi = std::min(hi, std::max(t1, t2));
            } else if (ey * dy < 0 || ey * dy > l2) {
                empty = true;
            }
            if (dy != 0) {
                const double t1 = (ey * dx - rl) / dy, t2 = (ey * dx + rl) / dy;
                lo = std::max(lo, std::min(t1, t2));
                hi = std::min(hi, std::max(t1, t2));
            } else if (std::abs(ey * dx) > rl) {
                empty = true;
            }
            if (!empty && lo <= hi) {
                left = std::min(left, a.x + lo);
                right = std::max(right, a.x + hi);
            }
        }
        if (left > right)
            continue;
        left = std::max(left, -1.0);
        right = std::min(right, double(m_nWidth) + 1);
        const int x0 = std::max(int(std::ceil(left - 0.5)), 0);
        const int x1 = std::min(int(std::floor(right - 0.5)), m_nWidth - 1);
        if (x0 <= x1)
            PaintFree(y, x0, x1, color);
    }
}

void WideRingPainter::PaintFree(int y, int x0, int x1, QRgb color) {
    std::vector<Span>& spans = m_taken[std::size_t(y)];
    auto* row = reinterpret_cast<QRgb*>(m_pFrame->scanLine(y));
    std::size_t i = 0;
    while (i < spans.size() && spans[i].last < x0 - 1)
        ++i;
    int first = x0, last = x1, cursor = x0, painted = 0;
    auto fill = [&](int from, int to) {
        std::fill(row + from, row + to + 1, color);
        painted += to - from + 1;
    };
    std::size_t j = i;
    for (; j < spans.size() && spans[j].first <= x1 + 1; ++j) {
        if (spans[j].first > cursor)
            fill(cursor, std::min(spans[j].first - 1, x1));
        cursor = std::max(cursor, spans[j].last + 1);
        first = std::min(first, spans[j].first);
        last = std::max(last, spans[j].last);
    }
    if (cursor <= x1)
        fill(cursor, x1);
    if (j == i) {
        spans.insert(spans.begin() + std::ptrdiff_t(i), Span{first, last});
    } else {
        spans[i] = Span{first, last};
        spans.erase(spans.begin() + std::ptrdiff_t(i) + 1, spans.begin() + std::ptrdiff_t(j));
    }
    m_free[std::size_t(y)] -= painted;
    m_nUncovered -= painted;
}
