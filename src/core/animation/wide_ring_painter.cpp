#include "core/animation/wide_ring_painter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Largest distance between a flattened piece and its curve, in pixels.
constexpr double kFlatness = 0.25;
// How far lengthened bands may reach beyond a round join they stand in for.
constexpr double kJoinDepth = 0.25;
constexpr int kMaxDepth = 40;
constexpr double kInf = std::numeric_limits<double>::infinity();

double Length(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// std::floor and std::ceil of a value within int's range, rounded the same
// way: without SSE4.1 the library's are a dozen instructions each, and a
// frame rounds millions of row ends.
int FloorToInt(double v) {
    const int t = int(v);
    return t - int(v < double(t));
}
int CeilToInt(double v) {
    const int t = int(v);
    return t + int(v > double(t));
}

} // namespace

namespace {

bool HasAvx() {
#if defined(__x86_64__) || defined(__i386__)
    // This may run among the static constructors, before the library's own.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

} // namespace

std::atomic<bool> WideRingPainter::s_bWide{HasAvx()};

bool WideRingPainter::UseWideVectors(bool wide) {
    s_bWide.store(wide && HasAvx(), std::memory_order_relaxed);
    return s_bWide.load(std::memory_order_relaxed);
}

WideRingPainter::WideRingPainter(QImage* frame, double penWidth)
    : m_pBits(frame->bits()), m_nStride(frame->bytesPerLine()), m_bBytes(frame->depth() == 8),
      m_nWidth(frame->width()), m_nHeight(frame->height()), m_dRadius(penWidth / 2),
      m_nUncovered(std::int64_t(frame->width()) * frame->height()),
      m_taken(std::size_t(frame->height())), m_free(std::size_t(frame->height()), frame->width()),
      m_freeRange(std::size_t(frame->height()), FreeRange{0, frame->width() - 1, true}),
      m_nFirstFreeRow(0), m_nLastFreeRow(frame->height() - 1) {
    // Lengthened bands reach r (1 / cos(t / 2) - 1) beyond the round join of
    // a turn of t; as the cosine of t, the turns where that stays within
    // kJoinDepth are those above m_dJoinCosine.
    const double half = 1 / (1 + kJoinDepth / std::max(m_dRadius, kJoinDepth));
    m_dJoinCosine = 2 * half * half - 1;
}

void WideRingPainter::StrokeBeziers(const Point* points, int count, QRgb color) {
    m_color = color;
    m_chain.clear();
    for (int i = 0; i + 3 < count; i += 3)
        FlattenCubic(points[i], points[i + 1], points[i + 2], points[i + 3], 0, false);
    StrokeChain();
}

void WideRingPainter::StrokeSegment(Point a, Point b, QRgb color) {
    m_color = color;
    m_chain.assign({a, b});
    StrokeChain();
}

void WideRingPainter::FlattenCubic(const Point& p0, const Point& p1, const Point& p2,
                                   const Point& p3, int depth, bool inside) {
    // The curve lies inside the hull of its four points: a piece whose hull
    // is off the frame by more than the pen reaches cannot show, and the
    // chain breaks there. The halves of a piece whose hull is within reach
    // everywhere are too, as their hulls lie inside its hull.
    if (!inside) {
        const double reach = m_dRadius + 1;
        const double minX = std::min({p0.x, p1.x, p2.x, p3.x}),
                     maxX = std::max({p0.x, p1.x, p2.x, p3.x});
        const double minY = std::min({p0.y, p1.y, p2.y, p3.y}),
                     maxY = std::max({p0.y, p1.y, p2.y, p3.y});
        if (maxX < -reach || maxY < -reach || minX > m_nWidth + reach || minY > m_nHeight + reach)
            return;
        inside = minX >= -reach && minY >= -reach && maxX <= m_nWidth + reach &&
                 maxY <= m_nHeight + reach;
    }
    // The chord strays from the curve by at most 3/4 of the larger second
    // difference of the points.
    const double ax = p0.x - 2 * p1.x + p2.x, ay = p0.y - 2 * p1.y + p2.y;
    const double bx = p1.x - 2 * p2.x + p3.x, by = p1.y - 2 * p2.y + p3.y;
    constexpr double kLimit = kFlatness / 0.75;
    if (std::max(ax * ax + ay * ay, bx * bx + by * by) <= kLimit * kLimit || depth >= kMaxDepth) {
        if (m_chain.empty() || m_chain.back().x != p0.x || m_chain.back().y != p0.y) {
            StrokeChain();
            m_chain.push_back(p0);
        }
        m_chain.push_back(p3);
        return;
    }
    const Point a{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2};
    const Point b{(p1.x + p2.x) / 2, (p1.y + p2.y) / 2};
    const Point c{(p2.x + p3.x) / 2, (p2.y + p3.y) / 2};
    const Point ab{(a.x + b.x) / 2, (a.y + b.y) / 2};
    const Point bc{(b.x + c.x) / 2, (b.y + c.y) / 2};
    const Point mid{(ab.x + bc.x) / 2, (ab.y + bc.y) / 2};
    FlattenCubic(p0, a, ab, mid, depth + 1, inside);
    FlattenCubic(mid, bc, c, p3, depth + 1, inside);
}

void WideRingPainter::StrokeChain() {
    // The stroke of a polyline with a round pen is the union of its
    // segments' bands and of discs at its points. Where the line bends only
    // slightly, the two bands, each lengthened by r tan(t / 2) for a turn of
    // t, cover the disc but for a sliver thinner than the flatness.
    const std::size_t n = m_chain.size();
    if (n == 1)
        StrokeDisc(m_chain[0], m_color);
    m_extend.assign(n, 0.0);
    // Each piece's length once: the joins at both its ends and its band
    // need it.
    m_length.resize(n);
    for (std::size_t i = 0; i + 1 < n; ++i)
        m_length[i] = Length(m_chain[i + 1].x - m_chain[i].x, m_chain[i + 1].y - m_chain[i].y);
    for (std::size_t i = 0; i < n; ++i) {
        bool disc = i == 0 || i + 1 == n;
        if (!disc) {
            const Point& p = m_chain[i - 1];
            const Point& q = m_chain[i];
            const Point& r = m_chain[i + 1];
            const double ux = q.x - p.x, uy = q.y - p.y, vx = r.x - q.x, vy = r.y - q.y;
            const double lengths = m_length[i - 1] * m_length[i];
            const double c = lengths > 0 ? (ux * vx + uy * vy) / lengths : -1;
            disc = c < m_dJoinCosine;
            if (!disc)
                m_extend[i] = m_dRadius * std::sqrt(std::max(1 - c, 0.0) / (1 + c));
        }
        if (disc)
            StrokeDisc(m_chain[i], m_color);
    }
    for (std::size_t i = 0; i + 1 < n; ++i)
        StrokeBand(m_chain[i], m_chain[i + 1], m_length[i], m_extend[i], m_extend[i + 1], m_color);
    m_chain.clear();
}

std::pair<int, int> WideRingPainter::Columns(double x0, double x1) const {
    // Clamped before rounding, to the values that round to the bounds:
    // floor(x0) - 1 and ceil(x1) + 1 within -2 .. width + 1.
    return {FloorToInt(std::clamp(x0, -1.0, m_nWidth + 2.0)) - 1,
            CeilToInt(std::clamp(x1, -3.0, double(m_nWidth))) + 1};
}

void WideRingPainter::StrokeDisc(Point p, QRgb color) {
    const double r = m_dRadius;
    // Pixel (x, y) is sampled at its centre (x + 0.5, y + 0.5).
    const double top = std::max(p.y - r - 0.5, -1.0);
    const double bottom = std::min(p.y + r - 0.5, double(m_nHeight));
    if (top > bottom || p.x + r < -1 || p.x - r > m_nWidth + 1)
        return;
    const auto [y0, y1] =
        FreeRows(std::max(CeilToInt(top), 0), std::min(FloorToInt(bottom), m_nHeight - 1));
    const auto [c0, c1] = Columns(p.x - r, p.x + r);
    for (int y = y0; y <= y1; ++y) {
        if (!MayPaint(y, c0, c1))
            continue;
        const double t = y + 0.5 - p.y;
        const double h = std::sqrt(std::max(r * r - t * t, 0.0));
        const int x0 = std::max(CeilToInt(std::max(p.x - h, -1.0) - 0.5), 0);
        const int x1 = std::min(FloorToInt(std::min(p.x + h, m_nWidth + 1.0) - 0.5), m_nWidth - 1);
        if (x0 <= x1 && MayPaint(y, x0, x1))
            PaintFree(y, x0, x1, color);
    }
}

void WideRingPainter::StrokeBand(Point a, Point b, double length, double extendA, double extendB,
                                 QRgb color) {
    const double r = m_dRadius;
    double dx = b.x - a.x, dy = b.y - a.y;
    if (length == 0)
        return;
    // Lengthened at either end where it stands in for a join.
    const double ux = dx / length, uy = dy / length;
    a = {a.x - ux * extendA, a.y - uy * extendA};
    b = {b.x + ux * extendB, b.y + uy * extendB};
    dx = b.x - a.x;
    dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    // The band's corners are its ends moved by r across it.
    const double ex = r * std::abs(ux);
    const double top = std::max(std::min(a.y, b.y) - ex - 0.5, -1.0);
    const double bottom = std::min(std::max(a.y, b.y) + ex - 0.5, double(m_nHeight));
    if (top > bottom)
        return;
    const auto [y0, y1] =
        FreeRows(std::max(CeilToInt(top), 0), std::min(FloorToInt(bottom), m_nHeight - 1));
    const double rl = r * std::sqrt(l2);
    const double invDx = dx != 0 ? 1 / dx : 0, invDy = dy != 0 ? 1 / dy : 0;
    // The band's corners are its ends moved by r across it: no row of it
    // reaches beyond these columns.
    const double ey0 = r * std::abs(uy);
    const auto [c0, c1] = Columns(std::min(a.x, b.x) - ey0, std::max(a.x, b.x) + ey0);
#if defined(__SSE2__)
    if (dx != 0 && dy != 0) {
#if defined(__x86_64__) || defined(__i386__)
        if (s_bWide.load(std::memory_order_relaxed)) {
            SlantedRowsWide(y0, y1, c0, c1, a.x, a.y, dx, dy, l2, rl, invDx, invDy, color);
            return;
        }
#endif
        SlantedRows(y0, y1, c0, c1, a.x, a.y, dx, dy, l2, rl, invDx, invDy, color);
        return;
    }
#endif
    for (int y = y0; y <= y1; ++y) {
        if (!MayPaint(y, c0, c1))
            continue;
        // Points (x, Y) whose projection falls on the segment, within r of
        // its line.
        const double ey = y + 0.5 - a.y;
        double lo = -kInf, hi = kInf;
        if (dx != 0) {
            const double t1 = -ey * dy * invDx, t2 = (l2 - ey * dy) * invDx;
            lo = std::min(t1, t2);
            hi = std::max(t1, t2);
        } else if (ey * dy < 0 || ey * dy > l2) {
            continue;
        }
        if (dy != 0) {
            const double t1 = (ey * dx - rl) * invDy, t2 = (ey * dx + rl) * invDy;
            lo = std::max(lo, std::min(t1, t2));
            hi = std::min(hi, std::max(t1, t2));
        } else if (std::abs(ey * dx) > rl) {
            continue;
        }
        if (lo > hi)
            continue;
        const double left = std::max(a.x + lo, -1.0);
        const double right = std::min(a.x + hi, m_nWidth + 1.0);
        // Both lie within -1 .. width + 1: lo <= hi here.
        const int x0 = std::max(CeilToInt(left - 0.5), 0);
        const int x1 = std::min(FloorToInt(right - 0.5), m_nWidth - 1);
        if (x0 <= x1 && MayPaint(y, x0, x1))
            PaintFree(y, x0, x1, color);
    }
}

#if defined(__SSE2__)
namespace {

// SSE2 has no 32-bit min and max.
__m128i Max32(__m128i a, __m128i b) {
    const __m128i greater = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(greater, a), _mm_andnot_si128(greater, b));
}
__m128i Min32(__m128i a, __m128i b) {
    const __m128i greater = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(greater, b), _mm_andnot_si128(greater, a));
}

} // namespace

void WideRingPainter::SlantedRows(int y0, int y1, int c0, int c1, double ax, double ay, double dx,
                                  double dy, double l2, double rl, double invDx, double invDy,
                                  QRgb color) {
    // The rows of StrokeBand's loop two at a time, with the same operations
    // in the same order, so that every run comes out as there: most rows of
    // a band lie beside the free pixels, and without branches they cost a
    // few instructions each.
    const __m128d half = _mm_set1_pd(0.5), vay = _mm_set1_pd(ay), vax = _mm_set1_pd(ax);
    const __m128d vdx = _mm_set1_pd(dx), vdy = _mm_set1_pd(dy), vl2 = _mm_set1_pd(l2);
    const __m128d vrl = _mm_set1_pd(rl), vix = _mm_set1_pd(invDx), viy = _mm_set1_pd(invDy);
    const __m128d minusOne = _mm_set1_pd(-1.0), maxRight = _mm_set1_pd(m_nWidth + 1.0);
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128i vLastColumn = _mm_set1_epi32(m_nWidth - 1);
    RunBatch runs(this, color);
    for (int y = y0; y <= y1; y += 2) {
        if (!MayPaint(y, c0, c1) && (y == y1 || !MayPaint(y + 1, c0, c1)))
            continue;
        const __m128d ey = _mm_sub_pd(_mm_add_pd(_mm_set_pd(y + 1, y), half), vay);
        const __m128d eydy = _mm_mul_pd(ey, vdy), eydx = _mm_mul_pd(ey, vdx);
        const __m128d t1 = _mm_mul_pd(_mm_mul_pd(_mm_xor_pd(ey, sign), vdy), vix);
        const __m128d t2 = _mm_mul_pd(_mm_sub_pd(vl2, eydy), vix);
        const __m128d t3 = _mm_mul_pd(_mm_sub_pd(eydx, vrl), viy);
        const __m128d t4 = _mm_mul_pd(_mm_add_pd(eydx, vrl), viy);
        const __m128d lo = _mm_max_pd(_mm_min_pd(t1, t2), _mm_min_pd(t3, t4));
        const __m128d hi = _mm_min_pd(_mm_max_pd(t1, t2), _mm_max_pd(t3, t4));
        const int empty = _mm_movemask_pd(_mm_cmpgt_pd(lo, hi));
        // Clamped on both sides so that rounding stays within int's range;
        // a run beyond the frame still comes out empty.
        const __m128d left =
            _mm_sub_pd(_mm_min_pd(_mm_max_pd(_mm_add_pd(vax, lo), minusOne), maxRight), half);
        const __m128d right =
            _mm_sub_pd(_mm_max_pd(_mm_min_pd(_mm_add_pd(vax, hi), maxRight), minusOne), half);
        // Truncated, then one up where that fell below (a ceiling) or one
        // down where it rose above (a floor).
        const __m128i tl = _mm_cvttpd_epi32(left), tr = _mm_cvttpd_epi32(right);
        const __m128i up = _mm_castpd_si128(_mm_cmpgt_pd(left, _mm_cvtepi32_pd(tl)));
        const __m128i down = _mm_castpd_si128(_mm_cmplt_pd(right, _mm_cvtepi32_pd(tr)));
        const __m128i x0s = _mm_sub_epi32(tl, _mm_shuffle_epi32(up, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i x1s = _mm_add_epi32(tr, _mm_shuffle_epi32(down, _MM_SHUFFLE(2, 0, 2, 0)));
        // Which of the two runs find the row's free range, without a branch
        // per row: those are taken by half the rows and fail to predict. A
        // row past the band, or a full one, has first > last and takes none.
        const FreeRange& f0 = m_freeRange[std::size_t(y)];
        const FreeRange& f1 = y < y1 ? m_freeRange[std::size_t(y) + 1] : kFull;
        const __m128i freeFirst = _mm_setr_epi32(f0.first, f1.first, 0, 0);
        const __m128i freeLast = _mm_setr_epi32(f0.last, f1.last, 0, 0);
        const __m128i firsts = Max32(x0s, _mm_setzero_si128());
        const __m128i lasts = Min32(x1s, vLastColumn);
        const __m128i miss = _mm_or_si128(
            _mm_or_si128(_mm_cmpgt_epi32(firsts, lasts), _mm_cmpgt_epi32(firsts, freeLast)),
            _mm_cmpgt_epi32(freeFirst, lasts));
        const int take = ~(_mm_movemask_ps(_mm_castsi128_ps(miss)) | empty) & 3;
        alignas(16) int first[4], last[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(first), firsts);
        _mm_store_si128(reinterpret_cast<__m128i*>(last), lasts);
        runs.Put(y, first[0], last[0], take & 1);
        runs.Put(y + 1, first[1], last[1], take >> 1);
        runs.MakeRoom(2);
    }
    runs.Paint();
}

#if defined(__x86_64__) || defined(__i386__)
// SlantedRows four rows at a time where the processor has AVX: the same
// operations in the same order on each row, the floors and ceilings by the
// rounding instruction (which gives what truncating and correcting gives).
__attribute__((target("avx"))) void
WideRingPainter::SlantedRowsWide(int y0, int y1, int c0, int c1, double ax, double ay, double dx,
                                 double dy, double l2, double rl, double invDx, double invDy,
                                 QRgb color) {
    const __m256d half = _mm256_set1_pd(0.5), vay = _mm256_set1_pd(ay), vax = _mm256_set1_pd(ax);
    const __m256d vdx = _mm256_set1_pd(dx), vdy = _mm256_set1_pd(dy), vl2 = _mm256_set1_pd(l2);
    const __m256d vrl = _mm256_set1_pd(rl), vix = _mm256_set1_pd(invDx),
                  viy = _mm256_set1_pd(invDy);
    const __m256d minusOne = _mm256_set1_pd(-1.0), maxRight = _mm256_set1_pd(m_nWidth + 1.0);
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m128i vLastColumn = _mm_set1_epi32(m_nWidth - 1);
    const __m128i vc0 = _mm_set1_epi32(c0), vc1 = _mm_set1_epi32(c1);
    RunBatch runs(this, color);
    const auto range = [&](int y) -> const FreeRange& {
        return y <= y1 ? m_freeRange[std::size_t(y)] : kFull;
    };
    for (int y = y0; y <= y1; y += 4) {
        const FreeRange &f0 = range(y), &f1 = range(y + 1), &f2 = range(y + 2),
                        &f3 = range(y + 3);
        const __m128i freeFirst = _mm_setr_epi32(f0.first, f1.first, f2.first, f3.first);
        const __m128i freeLast = _mm_setr_epi32(f0.last, f1.last, f2.last, f3.last);
        // Rows whose free pixels lie beside the band's columns, a full row
        // and one past the band among them, take nothing.
        if (_mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(
                _mm_cmpgt_epi32(freeFirst, vc1), _mm_cmpgt_epi32(vc0, freeLast)))) == 15)
            continue;
        const __m256d ey = _mm256_sub_pd(_mm256_add_pd(_mm256_set_pd(y + 3, y + 2, y + 1, y), half),
                                         vay);
        const __m256d eydy = _mm256_mul_pd(ey, vdy), eydx = _mm256_mul_pd(ey, vdx);
        const __m256d t1 = _mm256_mul_pd(_mm256_mul_pd(_mm256_xor_pd(ey, sign), vdy), vix);
        const __m256d t2 = _mm256_mul_pd(_mm256_sub_pd(vl2, eydy), vix);
        const __m256d t3 = _mm256_mul_pd(_mm256_sub_pd(eydx, vrl), viy);
        const __m256d t4 = _mm256_mul_pd(_mm256_add_pd(eydx, vrl), viy);
        const __m256d lo = _mm256_max_pd(_mm256_min_pd(t1, t2), _mm256_min_pd(t3, t4));
        const __m256d hi = _mm256_min_pd(_mm256_max_pd(t1, t2), _mm256_max_pd(t3, t4));
        const int empty = _mm256_movemask_pd(_mm256_cmp_pd(lo, hi, _CMP_GT_OQ));
        const __m256d left = _mm256_sub_pd(
            _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(vax, lo), minusOne), maxRight), half);
        const __m256d right = _mm256_sub_pd(
            _mm256_max_pd(_mm256_min_pd(_mm256_add_pd(vax, hi), maxRight), minusOne), half);
        const __m128i x0s = _mm256_cvttpd_epi32(_mm256_ceil_pd(left));
        const __m128i x1s = _mm256_cvttpd_epi32(_mm256_floor_pd(right));
        const __m128i firsts = _mm_max_epi32(x0s, _mm_setzero_si128());
        const __m128i lasts = _mm_min_epi32(x1s, vLastColumn);
        const __m128i miss = _mm_or_si128(
            _mm_or_si128(_mm_cmpgt_epi32(firsts, lasts), _mm_cmpgt_epi32(firsts, freeLast)),
            _mm_cmpgt_epi32(freeFirst, lasts));
        const int take = ~(_mm_movemask_ps(_mm_castsi128_ps(miss)) | empty) & 15;
        alignas(16) int first[4], last[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(first), firsts);
        _mm_store_si128(reinterpret_cast<__m128i*>(last), lasts);
        for (int k = 0; k < 4; ++k)
            runs.Put(y + k, first[k], last[k], (take >> k) & 1);
        runs.MakeRoom(4);
    }
    runs.Paint();
}
#endif
#endif

void WideRingPainter::PaintFree(int y, int x0, int x1, QRgb color) {
    FreeRange& range = m_freeRange[std::size_t(y)];
    if (!range.whole) {
        PaintSpans(y, x0, x1, color);
        return;
    }
    // Rings come in from outside, so nearly every run lands on one end
    // of the row's free run or misses it: no span list to walk.
    const int a = std::max(x0, range.first), b = std::min(x1, range.last);
    if (a > b)
        return;
    Fill(y, a, b, color);
    const int painted = b - a + 1;
    m_free[std::size_t(y)] -= painted;
    m_nUncovered -= painted;
    const bool fromFirst = a == range.first, toLast = b == range.last;
    if (fromFirst == toLast) {
        if (fromFirst)
            RowFull(y);
        else
            SplitRun(y, a, b);
        return;
    }
    // One end or the other, chosen without a branch that would guess.
    range.first = fromFirst ? b + 1 : range.first;
    range.last = toLast ? a - 1 : range.last;
}

void WideRingPainter::SplitRun(int y, int a, int b) {
    // A hole in the middle: from now on the row keeps its spans.
    FreeRange& range = m_freeRange[std::size_t(y)];
    std::vector<Span>& spans = m_taken[std::size_t(y)];
    spans.clear();
    if (range.first > 0)
        spans.push_back({0, range.first - 1});
    spans.push_back({a, b});
    if (range.last < m_nWidth - 1)
        spans.push_back({range.last + 1, m_nWidth - 1});
    range.whole = false;
}

void WideRingPainter::PaintSpans(int y, int x0, int x1, QRgb color) {
    FreeRange& range = m_freeRange[std::size_t(y)];
    std::vector<Span>& spans = m_taken[std::size_t(y)];
    std::size_t i = 0;
    while (i < spans.size() && spans[i].last < x0 - 1)
        ++i;
    // Nothing to do when one taken span holds the whole run.
    if (i < spans.size() && spans[i].first <= x0 && spans[i].last >= x1)
        return;
    int first = x0, last = x1, cursor = x0, painted = 0;
    auto fill = [&](int from, int to) {
        Fill(y, from, to, color);
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
    if (m_free[std::size_t(y)] == 0) {
        RowFull(y);
        return;
    }
    // Spans never touch, so the pixel after a span from the left edge is
    // free (and the one before a span to the right edge).
    range.first = spans.front().first == 0 ? spans.front().last + 1 : 0;
    range.last = spans.back().last == m_nWidth - 1 ? spans.back().first - 1 : m_nWidth - 1;
    // The hole closed: the free pixels are one run again.
    range.whole = m_free[std::size_t(y)] == range.last - range.first + 1;
}

void WideRingPainter::RowFull(int y) {
    m_freeRange[std::size_t(y)] = kFull;
    while (m_nFirstFreeRow <= m_nLastFreeRow && m_free[std::size_t(m_nFirstFreeRow)] == 0)
        ++m_nFirstFreeRow;
    while (m_nLastFreeRow >= m_nFirstFreeRow && m_free[std::size_t(m_nLastFreeRow)] == 0)
        --m_nLastFreeRow;
}

void WideRingPainter::FillFree(QRgb color) {
    for (int y = m_nFirstFreeRow; y <= m_nLastFreeRow; ++y) {
        const FreeRange& range = m_freeRange[std::size_t(y)];
        if (range.first > range.last)
            continue;
        if (range.whole) {
            Fill(y, range.first, range.last, color);
            continue;
        }
        int cursor = 0;
        for (const Span& span : m_taken[std::size_t(y)]) {
            Fill(y, cursor, span.first - 1, color);
            cursor = span.last + 1;
        }
        Fill(y, cursor, m_nWidth - 1, color);
    }
}
