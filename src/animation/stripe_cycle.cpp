#include "animation/stripe_cycle.h"

#include <cstdlib>

int StripeCycleLength(const StripeSettings& s) {
    const int unit = s.stripeWidth + s.stripeDistance;
    if (s.colors <= 1)
        return 2 * unit;
    return s.backgroundStripes ? 2 * s.colors * unit : (s.colors + 1) * unit;
}

std::vector<StripeBand> StripeCycle(const StripeSettings& s, const StripeExtras& e) {
    const int w = s.stripeWidth, g = s.stripeDistance;
    const COLORREF bg = s.background;
    const auto& c = s.stripeColors;
    std::vector<StripeBand> bands;
    auto band = [&](int k, COLORREF color) { bands.push_back({k, color, color, false}); };
    auto gradient = [&](int k, COLORREF from, COLORREF to) {
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

COLORREF GradientColor(COLORREF from, COLORREF to, int k, int j) {
    if (k <= 0)
        return from;
    auto channel = [&](int a, int b) { return (a + (b - a) / k * j) & 0xFF; };
    return MakeColorRef(channel(RedOf(from), RedOf(to)), channel(GreenOf(from), GreenOf(to)),
                        channel(BlueOf(from), BlueOf(to)));
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
    WalkThinLine(x0, y0, x1, y1, [&](int x, int y) {
        plot(x, y);
        plot(x + ox, y + oy);
    });
}
