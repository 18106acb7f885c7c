#include "core/animation/cloud_painter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// The angle constants the cloud shapes are defined with (pi as 3.14159).
constexpr double kEighthTurn = 0.39269875; // 22.5 degrees
constexpr double kSixDegrees = 0.10471966666666666;
constexpr double kDegreesToRadians = 0.01745327777777778;
constexpr double kRadiansToDegrees = 57.295827908797776;

// Finer spokes than this would only repeat pixels.
constexpr double kFinestStep = 0.01;

QRgb ToRgb(COLORREF c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

long long FloorDiv(long long num, long long den) { // den > 0
    return num >= 0 ? num / den : -((-num + den - 1) / den);
}
long long CeilDiv(long long num, long long den) {
    return -FloorDiv(-num, den);
}

int Saturate(long long v) {
    return int(std::clamp<long long>(v, INT_MIN / 4, INT_MAX / 4));
}

} // namespace

CloudRadii CloudPainter::MakeRadii(Random15& random, int size, int bumps, int squeeze) {
    CloudRadii r{};
    for (int k = 0; k < 16; ++k)
        r[std::size_t(k)] = Saturate((long long)random.Scaled(bumps) + size);
    // Widen the cloud: the stretch is largest at 0 and 180 degrees and
    // vanishes at 90 and 270, so every cloud is wider than tall.
    const int q = squeeze / 4;
    for (int m = 0; m < 4; ++m) {
        const double a = std::sin((4 - m) * kEighthTurn) * ((4 - m) * q);
        const double b = std::sin(m * kEighthTurn) * (m * q);
        auto add = [&r](int index, double v) {
            r[std::size_t(index)] = int(std::clamp(r[std::size_t(index)] + v, -1e9, 1e9));
        };
        add(m, a);
        add(m + 8, a);
        add(m + 4, b);
        add(m + 12, b);
    }
    r[16] = r[0];
    return r;
}

double CloudPainter::SpokeStep(int size, int bumps) {
    const long long base = std::max<long long>((long long)bumps / 2 + size, 1);
    return std::asin(1.0 / double(base)) * kRadiansToDegrees;
}

COLORREF CloudPainter::StepColor(COLORREF from, COLORREF to, int parts, int steps) {
    if (parts <= 0)
        return to;
    auto channel = [&](int a, int b) {
        return int(std::clamp<long long>(a + (long long)steps * ((b - a) / parts), 0, 255));
    };
    return MakeColorRef(channel(RedOf(from), RedOf(to)), channel(GreenOf(from), GreenOf(to)),
                        channel(BlueOf(from), BlueOf(to)));
}

CloudPainter::CloudPainter(QImage* image, double spokeStep, int edgeWidth, COLORREF edgeTarget)
    : m_pImage(image), m_dSpokeStep(spokeStep), m_nEdgeWidth(std::max(edgeWidth, 0)),
      m_crEdgeTarget(edgeTarget) {
    // A step that is not a positive number (no radius to fit it to) draws
    // the four axis spokes; a vanishing one is held at a useful fineness.
    if (!(m_dSpokeStep > 0) || !std::isfinite(m_dSpokeStep))
        m_dSpokeStep = 90.0;
    m_dSpokeStep = std::max(m_dSpokeStep, kFinestStep);

    // The directions depend on the step alone; a save paints many clouds
    // with one step, so the last table is kept per thread.
    thread_local double cachedStep = -1.0;
    thread_local std::vector<Direction> cached;
    if (cachedStep != m_dSpokeStep) {
        cached.clear();
        for (double a = 0.0; a <= 360.0; a += m_dSpokeStep) {
            int k = 0, quadrant = 0;
            double g = 0.0;
            if (a < 360.0) {
                k = int(a / 22.5);
                g = std::fmod(a, 22.5);
                quadrant = int(a / 90.0);
            }
            // Ease between the control radii: slow near them, quick between.
            const double t = g / 22.5;
            Direction d;
            d.k = k;
            d.h = t < 0.5 ? t * std::sin(g * kSixDegrees)
                          : 1.0 - ((22.5 - g) / 22.5) * std::sin((22.5 - g) * kSixDegrees);
            const double radians = a * kDegreesToRadians;
            d.cosine = std::fabs(std::cos(radians));
            d.sine = std::fabs(std::sin(radians));
            // Image y grows downwards: the angle runs counter-clockwise.
            d.signX = (quadrant == 0 || quadrant == 3) ? 1 : -1;
            d.signY = (quadrant == 0 || quadrant == 1) ? -1 : 1;
            cached.push_back(d);
        }
        cachedStep = m_dSpokeStep;
    }
    m_directions = cached;
}

void CloudPainter::MakeSpokes(const CloudRadii& R) {
    m_spokes.clear();
    const int E = m_nEdgeWidth;
    for (const Direction& d : m_directions) {
        const double rk = R[std::size_t(d.k)], rk1 = R[std::size_t(d.k + 1)];
        int r = int(d.h * (rk1 - rk) + rk - E);
        if (r < 0)
            r = 1;
        Spoke s;
        s.cosine = d.cosine;
        s.sine = d.sine;
        s.signX = d.signX;
        s.signY = d.signY;
        s.end = QPoint(s.signX * int(r * s.cosine), s.signY * int(r * s.sine));
        m_spokes.push_back(s);
    }
}

QPoint CloudPainter::RingPoint(const Spoke& spoke, int i) const {
    return spoke.end +
           QPoint(spoke.signX * int(i * spoke.cosine), spoke.signY * int(i * spoke.sine));
}

bool CloudPainter::Covers(double spokeStep, int edgeWidth, int x, int y, const CloudRadii& radii,
                          int width, int height) {
    if (width < 1 || height < 1)
        return false;
    if (!(spokeStep > 0) || !std::isfinite(spokeStep))
        spokeStep = 90.0;
    int smallest = INT_MAX;
    for (int k = 0; k < 16; ++k)
        smallest = std::min(smallest, radii[std::size_t(k)]);
    // A spoke's radius lies between its two control radii and is truncated
    // to whole pixels; so are its end's coordinates. The outline's chords
    // between spoke ends at most a step apart stay cos(step / 2) of the
    // way out, and a few pixels make room for the fill's rounding.
    const double halfStep = std::min(spokeStep, 90.0) * 0.5 / kRadiansToDegrees;
    const double solid =
        (double(smallest) - std::max(edgeWidth, 0) - 1.0) * std::cos(halfStep) - 3.0;
    if (solid <= 0)
        return false;
    const double dx = std::max(std::fabs(double(x)), std::fabs(double(width - 1) - x));
    const double dy = std::max(std::fabs(double(y)), std::fabs(double(height - 1) - y));
    return dx * dx + dy * dy < solid * solid;
}

void CloudPainter::FillImage(COLORREF color) {
    const QRgb rgb = ToRgb(color);
    const int W = m_pImage->width(), H = m_pImage->height();
    uchar* bits = m_pImage->bits();
    const qsizetype stride = m_pImage->bytesPerLine();
    for (int y = 0; y < H; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        if (!m_pMask) {
            std::fill_n(row, W, rgb);
            continue;
        }
        std::uint8_t* mask = m_pMask + qsizetype(y) * W;
        for (int x = 0; x < W; ++x)
            if (!mask[x]) {
                mask[x] = 1;
                row[x] = rgb;
                --*m_pRemaining;
            }
    }
}

void CloudPainter::Paint(int x, int y, const CloudRadii& radii, COLORREF color) {
    if (Covers(x, y, radii, m_pImage->width(), m_pImage->height())) {
        FillImage(color);
        return;
    }
    MakeSpokes(radii);
    PaintSpokes(x, y, color);
}

void CloudPainter::PaintWrapped(int x, int y, int spanX, int spanY, const CloudRadii& radii,
                                COLORREF color) {
    const int W = m_pImage->width(), H = m_pImage->height();
    // The copies can only repaint what the cloud itself already covers.
    if (Covers(x, y, radii, W, H)) {
        FillImage(color);
        return;
    }
    MakeSpokes(radii);
    const bool right = (long long)W - x < spanX;
    const bool bottom = (long long)H - y < spanY;
    PaintSpokes(x, y, color);
    if (right)
        PaintSpokes(x - W, y, color);
    if (bottom)
        PaintSpokes(x, y - H, color);
    if (right && bottom)
        PaintSpokes(x - W, y - H, color);
}

void CloudPainter::PaintSpokes(int x, int y, COLORREF color) {
    const int W = m_pImage->width(), H = m_pImage->height();
    if (m_spokes.empty() || W < 1 || H < 1)
        return;
    // Nothing to do for a cloud wholly outside the image.
    int reach = m_nEdgeWidth + 2;
    for (const Spoke& s : m_spokes)
        reach =
            std::max(reach, std::max(std::abs(s.end.x()), std::abs(s.end.y())) + m_nEdgeWidth + 2);
    if ((long long)x + reach < 0 || (long long)x - reach >= W || (long long)y + reach < 0 ||
        (long long)y - reach >= H)
        return;

    m_pBits = m_pImage->bits();
    m_nStride = m_pImage->bytesPerLine();
    m_nWidth = W;
    m_nHeight = H;
    const QPoint centre(x, y);
    const int n = int(m_spokes.size());
    const int E = m_nEdgeWidth;

    // The soft edge first, so that the solid body keeps its outline. Each
    // spoke is continued by short thick steps of a colour ramp; where
    // neighbouring spokes run more than a pixel apart the band between
    // them is filled ring by ring, so the edge has no gaps either.
    if (E > 0) {
        auto band = [&](const Spoke& a, const Spoke& b) {
            for (int i = 1; i < E; ++i) {
                const QPoint a0 = RingPoint(a, i - 1), a1 = RingPoint(a, i);
                const QPoint b0 = RingPoint(b, i - 1), b1 = RingPoint(b, i);
                const QPoint d0 = a0 - b0, d1 = a1 - b1;
                if (std::max(std::abs(d0.x()), std::abs(d0.y())) <= 1 &&
                    std::max(std::abs(d1.x()), std::abs(d1.y())) <= 1)
                    continue;
                const QPoint quad[4] = {centre + a0, centre + a1, centre + b1, centre + b0};
                FillPolygon(quad, 4, ToRgb(StepColor(color, m_crEdgeTarget, E, i + 1)));
            }
        };
        for (int k = 0; k < n; ++k) {
            const Spoke& s = m_spokes[std::size_t(k)];
            if (k > 0)
                band(m_spokes[std::size_t(k - 1)], s);
            QPoint previous = s.end;
            for (int i = 0; i < E; ++i) {
                const QPoint p = RingPoint(s, i);
                if (p == previous)
                    continue;
                DrawLine(centre + previous, centre + p, 3,
                         ToRgb(StepColor(color, m_crEdgeTarget, E, i + 1)));
                previous = p;
            }
        }
        band(m_spokes[std::size_t(n - 1)], m_spokes[0]);
    }

    // The body: the fan's outline filled, then the outline and the spokes
    // themselves two pixels wide, so that spokes that spread apart towards
    // their ends leave nothing unpainted between them.
    const QRgb rgb = ToRgb(color);
    m_polygon.clear();
    for (const Spoke& s : m_spokes)
        m_polygon.push_back(centre + s.end);
    FillPolygon(m_polygon.data(), int(m_polygon.size()), rgb);
    for (int k = 0; k < n; ++k) {
        // Ends a pixel apart are joined by their spokes already.
        const QPoint a = m_polygon[std::size_t(k)], b = m_polygon[std::size_t((k + 1) % n)];
        if (std::abs(a.x() - b.x()) > 1 || std::abs(a.y() - b.y()) > 1)
            DrawLine(a, b, 1, rgb);
    }
    // Spoke pixels closer to the centre than every edge of the outline
    // (with room for the pen and the line's rounding) are already filled.
    double inner2 = INFINITY;
    for (int k = 0; k < n; ++k) {
        const QPointF a = m_spokes[std::size_t(k)].end;
        const QPointF b = m_spokes[std::size_t((k + 1) % n)].end;
        const QPointF ab = b - a;
        const double length2 = QPointF::dotProduct(ab, ab);
        const double t =
            length2 > 0 ? std::clamp(-QPointF::dotProduct(a, ab) / length2, 0.0, 1.0) : 0.0;
        const QPointF nearest = a + t * ab;
        inner2 = std::min(inner2, QPointF::dotProduct(nearest, nearest));
    }
    const double solid = std::sqrt(inner2) - 2.5;
    for (const Spoke& s : m_spokes) {
        const long long major = std::max(std::abs(s.end.x()), std::abs(s.end.y()));
        const double length =
            std::sqrt(double(s.end.x()) * s.end.x() + double(s.end.y()) * s.end.y());
        const long long skip =
            solid > 0 && length > 0 ? (long long)(solid * double(major) / length) : 0;
        DrawLine(centre, centre + s.end, 2, rgb, skip);
    }
}

void CloudPainter::FillPolygon(const QPoint* points, int count, QRgb color) {
    const int W = m_nWidth, H = m_nHeight;
    int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
    for (int i = 0; i < count; ++i) {
        minX = std::min(minX, points[i].x());
        maxX = std::max(maxX, points[i].x());
        minY = std::min(minY, points[i].y());
        maxY = std::max(maxY, points[i].y());
    }
    if (count < 3 || maxX < 0 || minX >= W || maxY < 0 || minY >= H)
        return;
    // Each edge crosses the rows from its upper end (included) to its lower
    // end (left out), so edges that meet are counted once.
    m_crossings.clear();
    for (int i = 0; i < count; ++i) {
        QPoint top = points[i], bottom = points[(i + 1) % count];
        if (top.y() == bottom.y())
            continue;
        int direction = 1;
        if (top.y() > bottom.y()) {
            std::swap(top, bottom);
            direction = -1;
        }
        const long long den = (long long)bottom.y() - top.y();
        const long long run = (long long)bottom.x() - top.x();
        const int first = std::max(top.y(), 0), last = std::min(bottom.y(), H); // [first, last)
        for (int y = first; y < last; ++y) {
            const long long num = (long long)top.x() * den + ((long long)y - top.y()) * run;
            m_crossings.push_back({y, double(num) / double(den), num, den, direction});
        }
    }
    std::sort(m_crossings.begin(), m_crossings.end(), [](const Crossing& a, const Crossing& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
    // Nonzero winding: a fan whose truncated spoke ends fold back a little
    // stays filled.
    std::size_t i = 0;
    while (i < m_crossings.size()) {
        const int y = m_crossings[i].y;
        auto* row = reinterpret_cast<QRgb*>(m_pBits + y * m_nStride);
        int winding = 0;
        long long start = 0;
        for (; i < m_crossings.size() && m_crossings[i].y == y; ++i) {
            const Crossing& c = m_crossings[i];
            const int before = winding;
            winding += c.direction;
            if (before == 0 && winding != 0) {
                start = CeilDiv(c.numerator, c.denominator);
            } else if (before != 0 && winding == 0) {
                const long long end =
                    std::min<long long>(FloorDiv(c.numerator, c.denominator), W - 1);
                long long x = std::max<long long>(start, 0);
                if (!m_pMask) {
                    for (; x <= end; ++x)
                        row[x] = color;
                } else {
                    std::uint8_t* mask = m_pMask + qsizetype(y) * W;
                    for (; x <= end; ++x)
                        if (!mask[x]) {
                            mask[x] = 1;
                            row[x] = color;
                            --*m_pRemaining;
                        }
                }
            }
        }
    }
}

inline void CloudPainter::Stamp(int x, int y, int width, QRgb color) {
    const int W = m_nWidth, H = m_nHeight;
    if (!m_pMask && x >= 1 && y >= 1 && x < W - 2 && y < H - 2) {
        // Wholly inside and painting over anything: no pixel needs a test.
        auto* row = reinterpret_cast<QRgb*>(m_pBits + y * m_nStride) + x;
        row[0] = color;
        if (width == 1)
            return;
        auto* below = reinterpret_cast<QRgb*>(m_pBits + (y + 1) * m_nStride) + x;
        below[0] = color;
        if (width == 2) {
            row[1] = color;
            below[1] = color;
            return;
        }
        row[-1] = color;
        row[1] = color;
        reinterpret_cast<QRgb*>(m_pBits + (y - 1) * m_nStride)[x] = color;
        return;
    }
    auto put = [&](int px, int py) {
        if (px >= 0 && px < W && py >= 0 && py < H) {
            if (m_pMask) {
                std::uint8_t& m = m_pMask[qsizetype(py) * W + px];
                if (m)
                    return;
                m = 1;
                --*m_pRemaining;
            }
            reinterpret_cast<QRgb*>(m_pBits + py * m_nStride)[px] = color;
        }
    };
    switch (width) {
    case 1:
        put(x, y);
        break;
    case 2: // a pen of even width lies on one side of its line
        put(x, y);
        put(x + 1, y);
        put(x, y + 1);
        put(x + 1, y + 1);
        break;
    default: // three pixels across, round at the ends
        put(x, y);
        put(x - 1, y);
        put(x + 1, y);
        put(x, y - 1);
        put(x, y + 1);
        break;
    }
}

void CloudPainter::DrawLine(QPoint from, QPoint to, int width, QRgb color, long long skip) {
    const int W = m_nWidth, H = m_nHeight;
    constexpr int margin = 1; // how far a pen reaches past the line's pixels
    if (std::max(from.x(), to.x()) < -margin || std::min(from.x(), to.x()) > W - 1 + margin ||
        std::max(from.y(), to.y()) < -margin || std::min(from.y(), to.y()) > H - 1 + margin)
        return;
    const long long dx = std::llabs((long long)to.x() - from.x());
    const long long dy = std::llabs((long long)to.y() - from.y());
    const int sx = to.x() >= from.x() ? 1 : -1, sy = to.y() >= from.y() ? 1 : -1;
    const bool xMajor = dx >= dy;
    const long long d = xMajor ? dx : dy; // steps along the major axis
    const long long m = xMajor ? dy : dx; // of which steps of the minor axis
    const long long major0 = xMajor ? from.x() : from.y();
    const long long minor0 = xMajor ? from.y() : from.x();
    const int majorSign = xMajor ? sx : sy, minorSign = xMajor ? sy : sx;
    const long long majorSize = xMajor ? W : H, minorSize = xMajor ? H : W;

    // Only the steps that can reach the image are walked: first the range
    // where the major coordinate is inside, then (roughly, with a pixel to
    // spare) where the minor one is.
    long long iFirst = std::max<long long>(skip, 0), iLast = d;
    auto limit = [&](double lo, double hi) {
        iFirst = std::max<long long>(iFirst, (long long)std::floor(lo));
        iLast = std::min<long long>(iLast, (long long)std::ceil(hi));
    };
    if (majorSign > 0)
        limit(double(-margin - major0), double(majorSize - 1 + margin - major0));
    else
        limit(double(major0 - (majorSize - 1 + margin)), double(major0 + margin));
    if (m > 0) {
        const double perStep = double(d) / double(m);
        if (minorSign > 0)
            limit((double(-margin - minor0) - 1.0) * perStep,
                  (double(minorSize - 1 + margin - minor0) + 1.0) * perStep);
        else
            limit((double(minor0 - (minorSize - 1 + margin)) - 1.0) * perStep,
                  (double(minor0 + margin) + 1.0) * perStep);
    }
    // The same pixels as a walk from the start that keeps its error in
    // whole units of 2 d: after i steps the minor axis has moved
    // ceil((2 i m - d) / 2 d) times. The walk starts where the image is
    // reached with one division, then adds 2 m a step; as m <= d, the minor
    // axis moves at most once a step.
    if (iFirst > iLast)
        return;
    long long num = 2 * iFirst * m - d;
    long long moved = num <= 0 ? 0 : CeilDiv(num, 2 * d);
    long long reached = moved * 2 * d; // num may grow to this before the next move
    for (long long i = iFirst; i <= iLast; ++i) {
        const long long major = major0 + majorSign * i;
        const long long minor = minor0 + minorSign * moved;
        if (xMajor)
            Stamp(int(major), int(minor), width, color);
        else
            Stamp(int(minor), int(major), width, color);
        num += 2 * m;
        if (num > reached) {
            ++moved;
            reached += 2 * d;
        }
    }
}
