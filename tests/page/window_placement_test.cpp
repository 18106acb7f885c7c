// Saved window placements: only one the user can reach and see is taken
// back; its size never exceeds its screen.
#include "core/base/window_placement.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowPlacement, OnlyReachableVisiblePlacementsAreTaken) {
    const QList<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    const QRect fallback(100, 100, 800, 600);
    struct Case {
        qint64 left, top, right, bottom;
        QRect expected;
    };
    const Case cases[] = {
        // Ordinary, and across two screens.
        {50, 60, 850, 660, QRect(50, 60, 800, 600)},
        {1500, 100, 2300, 700, QRect(1500, 100, 800, 600)},
        // Only the title bar's last pixel on the screen: 10% and 4% visible.
        {-799, 100, 1, 700, fallback},
        {-1000, -570, 1, 30, fallback},
        {-1994, -2215, -1994 + 32767, -2215 + 32767, fallback},
        // The title bar above every screen, though the window shows.
        {300, -20, 1100, 580, fallback},
        // Far too large: clamped to the screen it is on.
        {0, 0, 100000, 100000, QRect(0, 0, 1920, 1040)},
        // Nothing sensible at all.
        {500, 500, 400, 400, fallback},
        {qint64(1) << 40, 0, (qint64(1) << 40) + 800, 600, fallback},
        {5000, 5000, 5800, 5600, fallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.left << "," << c.top << "," << c.right << "," << c.bottom);
        EXPECT_EQ(AcceptedWindowPlacement(c.left, c.top, c.right, c.bottom, screens, fallback),
                  c.expected);
    }
    EXPECT_EQ(AcceptedWindowPlacement(50, 60, 850, 660, {}, fallback), fallback);
}

} // namespace
