#include "core/animation/moving_stripes_renderer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace {

// The drawing and Tile convert degrees with slightly different factors; the
// pictures depend on both.
constexpr double kDrawRadians = 0.017453292519444445;
constexpr double kTileRadians = 0.01745327777777778;

} // namespace

// Yellow, pink, green, rose and aqua on blue.
MovingStripesRenderer::MovingStripesRenderer()
    : StripesRendererBase(120, 120, {0x00FFFF, 0xFF19FF, 0x00FF00, 0x9664FF, 0xC8FF0A}) {}

std::unique_ptr<AnimationRenderer> MovingStripesRenderer::Clone() const {
    return std::make_unique<MovingStripesRenderer>(*this);
}

void MovingStripesRenderer::SetAngle(int degrees) {
    m_nAngle = std::max(degrees, 0);
}

int MovingStripesRenderer::QuadrantOf(int angle) {
    if (angle >= 46 && angle <= 134)
        return 2;
    if (angle >= 135 && angle <= 225)
        return 3;
    if (angle >= 226 && angle <= 314)
        return 4;
    return 1;
}

void MovingStripesRenderer::Tile() {
    // An angle above 360 can only be typed; it is read as the save reads it.
    const int angle = NormalizedAngle(m_nAngle);
    const std::int64_t L = CycleLength();
    m_nQuadrant = QuadrantOf(angle);
    // Very wide stripes make sizes beyond int; they end at its top, which
    // the save then refuses as too large for a GIF.
    auto across = [&](int x) { return SaturatedInt(double(L) * std::tan(x * kTileRadians) + 2.0); };
    const int twice = SaturatedInt(double(2 * L));
    int width = GetFrameWidth(), height = GetFrameHeight();
    switch (m_nQuadrant) {
    case 1:
        width = twice;
        height =
            (angle == 0 || angle == 360) ? 10 : across(angle >= 315 ? angle - 270 : 90 - angle);
        break;
    case 2:
        height = twice;
        width = angle == 90 ? 10 : across(90 - std::abs(90 - angle));
        break;
    case 3:
        width = twice;
        height = angle == 180 ? 10 : across(90 - std::abs(180 - angle));
        break;
    default:
        height = twice;
        width = angle == 270 ? 10 : across(90 - std::abs(270 - angle));
        break;
    }
    // The dialog shows the values and its boxes pass them through the
    // setters, so the stored size is the clamped one.
    SetFrameWidth(width);
    SetFrameHeight(height);
}

int MovingStripesRenderer::NormalizedAngle(int angle) {
    // Subtracting 360 while above 360: 720 stays 360, 721 becomes 1.
    if (angle > 360)
        angle = (angle - 1) % 360 + 1;
    while (angle < 0)
        angle += 360;
    return angle;
}

void MovingStripesRenderer::PrepareSave() {
    m_nAngle = NormalizedAngle(m_nAngle);
    m_nQuadrant = QuadrantOf(m_nAngle);
    const std::int64_t L = CycleLength();
    m_nPeriod = L + 10;
    m_nPhase = m_nPeriod;
    RaiseSpeed();
    m_nStep = std::max(m_nSpeed / 8, 1);
    if (m_nPeriod / 3 < m_nStep)
        m_nStep = int(m_nPeriod / 3);
    m_nDelay = 100 / (m_nSpeed / m_nStep);
    // A step longer than the cycle would leave no frame at all; one frame
    // is the least a GIF can hold.
    SetFrameCount((m_nPeriod - 10) / m_nStep, &m_nFrames);
    // The phase is left where the last frame leaves it.
    m_nPhase = m_nPeriod - std::int64_t(m_nFrames) * m_nStep;
}

void MovingStripesRenderer::DrawFrame(int index, QImage* frame) const {
    DrawPhase(m_nPeriod - std::int64_t(index) * m_nStep, frame);
}

void MovingStripesRenderer::DrawPhase(std::int64_t p, QImage* frame) const {
    frame->fill(qRgb(0, 0, 0));
    const int W = frame->width(), H = frame->height();
    if (W <= 0 || H <= 0)
        return;
    const double t = std::tan((m_nAngle + 90) * kDrawRadians);
    // The end points of the first line; 64-bit, as the phase runs up to the
    // cycle's length.
    std::int64_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int sx = 0, sy = 0;
    auto whole = [](double v) { return std::int64_t(v); }; // truncates, as int() did
    const int quadrant = QuadrantOf(m_nAngle > 360 ? m_nAngle % 360 : m_nAngle);
    switch (quadrant) {
    case 1:
        y1 = H + 1, y2 = -1, sx = 1;
        if (t > 0)
            x1 = whole(double(-p) - H / t), x2 = -p;
        else
            x1 = -p, x2 = whole(H / t - double(p));
        break;
    case 2: {
        const std::int64_t b = p + H;
        x1 = W + 1, x2 = -1, sy = -1;
        if (t > 0)
            y1 = b, y2 = whole(W * t + double(b));
        else
            y1 = whole(double(b) - W * t), y2 = b;
        break;
    }
    case 3: {
        const std::int64_t b = p + W;
        y1 = -1, y2 = H + 1, sx = -1;
        if (t > 0)
            x1 = whole(H / t + double(b)), x2 = b;
        else
            x1 = b, x2 = whole(double(b) - H / t);
        break;
    }
    default:
        x1 = -1, x2 = W + 1, sy = 1;
        if (t > 0)
            y1 = -p, y2 = whole(double(-p) - W * t);
        else
            y1 = whole(W * t - double(p)), y2 = -p;
        break;
    }
    const StripeColors colors(StripeCycle(m_stripes));
    const std::int64_t L = colors.Length();
    if (L <= 0)
        return;
    // Whole cycles are drawn while an end point is short of the far edge
    // (tested before each cycle): as many as it takes the nearer end point
    // to pass it.
    auto cyclesTo = [L](std::int64_t distance) {
        return distance > 0 ? (distance + L - 1) / L : std::int64_t(0);
    };
    std::int64_t cycles = 0;
    switch (quadrant) {
    case 1:
        cycles = cyclesTo(W + 5 - std::min(x1, x2));
        break;
    case 2:
        cycles = cyclesTo(std::max(y1, y2) + 5);
        break;
    case 3:
        cycles = cyclesTo(std::max(x1, x2) + 5);
        break;
    default:
        cycles = cyclesTo(H + 5 - std::min(y1, y2));
        break;
    }
    // Saturates rather than overflows for phases far below zero; every
    // pixel's line number is below it then anyway.
    const std::int64_t lines = cycles > INT64_MAX / L ? INT64_MAX : cycles * L;
    // Every line is the first one moved by whole pixels along the shift, with
    // one pixel per row (shift along x) or per column (shift along y), so the
    // frame is the first line's positions plus the line number: each pixel
    // belongs to exactly one line. The first line is walked shifted to start
    // at 0 along the shift (its length across is bounded by the frame).
    const bool alongX = sx != 0;
    const int across = alongX ? H : W;
    const std::int64_t origin = alongX ? x1 : y1;
    constexpr std::int64_t kNone = INT64_MIN;
    std::vector<std::int64_t> first(std::size_t(across), kNone);
    if (alongX)
        WalkThinLine(0, int(y1), int(x2 - origin), int(y2), [&](int x, int y) {
            if (y >= 0 && y < H)
                first[std::size_t(y)] = origin + x;
        });
    else
        WalkThinLine(int(x1), 0, int(x2), int(y2 - origin), [&](int x, int y) {
            if (x >= 0 && x < W)
                first[std::size_t(x)] = origin + y;
        });
    // Line numbers shown: from the smallest to the largest over the frame.
    std::int64_t lowest = INT64_MAX, highest = INT64_MIN;
    const int along = alongX ? W : H;
    const int shift = alongX ? sx : sy;
    for (const std::int64_t f : first) {
        if (f == kNone)
            continue;
        const std::int64_t a = (0 - f) * shift, b = (along - 1 - f) * shift;
        lowest = std::min({lowest, a, b});
        highest = std::max({highest, a, b});
    }
    lowest = std::max<std::int64_t>(lowest, 0);
    highest = std::min(highest, lines - 1);
    if (lowest > highest)
        return;
    // The colours by line: one whole cycle when it is shorter than the
    // frame's run of lines, otherwise only the run the frame shows.
    const bool wholeCycle = L <= highest - lowest + 1;
    const std::vector<QRgb> table =
        wholeCycle ? colors.Run(0, L) : colors.Run(lowest, highest - lowest + 1);
    // A pixel's place in the table moves by one along a row (lines shifted
    // along x) or down a column (along y), so it is stepped rather than
    // worked out with a 64-bit division per pixel, which took over a second
    // for a frame of 67 million pixels.
    const auto place = [&](std::int64_t k) {
        if (!wholeCycle)
            return k - lowest;
        const std::int64_t m = k % L;
        return m < 0 ? m + L : m;
    };
    const auto step = [&](std::int64_t i) {
        i += shift;
        if (wholeCycle)
            i = i >= L ? i - L : i < 0 ? i + L : i;
        return i;
    };
    uchar* bits = frame->bits();
    const qsizetype stride = frame->bytesPerLine();
    if (alongX) {
        for (int y = 0; y < H; ++y) {
            // Long frames stop early when the save is cancelled.
            if (y % 256 == 0 && CancelRequested())
                return;
            const std::int64_t f = first[std::size_t(y)];
            if (f == kNone)
                continue;
            // The pixels whose line number k = (x - f) * shift lies in
            // [0, lines), kept within the row without overflowing.
            std::int64_t lo = 0, hi = W - 1;
            if (shift > 0) {
                lo = std::max<std::int64_t>(f, 0);
                if (f <= W - 1 && lines - 1 < W - 1 - f)
                    hi = f + lines - 1;
            } else {
                hi = std::min<std::int64_t>(f, W - 1);
                if (f >= 0 && lines - 1 < f)
                    lo = f - (lines - 1);
            }
            auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
            std::int64_t i = lo <= hi ? place((lo - f) * shift) : 0;
            for (std::int64_t x = lo; x <= hi; ++x) {
                row[x] = table[std::size_t(i)];
                i = step(i);
            }
        }
        return;
    }
    // Down the columns: each column keeps its line number and place, both
    // moved by the shift from one row to the next.
    std::vector<std::int64_t> line(static_cast<std::size_t>(W)), at(static_cast<std::size_t>(W));
    for (int x = 0; x < W; ++x) {
        const std::int64_t f = first[std::size_t(x)];
        line[std::size_t(x)] = f == kNone ? -1 : (0 - f) * shift;
        at[std::size_t(x)] = f == kNone ? 0 : place(line[std::size_t(x)]);
    }
    for (int y = 0; y < H; ++y) {
        if (y % 256 == 0 && CancelRequested())
            return;
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        for (int x = 0; x < W; ++x) {
            if (first[std::size_t(x)] == kNone)
                continue;
            const std::int64_t k = line[std::size_t(x)];
            if (k >= 0 && k < lines)
                row[x] = table[std::size_t(at[std::size_t(x)])];
            line[std::size_t(x)] = k + shift;
            at[std::size_t(x)] = step(at[std::size_t(x)]);
        }
    }
}
