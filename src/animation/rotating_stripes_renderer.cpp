#include "animation/rotating_stripes_renderer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kDegreesPerRadian = 57.29582790879778;
constexpr double kRadians = 0.01745327777777778;

} // namespace

// Green, red, violet, yellow and indigo on blue.
RotatingStripesRenderer::RotatingStripesRenderer()
    : StripesRendererBase(250, 150, {0x00FF00, 0x0000FF, 0xC832C8, 0x00FFFF, 0xC81964}) {}

std::unique_ptr<AnimationRenderer> RotatingStripesRenderer::Clone() const {
    return std::make_unique<RotatingStripesRenderer>(*this);
}

double RotatingStripesRenderer::AngleOf(double x, double y) {
    if (x > 0 && y >= 0)
        return std::atan(y / x) * kDegreesPerRadian;
    if (x < 0 && y >= 0)
        return 180 - std::atan(y / std::fabs(x)) * kDegreesPerRadian;
    if (x < 0 && y < 0)
        return 180 + std::atan(std::fabs(y) / std::fabs(x)) * kDegreesPerRadian;
    if (x > 0 && y < 0)
        return 360 - std::atan(std::fabs(y) / x) * kDegreesPerRadian;
    return y > 0 ? 90 : y < 0 ? 270 : 0;
}

void RotatingStripesRenderer::RimStep(int* x, int* y, double v) {
    double a = AngleOf(*x, *y);
    while (a > 180)
        a -= 180;
    const double s = std::fabs(v * std::sin(a * kRadians));
    const double c = std::fabs(v * std::cos(a * kRadians));
    int dx, dy;
    if (s >= 0.5 || c >= 0.5) {
        dx = s > 0.5 ? 1 : 0;
        dy = c > 0.5 ? 1 : 0;
    } else if (s > c) {
        dx = 1, dy = 0;
    } else {
        dx = 0, dy = 1;
    }
    *x += *y < 0 ? dx : -dx;
    *y += *x < 0 ? -dy : dy;
}

int RotatingStripesRenderer::RevolutionCount(int radius, double v) {
    int x = radius + 1, y = 0, count = 0;
    do {
        RimStep(&x, &y, v);
        ++count;
    } while (y >= 0 && count < 1000000);
    do {
        RimStep(&x, &y, v);
        ++count;
    } while (y < 0 && count < 1000000);
    return count;
}

RotatingStripesRenderer::Geometry RotatingStripesRenderer::ComputeGeometry(int W, int H) const {
    Geometry g;
    g.centerX = W / 2;
    g.centerY = H / 2;
    g.radius = 2 + int(std::sqrt(double(W) * W + double(H) * H) / 2);
    g.stepLength = g.radius * std::tan(std::asin(1.0 / g.radius) * 57.295827908797776 * kRadians);
    g.revolution = RevolutionCount(g.radius, g.stepLength);
    g.cycle = StripeCycleLength(m_stripes);
    g.cyclesPerTurn = g.revolution / g.cycle;
    if (g.cyclesPerTurn == 0) {
        // A cycle longer than a turn: one cycle per turn, and the period is
        // the turn itself.
        g.cyclesPerTurn = 1;
        g.remainder = 0;
        g.period = g.revolution + 1;
    } else {
        g.remainder = g.revolution % g.cycle;
        g.period = g.cycle + g.remainder / g.cyclesPerTurn + 1;
    }
    const int K = g.cyclesPerTurn;
    int rem = g.remainder;
    // Hand out the rays a turn holds beyond its whole cycles, K at a time
    // (each is drawn once per cycle), band by band.
    enum { Colour, Background, Gradient } state = Colour;
    int i = 0;
    while (rem > K) {
        switch (state) {
        case Colour:
            ++g.extras.color[std::size_t(i)];
            rem -= K;
            state = Background;
            break;
        case Background:
            if (i == 0 || m_stripes.backgroundStripes) {
                ++g.extras.background[std::size_t(i)];
                rem -= K;
            }
            state = Gradient;
            break;
        case Gradient:
            if (m_stripes.stripeDistance > 0) {
                ++g.extras.gradient[std::size_t(i)];
                rem -= K;
            }
            if (++i > m_stripes.colors)
                i = 0;
            state = Colour;
            break;
        }
    }
    g.spread = rem == 0 ? std::numeric_limits<double>::infinity() : double(K) / rem;
    return g;
}

void RotatingStripesRenderer::PrepareFrames() {
    RaiseSpeed();
    m_nStep = std::max(m_nSpeed / 8, 1);
    if (m_nStep > m_geometry.period / 3)
        m_nStep = std::max(m_geometry.period / 3, 1);
    m_nDelay = 100 / (m_nSpeed / m_nStep);
    m_nFrames = std::clamp(m_geometry.period / m_nStep, 1, 500);
}

void RotatingStripesRenderer::PrepareSave() {
    if (m_bFitToCell) {
        PrepareFitToCell();
        return;
    }
    m_bAssembling = false;
    m_geometry = ComputeGeometry(GetFrameWidth(), GetFrameHeight());
    PrepareFrames();
}

void RotatingStripesRenderer::PrepareFitToCell() {
    int b = GetBorder();
    if (b % 2 != 0)
        StoreBorder(++b);
    m_nCellX = int(std::floor(double(GetTableWidth() - b) / GetColumns() + 0.5));
    m_nCellY = int(std::floor(double(GetTableHeight() - b) / GetRows() + 0.5));
    StoreFrameSize(m_nCellX + b, m_nCellY + b);
    m_bAssembling = true;
    m_geometry = ComputeGeometry(GetFrameWidth(), GetFrameHeight());
    PrepareFrames();
}

Status RotatingStripesRenderer::SaveFitToCellGif(const SaveOptions& options) {
    PrepareFitToCell();
    return WriteAnimatedGif(options);
}

QSize RotatingStripesRenderer::OutputSize() const {
    return m_bAssembling ? QSize(GetTableWidth(), GetTableHeight())
                         : AnimationRenderer::OutputSize();
}

void RotatingStripesRenderer::DrawPinwheel(int offset, QImage* cell) const {
    cell->fill(qRgb(0, 0, 0));
    const Geometry& g = m_geometry;
    int x = g.radius + 1, y = 0;
    for (int k = 0; k < offset; ++k)
        RimStep(&x, &y, g.stepLength);
    int drawn = 0;
    double accumulator = 0.0;
    for (int j = 0; drawn < g.revolution + 5; ++j) {
        StripeExtras extras = g.extras;
        if (g.spread > 0.00001 && accumulator - j < 1) {
            extras.closing = 1;
            accumulator += g.spread;
        }
        for (const StripeBand& band : StripeCycle(m_stripes, extras)) {
            drawn += std::max(band.count, 0);
            for (int r = 1; r <= band.count; ++r) {
                const COLORREF c =
                    band.gradient ? GradientColor(band.from, band.to, band.count, r) : band.from;
                RimStep(&x, &y, g.stepLength);
                // A ray two pixels wide; its round ends lie at the centre,
                // under the other rays, and beyond the frame.
                DrawWideLine(cell, g.centerX, g.centerY, g.centerX + x, g.centerY + y, ToRgb(c));
            }
        }
    }
}

void RotatingStripesRenderer::DrawFrame(int index, QImage* frame) const {
    const int offset = index * m_nStep;
    if (!m_bAssembling) {
        DrawPinwheel(offset, frame);
        return;
    }
    QImage cell(GetFrameWidth(), GetFrameHeight(), QImage::Format_RGB32);
    DrawPinwheel(offset, &cell);
    // Parts of the table no copy reaches stay black.
    frame->fill(qRgb(0, 0, 0));
    AssembleTable(cell, frame);
}

void RotatingStripesRenderer::AssembleTable(const QImage& cell, QImage* table) const {
    const int b = GetBorder(), h = b / 2;
    const int cx = m_nCellX, cy = m_nCellY;
    const int C = GetColumns(), Rw = GetRows();
    QPainter p(table);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    auto copy = [&](int dx, int dy, int w, int hh, int sx, int sy) {
        p.drawImage(QPoint(dx, dy), cell, QRect(sx, sy, w, hh));
    };
    copy(0, 0, cx + b, cy + b, 0, 0);
    if (C > 1 && Rw > 1) {
        copy(h + cx * (C - 1), 0, cx + h, cy + b, h, 0);
        copy(0, h + cy * (Rw - 1), cx + b, cy + h, 0, h);
        copy(h + cx * (C - 1), h + cy * (Rw - 1), cx + h, cy + h, h, h);
        for (int k = 1; k <= C - 2; ++k) {
            copy(h + k * cx, 0, cx + 1, h + cy + 1, h, 0);
            copy(h + k * cx + 1, h + cy * (Rw - 1), cx, h + cy, h, h);
        }
        for (int r = 1; r <= Rw - 2; ++r) {
            copy(0, h + r * cy, cx + h, cy + 1, 0, h);
            copy(h + cx * (C - 1), h + r * cy, cx + h, cy + 1, h, h);
            for (int k = 1; k <= C - 2; ++k)
                copy(h + k * cx, h + r * cy + 1, cx + 1, cy, h, h);
        }
    } else if (Rw == 1 && C > 1) {
        copy(h + cx * (C - 1), 0, cx + h, cy + b, h, 0);
        for (int k = 1; k <= C - 2; ++k)
            copy(h + k * cx, 0, cx + 1, cy + b, h, 0);
    } else if (Rw > 1 && C == 1) {
        copy(0, h + cy * (Rw - 1), cx + b, h + cy, 0, h);
        for (int r = 1; r <= Rw - 2; ++r)
            copy(0, h + r * cy, cx + b, cy + 1, 0, h);
    }
}
