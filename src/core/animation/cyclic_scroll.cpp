#include "core/animation/cyclic_scroll.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Degrees to radians as the scroll directions are defined (pi as 3.14159):
// at 45 degrees the cosine then just exceeds the sine, which decides which
// axis a diagonal loop is fitted to.
constexpr double kRadians = 0.01745327777777778;

std::int64_t Mod(std::int64_t a, std::int64_t m) {
    const std::int64_t r = a % m;
    return r < 0 ? r + m : r;
}

} // namespace

ScrollAxis ScrollAxis::Exact(std::int64_t num, std::int64_t den) {
    ScrollAxis axis;
    axis.m_nNum = num;
    axis.m_nDen = std::max<std::int64_t>(den, 1);
    axis.m_dStep = double(num) / double(axis.m_nDen);
    return axis;
}

ScrollAxis ScrollAxis::Approximate(double step) {
    ScrollAxis axis;
    axis.m_dStep = step;
    return axis;
}

double ScrollAxis::Step() const {
    return m_dStep;
}

std::int64_t ScrollAxis::Travel(std::int64_t k) const {
    if (m_nDen == 0)
        return std::int64_t(double(k) * m_dStep);
    // k x num / den without the rounding of a double step, so that the last
    // frame of a fitted loop lands exactly on a whole picture size.
    const std::int64_t whole = m_nNum / m_nDen, rest = m_nNum % m_nDen;
    std::int64_t part = 0;
    if (rest != 0 && k > INT64_MAX / rest)
        part = std::int64_t((long double)k * rest / m_nDen);
    else
        part = k * rest / m_nDen;
    return k * whole + part;
}

QPoint CyclicScroll::Offset(std::int64_t k) const {
    const std::int64_t X = Mod(x.Travel(k), width), Y = Mod(y.Travel(k), height);
    std::int64_t u = 0, v = 0;
    switch (motion) {
    case ScrollMotion::RightUp:
        u = X, v = height - Y;
        break;
    case ScrollMotion::LeftUp:
        u = width - X, v = height - Y;
        break;
    case ScrollMotion::LeftDown:
        u = width - X, v = Y;
        break;
    case ScrollMotion::RightDown:
        u = X, v = Y;
        break;
    case ScrollMotion::Right:
        u = X;
        break;
    case ScrollMotion::Up:
        v = height - Y;
        break;
    case ScrollMotion::Left:
        u = width - X;
        break;
    case ScrollMotion::Down:
        v = Y;
        break;
    }
    // A shift by a whole size is no shift.
    return QPoint(int(u % width), int(v % height));
}

int WrapScrollAngle(int angle) {
    if (angle > 360)
        return (angle - 361) % 360 + 1;
    return std::max(angle, 0);
}

CyclicScroll PlanCyclicScroll(int angle, int speed, int width, int height) {
    CyclicScroll plan;
    const std::int64_t W = std::max(width, 1), H = std::max(height, 1);
    plan.width = int(W);
    plan.height = int(H);
    const int a = WrapScrollAngle(angle);
    plan.angle = a;
    plan.quadrant = a / 90;
    plan.acute = a % 90;
    if (plan.quadrant == 1 || plan.quadrant == 3)
        plan.acute = 90 - plan.acute;
    const std::int64_t s = std::max<std::int64_t>(
        std::min<std::int64_t>(std::max(speed, 1) / 10, std::min(W, H) / 4) + 1, 1);
    plan.step = int(s);

    auto pure = [&](ScrollMotion motion, bool horizontal) {
        plan.motion = motion;
        plan.x = ScrollAxis::Exact(horizontal ? s : 0, 1);
        plan.y = ScrollAxis::Exact(horizontal ? 0 : s, 1);
        plan.frames = (horizontal ? W : H) / s;
        if ((horizontal ? W : H) % s == 0)
            plan.fit = horizontal ? CyclicScroll::Fit::X : CyclicScroll::Fit::Y;
    };
    if (a < 5 || a > 355) {
        pure(ScrollMotion::Right, true);
    } else if (a > 85 && a < 95) {
        pure(ScrollMotion::Up, false);
    } else if (a > 175 && a < 185) {
        pure(ScrollMotion::Left, true);
    } else if (a > 265 && a < 275) {
        pure(ScrollMotion::Down, false);
    } else {
        plan.motion = ScrollMotion(plan.quadrant);
        const double r = plan.acute;
        const double C = r * std::cos(r * kRadians), S = r * std::sin(r * kRadians);
        const double step = double(s);
        // The loop is fitted to the axis that needs more frames to cross
        // the picture: that axis covers n whole sizes in F frames.
        auto fitY = [&](double dx, double dy, bool exactX) {
            plan.frames = std::int64_t(double(W) / dx);
            const std::int64_t F = std::max<std::int64_t>(plan.frames, 1);
            const std::int64_t n =
                std::max<std::int64_t>(1, std::int64_t(double(F) * dy / double(H)));
            plan.x = exactX ? ScrollAxis::Exact(s, 1) : ScrollAxis::Approximate(dx);
            plan.y = ScrollAxis::Exact(n * H, F);
            plan.fit = CyclicScroll::Fit::Y;
        };
        if (C - S > 0) {
            // Mostly horizontal.
            const double dy = S * step / C;
            if (dy == 0) {
                pure(plan.motion, true);
                plan.motion = ScrollMotion(plan.quadrant);
            } else if (double(H) / dy >= double(W) / step) {
                plan.frames = std::int64_t(double(H) / dy);
                const std::int64_t F = std::max<std::int64_t>(plan.frames, 1);
                const std::int64_t n =
                    std::max<std::int64_t>(1, std::int64_t(double(F) * step / double(W)));
                plan.x = ScrollAxis::Exact(n * W, F);
                plan.y = ScrollAxis::Approximate(dy);
                plan.fit = CyclicScroll::Fit::X;
            } else {
                fitY(step, dy, true);
            }
        } else {
            // Mostly vertical.
            const double dx = C * step / S;
            if (dx == 0) {
                pure(plan.motion, false);
                plan.motion = ScrollMotion(plan.quadrant);
            } else if (double(H) / step >= double(W) / dx) {
                plan.frames = std::int64_t(double(H) / step);
                const std::int64_t F = std::max<std::int64_t>(plan.frames, 1);
                // Not raised to one: a steep angle on a tall picture may
                // lose its sideways motion altogether.
                const std::int64_t n = std::int64_t(double(F) * dx / double(W));
                plan.x = ScrollAxis::Exact(n * W, F);
                plan.y = ScrollAxis::Exact(s, 1);
                plan.fit = CyclicScroll::Fit::X;
            } else {
                fitY(dx, step, false);
            }
        }
    }
    plan.frames = std::max<std::int64_t>(plan.frames, 1);
    return plan;
}

void DrawCyclicShift(const QImage& still, int u, int v, QImage* frame) {
    const int sw = still.width(), sh = still.height();
    const int W = frame->width(), H = frame->height();
    if (sw <= 0 || sh <= 0 || W <= 0 || H <= 0)
        return;
    // Frame pixel (x, y) shows still pixel ((x - u) mod sw, (y - v) mod sh):
    // each row is copied in runs that wrap at the still's right edge.
    const int x0 = int(Mod(-std::int64_t(u), sw));
    for (int y = 0; y < H; ++y) {
        const int sy = int(Mod(std::int64_t(y) - v, sh));
        const auto* src = reinterpret_cast<const QRgb*>(still.constScanLine(sy));
        auto* dst = reinterpret_cast<QRgb*>(frame->scanLine(y));
        int x = 0, sx = x0;
        while (x < W) {
            const int n = std::min(W - x, sw - sx);
            std::memcpy(dst + x, src + sx, std::size_t(n) * sizeof(QRgb));
            x += n;
            sx = 0;
        }
    }
}

QString CyclicScroll::CutNote(int savedFrames) const {
    return QCoreApplication::translate("CyclicScroll",
                                       "The animation was cut from %1 to %2 frames, the most a "
                                       "save writes, so it does not loop seamlessly.")
        .arg(frames)
        .arg(savedFrames);
}
