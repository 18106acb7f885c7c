// Two sides drawing one animation's frames through a FrameShare: each gets
// every frame as drawn, the frames are drawn once between them, a side's
// writes never reach the other, and a side that stops early never leaves
// the other waiting.
#include "core/imaging/frame_share.h"

#include <QImage>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

QRgb ColourOf(int index) {
    return qRgb(index & 255, (index >> 8) & 255, 77);
}

struct Side {
    // The order the side asks for frames in.
    std::vector<int> order;
    // How many asks the side makes before it stops (a failure): -1, all.
    int stopAfter = -1;
    // Painted over each frame once taken, as a mask cut would.
    bool scribble = false;
    std::vector<QRgb> seen;
    std::atomic<int> drawn{0};
};

void RunSides(FrameShare& share, Side (&sides)[2], int frameCount) {
    std::vector<std::thread> threads;
    for (int s = 0; s < 2; ++s) {
        threads.emplace_back([&share, &sides, s, frameCount] {
            Side& side = sides[s];
            side.seen.assign(std::size_t(frameCount), 0);
            int asked = 0;
            for (int index : side.order) {
                if (side.stopAfter >= 0 && asked++ >= side.stopAfter)
                    break;
                QImage frame;
                const Status status = share.Take(s, index, &frame, [&](QImage* f) {
                    ++side.drawn;
                    *f = QImage(8, 4, QImage::Format_RGB32);
                    f->fill(ColourOf(index));
                    // Slow enough that the other side catches frames being drawn.
                    std::this_thread::yield();
                    return Status::Ok();
                });
                ASSERT_TRUE(status.ok());
                side.seen[std::size_t(index)] = frame.pixel(3, 2);
                if (side.scribble)
                    frame.setPixel(3, 2, qRgb(1, 2, 3));
            }
            share.Leave(s);
        });
    }
    for (auto& t : threads)
        t.join();
}

std::vector<int> InOrder(int n) {
    std::vector<int> order;
    for (int i = 0; i < n; ++i)
        order.push_back(i);
    return order;
}

// As the GIF asks: a spread of samples for its palette, then every frame.
std::vector<int> SamplesThenAll(int n) {
    std::vector<int> order;
    for (int i = 0; i < n; i += 3)
        order.push_back(i);
    for (int i = 0; i < n; ++i)
        order.push_back(i);
    return order;
}

} // namespace

struct ShareCase {
    int capacity;
    bool gifSpread; // side 0 asks as the GIF does
};

class FrameShareSides : public ::testing::TestWithParam<ShareCase> {};

TEST_P(FrameShareSides, EachSideGetsEveryFrameAsDrawn) {
    constexpr int kFrames = 60;
    const ShareCase c = GetParam();
    FrameShare share(kFrames, c.capacity);
    Side sides[2];
    sides[0].order = c.gifSpread ? SamplesThenAll(kFrames) : InOrder(kFrames);
    sides[1].order = InOrder(kFrames);
    sides[0].scribble = sides[1].scribble = true;
    RunSides(share, sides, kFrames);
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i < kFrames; ++i)
            ASSERT_EQ(sides[s].seen[std::size_t(i)], ColourOf(i)) << "side " << s << " frame " << i;
    const int drawn = sides[0].drawn + sides[1].drawn;
    EXPECT_EQ(drawn, share.Drawn());
    if (c.capacity >= kFrames) {
        // Room for everything: nothing is drawn twice (the GIF's second
        // look at its samples takes the first drawing too, where held).
        EXPECT_LE(drawn, c.gifSpread ? kFrames + kFrames / 3 : kFrames);
        EXPECT_GE(share.Shared(), kFrames - (c.gifSpread ? kFrames / 3 + 1 : 0));
    } else if (c.capacity < 2) {
        EXPECT_EQ(share.Shared(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Capacities, FrameShareSides,
                         ::testing::Values(ShareCase{0, false}, ShareCase{2, false},
                                           ShareCase{2, true}, ShareCase{5, true},
                                           ShareCase{100, false}, ShareCase{100, true}));

TEST(FrameShare, ASideThatStopsEarlyLeavesTheOtherFree) {
    constexpr int kFrames = 40;
    for (int stopper = 0; stopper < 2; ++stopper) {
        FrameShare share(kFrames, 4);
        Side sides[2];
        sides[0].order = SamplesThenAll(kFrames);
        sides[1].order = InOrder(kFrames);
        sides[stopper].stopAfter = 3;
        RunSides(share, sides, kFrames); // a wait for the stopped side would hang here
        const Side& rest = sides[1 - stopper];
        for (int i = 0; i < kFrames; ++i)
            ASSERT_EQ(rest.seen[std::size_t(i)], ColourOf(i)) << i;
    }
}
