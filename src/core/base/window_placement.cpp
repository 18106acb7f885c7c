#include "core/base/window_placement.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kTitleBarHeight = 30;
constexpr int kMinimumSide = 100;
// Enough of the title bar to take hold of and drag.
constexpr qint64 kGripWidth = 100;

qint64 Area(const QRect& r) {
    return r.isEmpty() ? 0 : qint64(r.width()) * r.height();
}

} // namespace

QRect AcceptedWindowPlacement(qint64 left, qint64 top, qint64 right, qint64 bottom,
                              const QList<QRect>& screens, const QRect& fallback) {
    // 64-bit first: a hand-edited setting can hold anything.
    constexpr qint64 kFar = 1'000'000;
    const qint64 width = right - left, height = bottom - top;
    if (width < kMinimumSide || height < kMinimumSide || std::abs(left) > kFar ||
        std::abs(top) > kFar || width > kFar || height > kFar)
        return fallback;
    QRect placement{int(left), int(top), int(width), int(height)};

    // The screen the window is mostly on bounds its size.
    const QRect* home = nullptr;
    qint64 best = 0;
    for (const QRect& screen : screens) {
        const qint64 shared = Area(screen.intersected(placement));
        if (shared > best) {
            best = shared;
            home = &screen;
        }
    }
    if (!home)
        return fallback;
    placement.setWidth(std::min(placement.width(), home->width()));
    placement.setHeight(std::min(placement.height(), home->height()));

    qint64 visible = 0, grip = 0;
    const QRect titleBar(placement.left(), placement.top(), placement.width(), kTitleBarHeight);
    for (const QRect& screen : screens) {
        visible += Area(screen.intersected(placement));
        const QRect onScreen = screen.intersected(titleBar);
        if (onScreen.height() >= kTitleBarHeight / 2)
            grip = std::max<qint64>(grip, onScreen.width());
    }
    if (grip < std::min<qint64>(kGripWidth, placement.width()) || 2 * visible < Area(placement))
        return fallback;
    return placement;
}
