#include "core/animation/stripe_cycle.h"

#include <algorithm>
#include <cstdlib>

std::int64_t StripeCycleLength(const StripeSettings& s) {
    const std::int64_t unit = std::int64_t(s.stripeWidth) + s.stripeDistance;
    if (s.colors <= 1)
        return 2 * unit;
    return s.backgroundStripes ? 2 * s.colors * unit : (s.colors + 1) * unit;
}

std::vector<StripeBand> StripeCycle(const StripeSettings& s, const StripeExtras& e) {
    const std::int64_t w = s.stripeWidth, g = s.stripeDistance;
    const COLORREF bg = s.background;
    const auto& c = s.stripeColors;
    std::vector<StripeBand> bands;
    bands.reserve(20);
    auto band = [&](std::int64_t k, COLORREF color) { bands.push_back({k, color, color, false}); };
    auto gradient = [&](std::int64_t k, COLORREF from, COLORREF to) {
        bands.push_back({k, from, to, true});
    };
    if (s.colors <= 1) {
        band(w + e.color[0], c[0]);
        gradient(g + e.gradient[0], c[0], bg);
        band(w + e.background[0], bg);
        gradient(g + e.closing, bg, c[0]);
    } else if (s.backgroundStripes) {
        for (int i = 0; i < s.colors; ++i) {
            band(w + e.color[i], c[i]);
            gradient(g + e.gradient[i], c[i], bg);
            band(w + e.background[i], bg);
            gradient(g + (i == 0 ? e.closing : 0), bg, c[(i + 1) % s.colors]);
        }
    } else {
        for (int i = 0; i < s.colors; ++i) {
            band(w + e.color[i], c[i]);
            if (i < s.colors - 1)
                gradient(g + e.gradient[i], c[i], c[i + 1]);
        }
        gradient(g + e.gradient[s.colors], c[s.colors - 1], bg);
        band(w + e.background[0], bg);
        gradient(g + e.closing, bg, c[0]);
    }
    return bands;
}

COLORREF GradientColor(COLORREF from, COLORREF to, std::int64_t k, std::int64_t j) {
    if (k <= 0)
        return from;
    // The step is 0 beyond 255 lines, so the product stays small.
    auto channel = [&](int a, int b) { return int((a + (b - a) / k * j) & 0xFF); };
    return MakeColorRef(channel(RedOf(from), RedOf(to)), channel(GreenOf(from), GreenOf(to)),
                        channel(BlueOf(from), BlueOf(to)));
}

StripeColors::StripeColors(const std::vector<StripeBand>& bands) {
    for (const StripeBand& band : bands) {
        if (band.count <= 0)
            continue;
        m_nLength += band.count;
        m_bands.push_back(band);
        m_ends.push_back(m_nLength);
    }
}

QRgb StripeColors::At(std::int64_t k) const {
    const auto end = std::upper_bound(m_ends.begin(), m_ends.end(), k);
    if (end == m_ends.end())
        return qRgb(0, 0, 0);
    const std::size_t i = std::size_t(end - m_ends.begin());
    const StripeBand& band = m_bands[i];
    if (!band.gradient)
        return ToRgb(band.from);
    const std::int64_t j = k - (*end - band.count) + 1;
    return ToRgb(GradientColor(band.from, band.to, band.count, j));
}

std::vector<QRgb> StripeColors::Run(std::int64_t first, std::int64_t count) const {
    std::vector<QRgb> run;
    if (m_nLength <= 0 || count <= 0)
        return run;
    run.reserve(std::size_t(count));
    std::int64_t k = first % m_nLength;
    if (k < 0)
        k += m_nLength;
    for (std::int64_t n = 0; n < count; ++n) {
        run.push_back(At(k));
        if (++k == m_nLength)
            k = 0;
    }
    return run;
}

void DrawThinLine(QImage* image, int x0, int y0, int x1, int y1, QRgb color) {
    const int w = image->width(), h = image->height();
    uchar* bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    WalkThinLine(x0, y0, x1, y1, [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = color;
    });
}

void DrawWideLine(QImage* image, int x0, int y0, int x1, int y1, QRgb color) {
    const int w = image->width(), h = image->height();
    const bool startsInside = x0 >= 0 && y0 >= 0 && x0 < w && y0 < h;
    uchar* bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    // The second pixel goes to the side the line leans to, so that lines
    // fanning out from one point close up on both sides of a diagonal.
    const bool xMajor = std::abs(x1 - x0) >= std::abs(y1 - y0);
    const int ox = xMajor ? 0 : (x1 < x0 ? -1 : 1), oy = xMajor ? (y1 < y0 ? -1 : 1) : 0;
    auto plot = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = color;
    };
    // Each coordinate of the walk moves one way only, and the neighbour lies
    // on the side the line moves to, so once the thin pixel has left the
    // image neither pixel comes back into it.
    WalkThinLine(x0, y0, x1, y1, [&](int x, int y) {
        if (startsInside && (x < 0 || y < 0 || x >= w || y >= h))
            return false;
        plot(x, y);
        plot(x + ox, y + oy);
        return true;
    });
}
