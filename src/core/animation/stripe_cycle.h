// The colour cycle both stripe animations repeat: solid stripes of up to
// five colours and a background colour, joined by gradients.
#pragma once

#include "core/base/color_ref.h"

#include <QImage>
#include <array>
#include <cstdint>
#include <type_traits>
#include <vector>

struct StripeBand {
    std::int64_t count; // lines (or rays) in the band: w or g plus extras, past int at the top
    COLORREF from;      // a solid band's colour, a gradient's start
    COLORREF to;        // a gradient's end
    bool gradient;
};

struct StripeSettings {
    int colors = 1;         // 1 .. 5
    int stripeWidth = 5;    // w, at least 1
    int stripeDistance = 5; // g, at least 0
    COLORREF background = 0xFF0000;
    std::array<COLORREF, 5> stripeColors{};
    bool backgroundStripes = false;
};

// Extra lines given to the bands of one cycle (the pinwheel spreads the rays
// a revolution does not divide evenly); all zero for straight stripes.
struct StripeExtras {
    std::array<int, 20> color{};
    std::array<int, 20> background{};
    std::array<int, 20> gradient{};
    int closing = 0; // added to the gradient that leads back to the first colour
};

// Lines in one cycle: 2(w+g) for one colour; 2n(w+g) with background
// stripes; (n+1)(w+g) without. Up to 20 times the largest int, so 64-bit.
std::int64_t StripeCycleLength(const StripeSettings& s);

std::vector<StripeBand> StripeCycle(const StripeSettings& s, const StripeExtras& extras = {});

// Colour of line j (1-based) of a gradient of k lines: each channel moves by
// its whole step (B - A) / k per line and keeps its low 8 bits.
COLORREF GradientColor(COLORREF from, COLORREF to, std::int64_t k, std::int64_t j);

// The colour of any line of a cycle, found from its bands without listing
// the cycle, which may be far longer than any frame shows.
class StripeColors {
public:
    explicit StripeColors(const std::vector<StripeBand>& bands);
    std::int64_t Length() const { return m_nLength; }
    // Line k of the cycle, 0 <= k < Length().
    QRgb At(std::int64_t k) const;
    // Lines first, first + 1, ... (count of them, taken round the cycle).
    std::vector<QRgb> Run(std::int64_t first, std::int64_t count) const;

private:
    std::vector<StripeBand> m_bands;  // the bands with lines, in order
    std::vector<std::int64_t> m_ends; // line after each of them
    std::int64_t m_nLength = 0;
};

inline QRgb ToRgb(COLORREF c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

// A one-pixel line as the stripes need it: one pixel per step of the major
// axis, the end point left out, anything outside the image skipped. Lines
// whose end points are one pixel apart fill the space between them exactly.
void DrawThinLine(QImage* image, int x0, int y0, int x1, int y1, QRgb color);

// The same line walked without drawing: calls visit(x, y) for each pixel in
// order, the end point left out. A visit that returns bool ends the walk by
// returning false.
template <typename Visit> void WalkThinLine(int x0, int y0, int x1, int y1, Visit visit) {
    auto step = [&visit](int x, int y) {
        if constexpr (std::is_same_v<decltype(visit(x, y)), bool>)
            return visit(x, y);
        else {
            visit(x, y);
            return true;
        }
    };
    const int dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y1 - y0 : y0 - y1;
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    if (dx >= dy) {
        // x-major: one pixel per column; the error is kept in whole units
        // of 2 dx so that shifted copies of a line round the same way.
        int err = dx;
        for (int i = 0, x = x0, y = y0; i < dx; ++i, x += sx) {
            if (!step(x, y))
                return;
            err -= 2 * dy;
            if (err < 0) {
                y += sy;
                err += 2 * dx;
            }
        }
    } else {
        int err = dy;
        for (int i = 0, x = x0, y = y0; i < dy; ++i, y += sy) {
            if (!step(x, y))
                return;
            err -= 2 * dx;
            if (err < 0) {
                x += sx;
                err += 2 * dy;
            }
        }
    }
}

// A line two pixels wide: each pixel of the thin line and its neighbour
// across the line's major axis. A line that starts inside the image is
// walked only until it leaves it (both pixels move outwards from there on),
// so a long ray costs what the image shows of it.
void DrawWideLine(QImage* image, int x0, int y0, int x1, int y1, QRgb color);
