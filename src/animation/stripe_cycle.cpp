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
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    auto plot = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            reinterpret_cast<QRgb*>(image->scanLine(y))[x] = color;
    };
    if (dx >= dy) {
        // x-major: one pixel per column; the error is kept in whole units of
        // 2*dx so that shifted copies of a line round the same way.
        int err = dx;
        for (int i = 0, x = x0, y = y0; i < dx; ++i, x += sx) {
            plot(x, y);
            err -= 2 * dy;
            if (err < 0) {
                y += sy;
                err += 2 * dx;
            }
        }
    } else {
        int err = dy;
        for (int i = 0, x = x0, y = y0; i < dy; ++i, y += sy) {
            plot(x, y);
            err -= 2 * dx;
            if (err < 0) {
                x += sx;
                err += 2 * dy;
            }
        }
    }
}
