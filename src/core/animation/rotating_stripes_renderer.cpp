#include "core/animation/rotating_stripes_renderer.h"

#include "core/base/limits.h"
#include "core/cellmask/mask_painters.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

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

int RotatingStripesRenderer::StepsForATurn(int x, int y, double v, int limit) {
    double turned = 0, previous = AngleOf(x, y);
    int steps = 0;
    while (turned < 360 && steps < limit) {
        RimStep(&x, &y, v);
        ++steps;
        const double angle = AngleOf(x, y);
        double delta = angle - previous;
        if (delta < -180)
            delta += 360;
        else if (delta > 180)
            delta -= 360;
        turned += delta;
        previous = angle;
    }
    return steps;
}

RotatingStripesRenderer::Geometry RotatingStripesRenderer::ComputeGeometry(int W, int H) const {
    Geometry g;
    g.centerX = W / 2;
    g.centerY = H / 2;
    g.radius = 2 + int(std::sqrt(double(W) * W + double(H) * H) / 2);
    g.stepLength = g.radius * std::tan(std::asin(1.0 / g.radius) * 57.295827908797776 * kRadians);
    g.revolution = RevolutionCount(g.radius, g.stepLength);
    g.cycle = StripeCycleLength(m_stripes);
    if (g.cycle > g.revolution) {
        // A cycle longer than a turn: one cycle per turn, of which the
        // pinwheel shows the first turn's worth, and the period is the turn
        // itself.
        g.cyclesPerTurn = 1;
        g.remainder = 0;
        g.period = g.revolution + 1;
    } else {
        g.cyclesPerTurn = int(g.revolution / g.cycle);
        g.remainder = int(g.revolution % g.cycle);
        g.period = int(g.cycle) + g.remainder / g.cyclesPerTurn + 1;
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
    // A frame the write refuses gets no geometry: its walk round a rim
    // beyond any GIF would only take time.
    m_geometry = FrameFits() ? ComputeGeometry(GetFrameWidth(), GetFrameHeight()) : Geometry{};
    m_nStep = std::max(m_nSpeed / 8, 1);
    if (m_nStep > m_geometry.period / 3)
        m_nStep = std::max(m_geometry.period / 3, 1);
    m_nDelay = 100 / (m_nSpeed / m_nStep);
    SetFrameCount(m_geometry.period / m_nStep, &m_nFrames);
}

bool RotatingStripesRenderer::FrameFits() const {
    const QSize out = OutputSize();
    return !m_bCellsTooSmall && out.width() <= kMaxGifSide && out.height() <= kMaxGifSide &&
           GetFrameWidth() <= kMaxGifSide && GetFrameHeight() <= kMaxGifSide;
}

void RotatingStripesRenderer::PrepareSave() {
    if (m_bFitToCell) {
        PrepareFitToCell();
        return;
    }
    m_bAssembling = false;
    m_bCellsTooSmall = false;
    PrepareFrames();
}

void RotatingStripesRenderer::PrepareFitToCell() {
    // 64-bit: the border may be the largest int, which has no even int above.
    std::int64_t b = GetBorder();
    m_nGivenBorder = b;
    if (b % 2 != 0 && ++b <= INT_MAX)
        StoreBorder(int(b));
    const double cx = std::floor(double(GetTableWidth() - b) / GetColumns() + 0.5);
    const double cy = std::floor(double(GetTableHeight() - b) / GetRows() + 0.5);
    m_bAssembling = true;
    // Cells below a pixel (more columns or rows than the table has pixels
    // to give, or a border that takes them all) cannot be drawn; the frame
    // size is left as it was and the write says why.
    m_bCellsTooSmall = cx < 1 || cy < 1;
    if (!m_bCellsTooSmall) {
        // Each at most the table's size plus one, so they fit an int.
        m_nCellX = int(cx);
        m_nCellY = int(cy);
        StoreFrameSize(int(m_nCellX + b), int(m_nCellY + b));
    }
    PrepareFrames();
}

Status RotatingStripesRenderer::CheckPreparedSave() const {
    if (m_bAssembling && m_bCellsTooSmall)
        return Status::Error(
            QStringLiteral(
                "The table's cells are too small for Fit to Cell: %1 columns and %2 rows "
                "with a border of %3 leave less than a pixel for each cell of a %4 x %5 "
                "table.")
                .arg(GetColumns())
                .arg(GetRows())
                .arg(m_nGivenBorder)
                .arg(GetTableWidth())
                .arg(GetTableHeight()));
    // Every frame copies the cell once per cell of the table, so the work
    // grows with the cells, as a cell pattern's does, and has its bound.
    if (m_bAssembling &&
        std::int64_t(GetRows()) * std::int64_t(GetColumns()) > kMaxCellPatternCells)
        return Status::Error(QStringLiteral("Fit to Cell assembles at most %1 cells (500 x 500); "
                                            "the table has %2 rows and %3 columns.")
                                 .arg(kMaxCellPatternCells)
                                 .arg(GetRows())
                                 .arg(GetColumns()));
    if (Status s = AnimationRenderer::CheckPreparedSave(); !s)
        return s;
    // The cell a Fit to Cell frame is assembled from is drawn as well.
    if (m_bAssembling)
        return CheckFrameSize(QSize(GetFrameWidth(), GetFrameHeight()));
    return Status::Ok();
}

QSize RotatingStripesRenderer::OutputSize() const {
    return m_bAssembling ? QSize(GetTableWidth(), GetTableHeight())
                         : AnimationRenderer::OutputSize();
}

void RotatingStripesRenderer::DrawPinwheel(int offset, QImage* cell) const {
    cell->fill(qRgb(0, 0, 0));
    const Geometry& g = m_geometry;
    if (g.revolution <= 0)
        return;
    int x = g.radius + 1, y = 0;
    for (int k = 0; k < offset; ++k)
        RimStep(&x, &y, g.stepLength);
    // A cycle longer than a turn is drawn only as far as one turn from where
    // this frame starts (and the little overlap) reaches: later rays would
    // cover earlier ones again and again. The rim drifts outwards a little
    // with every turn, so the turn is measured, not taken as T steps.
    // Otherwise whole cycles are drawn until T + 5 rays are.
    const bool partialCycle = g.cycle > g.revolution;
    const std::int64_t reach =
        partialCycle ? StepsForATurn(x, y, g.stepLength, 4 * g.revolution) + 5 : g.revolution + 5;
    std::int64_t drawn = 0, rays = 0;
    double accumulator = 0.0;
    for (int j = 0; drawn < reach; ++j) {
        StripeExtras extras = g.extras;
        if (g.spread > 0.00001 && accumulator - j < 1) {
            extras.closing = 1;
            accumulator += g.spread;
        }
        for (const StripeBand& band : StripeCycle(m_stripes, extras)) {
            drawn += std::max<std::int64_t>(band.count, 0);
            for (std::int64_t r = 1; r <= band.count; ++r, ++rays) {
                if (partialCycle && rays >= reach)
                    return;
                // Big pinwheels stop early when the save is cancelled.
                if (rays % 256 == 0 && CancelRequested())
                    return;
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
    if (cell.isNull())
        throw std::bad_alloc();
    DrawPinwheel(offset, &cell);
    // Parts of the table no copy reaches stay black.
    frame->fill(qRgb(0, 0, 0));
    AssembleTable(cell, frame);
}

void RotatingStripesRenderer::AssembleTable(const QImage& cell, QImage* table) const {
    const std::int64_t b = GetBorder(), h = b / 2;
    const std::int64_t cx = m_nCellX, cy = m_nCellY;
    const std::int64_t C = GetColumns(), Rw = GetRows();
    const std::int64_t tableW = table->width(), tableH = table->height();
    // Copies as a painter makes them, clipped to both images; the later ones
    // cover the earlier ones where they overlap.
    auto copy = [&](std::int64_t dx, std::int64_t dy, std::int64_t w, std::int64_t hh,
                    std::int64_t sx, std::int64_t sy) {
        std::int64_t x0 = std::max<std::int64_t>({0, sx, sx - dx});
        std::int64_t y0 = std::max<std::int64_t>({0, sy, sy - dy});
        const std::int64_t x1 = std::min({sx + w, std::int64_t(cell.width()), sx - dx + tableW});
        const std::int64_t y1 = std::min({sy + hh, std::int64_t(cell.height()), sy - dy + tableH});
        if (x0 >= x1 || y0 >= y1)
            return;
        const std::size_t bytes = std::size_t(x1 - x0) * sizeof(QRgb);
        for (std::int64_t y = y0; y < y1; ++y)
            std::memcpy(table->scanLine(int(y - sy + dy)) + (x0 - sx + dx) * sizeof(QRgb),
                        cell.constScanLine(int(y)) + x0 * sizeof(QRgb), bytes);
    };
    // The copies along a row or a column of cells start at h + k cx (or
    // h + r cy); those from where they would start beyond the table on
    // cannot show, however many columns or rows the table has.
    auto lastShown = [](std::int64_t count, std::int64_t pitch, std::int64_t room) {
        return std::min(count, room / pitch + 1);
    };
    const std::int64_t lastK = lastShown(C - 2, cx, tableW - h);
    const std::int64_t lastR = lastShown(Rw - 2, cy, tableH - h);
    copy(0, 0, cx + b, cy + b, 0, 0);
    if (C > 1 && Rw > 1) {
        copy(h + cx * (C - 1), 0, cx + h, cy + b, h, 0);
        copy(0, h + cy * (Rw - 1), cx + b, cy + h, 0, h);
        copy(h + cx * (C - 1), h + cy * (Rw - 1), cx + h, cy + h, h, h);
        for (std::int64_t k = 1; k <= lastK; ++k) {
            copy(h + k * cx, 0, cx + 1, h + cy + 1, h, 0);
            copy(h + k * cx + 1, h + cy * (Rw - 1), cx, h + cy, h, h);
        }
        for (std::int64_t r = 1; r <= lastR; ++r) {
            copy(0, h + r * cy, cx + h, cy + 1, 0, h);
            copy(h + cx * (C - 1), h + r * cy, cx + h, cy + 1, h, h);
            for (std::int64_t k = 1; k <= lastK; ++k)
                copy(h + k * cx, h + r * cy + 1, cx + 1, cy, h, h);
        }
    } else if (Rw == 1 && C > 1) {
        copy(h + cx * (C - 1), 0, cx + h, cy + b, h, 0);
        for (std::int64_t k = 1; k <= lastK; ++k)
            copy(h + k * cx, 0, cx + 1, cy + b, h, 0);
    } else if (Rw > 1 && C == 1) {
        copy(0, h + cy * (Rw - 1), cx + b, h + cy, 0, h);
        for (std::int64_t r = 1; r <= lastR; ++r)
            copy(0, h + r * cy, cx + b, cy + 1, 0, h);
    }
}
