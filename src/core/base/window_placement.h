// Which saved window placement is taken back at start-up. Settings can hold
// anything (a hand edit, a screen since removed), and a window the user
// cannot reach or that costs gigabytes to draw is worse than the default.
#pragma once

#include <QList>
#include <QRect>

// The rectangle to use for a window saved as left, top, right, bottom on
// screens whose available areas are `screens`. Its size is first clamped to
// the screen it is mostly on; then it is taken when its title bar (its top
// 30 pixels) lies on a screen for at least 100 pixels (or its whole width)
// and at least half of the window is visible. Anything else gives
// `fallback`.
QRect AcceptedWindowPlacement(qint64 left, qint64 top, qint64 right, qint64 bottom,
                              const QList<QRect>& screens, const QRect& fallback);
