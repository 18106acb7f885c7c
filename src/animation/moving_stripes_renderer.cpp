#include "animation/moving_stripes_renderer.h"

#include <algorithm>
#include <climits>
#include <cmath>

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
    int angle = m_nAngle;
    while (angle > 360)
        angle -= 360;
    const int L = CycleLength();
    m_nQuadrant = QuadrantOf(angle);
    auto across = [&](int x) { return int(L * std::tan(x * kTileRadians) + 2.0); };
    int width = GetFrameWidth(), height = GetFrameHeight();
    switch (m_nQuadrant) {
    case 1:
        width = 2 * L;
        height =
            (angle == 0 || angle == 360) ? 10 : across(angle >= 315 ? angle - 270 : 90 - angle);
        break;
    case 2:
        height = 2 * L;
        width = angle == 90 ? 10 : across(90 - std::abs(90 - angle));
        break;
    case 3:
        width = 2 * L;
        height = angle == 180 ? 10 : across(90 - std::abs(180 - angle));
        break;
    default:
        height = 2 * L;
        width = angle == 270 ? 10 : across(90 - std::abs(270 - angle));
        break;
    }
    // The dialog shows the values and its boxes pass them through the
    // setters, so the stored size is the clamped one.
    SetFrameWidth(width);
    SetFrameHeight(height);
}

void MovingStripesRenderer::PrepareSave() {
    while (m_nAngle > 360)
        m_nAngle -= 360;
    while (m_nAngle < 0)
        m_nAngle += 360;
    m_nQuadrant = QuadrantOf(m_nAngle);
    const int L = CycleLength();
    m_nPeriod = L + 10;
    m_nPhase = m_nPeriod;
    RaiseSpeed();
    m_nStep = std::max(m_nSpeed / 8, 1);
    if (m_nPeriod / 3 < m_nStep)
        m_nStep = m_nPeriod / 3;
    m_nDelay = 100 / (m_nSpeed / m_nStep);
    // A step longer than the cycle would leave no frame at all; one frame
    // is the least a GIF can hold.
    m_nFrames = std::clamp((m_nPeriod - 10) / m_nStep, 1, 500);
    // The phase is left where the last frame leaves it.
    m_nPhase = m_nPeriod - m_nFrames * m_nStep;
}

void MovingStripesRenderer::DrawFrame(int index, QImage* frame) const {
    DrawPhase(m_nPeriod - index * m_nStep, frame);
}

void MovingStripesRenderer::DrawPhase(int p, QImage* frame) const {
    frame->fill(qRgb(0, 0, 0));
    const int W = frame->width(), H = frame->height();
    const double t = std::tan((m_nAngle + 90) * kDrawRadians);
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0, sx = 0, sy = 0;
    const int quadrant = QuadrantOf(m_nAngle > 360 ? m_nAngle % 360 : m_nAngle);
    switch (quadrant) {
    case 1:
        y1 = H + 1, y2 = -1, sx = 1;
        if (t > 0)
            x1 = int(-p - H / t), x2 = -p;
        else
            x1 = -p, x2 = int(H / t - p);
        break;
    case 2: {
        const int b = p + H;
        x1 = W + 1, x2 = -1, sy = -1;
        if (t > 0)
            y1 = b, y2 = int(W * t + b);
        else
            y1 = int(b - W * t), y2 = b;
        break;
    }
    case 3: {
        const int b = p + W;
        y1 = -1, y2 = H + 1, sx = -1;
        if (t > 0)
            x1 = int(H / t + b), x2 = b;
        else
            x1 = b, x2 = int(b - H / t);
        break;
    }
    default:
        x1 = -1, x2 = W + 1, sy = 1;
        if (t > 0)
            y1 = -p, y2 = int(-p - W * t);
        else
            y1 = int(W * t - p), y2 = -p;
        break;
    }
    auto more = [&] {
        switch (quadrant) {
        case 1:
            return x1 < W + 5 || x2 < W + 5;
        case 2:
            return y1 > -5 || y2 > -5;
        case 3:
            return x1 > -5 || x2 > -5;
        default:
            return y1 < H + 5 || y2 < H + 5;
        }
    };
    // The colours of one cycle, line by line.
    std::vector<QRgb> cycle;
    for (const StripeBand& band : StripeCycle(m_stripes))
        for (int j = 1; j <= band.count; ++j)
            cycle.push_back(ToRgb(band.gradient ? GradientColor(band.from, band.to, band.count, j)
                                                : band.from));
    const int L = int(cycle.size());
    if (L == 0)
        return;
    // Whole cycles are drawn while the condition holds before each; only the
    // end points matter for that.
    const int fx1 = x1, fy1 = y1, fx2 = x2, fy2 = y2;
    long long lines = 0;
    while (more()) {
        lines += L;
        x1 += sx * L, x2 += sx * L, y1 += sy * L, y2 += sy * L;
    }
    // Every line is the first one moved by whole pixels along the shift, with
    // one pixel per row (shift along x) or per column (shift along y), so the
    // frame is the first line's positions plus the line number: each pixel
    // belongs to exactly one line.
    uchar* bits = frame->bits();
    const qsizetype stride = frame->bytesPerLine();
    if (sx != 0) {
        std::vector<int> first(std::size_t(H), INT_MIN);
        WalkThinLine(fx1, fy1, fx2, fy2, [&](int x, int y) {
            if (y >= 0 && y < H)
                first[std::size_t(y)] = x;
        });
        for (int y = 0; y < H; ++y) {
            if (first[std::size_t(y)] == INT_MIN)
                continue;
            auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
            for (int x = 0; x < W; ++x) {
                const long long k = (long long)(x - first[std::size_t(y)]) * sx;
                if (k >= 0 && k < lines)
                    row[x] = cycle[std::size_t(k % L)];
            }
        }
    } else {
        std::vector<int> first(std::size_t(W), INT_MIN);
        WalkThinLine(fx1, fy1, fx2, fy2, [&](int x, int y) {
            if (x >= 0 && x < W)
                first[std::size_t(x)] = y;
        });
        for (int y = 0; y < H; ++y) {
            auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
            for (int x = 0; x < W; ++x) {
                if (first[std::size_t(x)] == INT_MIN)
                    continue;
                const long long k = (long long)(y - first[std::size_t(x)]) * sy;
                if (k >= 0 && k < lines)
                    row[x] = cycle[std::size_t(k % L)];
            }
        }
    }
}
