// Two saves of one animation written at the same time (the GIF and the WebP
// beside it) drawing each frame once between them: a frame one side draws is
// kept until the other has taken it.
#pragma once

#include "core/base/status.h"
#include "core/imaging/frame_encoder.h"

#include <QImage>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

class FrameShare {
public:
    // Sides 0 and 1 ask for frames 0 .. frameCount - 1, each at least once
    // (sides asking for only some frames would leave the others' frames held
    // until they Leave). At most `capacity` frames are held; below 2 nothing
    // is shared.
    FrameShare(int frameCount, int capacity);

    // Frame `index` for `side`: the other side's drawing when it has drawn
    // it or is drawing it, else draw(frame), kept for the other side when it
    // has not had the frame yet. A side that has drawn as far ahead as the
    // held frames allow waits for the other to take them, so that both go
    // at the pace of the slower rather than drawing everything twice.
    // Called from any number of each side's threads.
    Status Take(int side, int index, QImage* frame, const std::function<Status(QImage*)>& draw);

    // `side` asks for no more frames (done or failed): what was held for it
    // goes, and the other side stops waiting for it.
    void Leave(int side);

    // How many frames were drawn, and how many of them only once.
    int Drawn() const;
    int Shared() const;

private:
    struct Held {
        QImage image;
        bool ready = false; // false: being drawn
        int awaitedBy = 0;  // the side that has not taken it yet
    };

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<int, Held> m_held;
    std::vector<std::uint8_t> m_done[2];
    bool m_left[2] = {false, false};
    int m_nCapacity;
    int m_nDrawn = 0;
    int m_nShared = 0;
};

// A side's view of a source through a FrameShare; everything but drawing is
// the source's own.
class SharedFrameSource : public FrameSource {
public:
    SharedFrameSource(FrameSource* source, FrameShare* share, int side)
        : m_pSource(source), m_pShare(share), m_side(side) {}
    int FrameCount() const override { return m_pSource->FrameCount(); }
    QSize FrameSize() const override { return m_pSource->FrameSize(); }
    bool IsRandomAccess() const override { return m_pSource->IsRandomAccess(); }
    void Restart() override { m_pSource->Restart(); }
    int FrameDelay(int index) const override { return m_pSource->FrameDelay(index); }
    QImage ScrollStill() const override { return m_pSource->ScrollStill(); }
    QPoint ScrollShift(int index) const override { return m_pSource->ScrollShift(index); }
    bool MayPan() const override { return m_pSource->MayPan(); }
    Status DrawFrame(int index, QImage* frame) override;

private:
    FrameSource* m_pSource;
    FrameShare* m_pShare;
    int m_side;
};
