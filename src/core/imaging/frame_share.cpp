#include "core/imaging/frame_share.h"

#include <algorithm>

FrameShare::FrameShare(int frameCount, int capacity) : m_nCapacity(capacity) {
    for (auto& done : m_done)
        done.assign(std::size_t(std::max(frameCount, 0)), 0);
}

Status FrameShare::Take(int side, int index, QImage* frame,
                        const std::function<Status(QImage*)>& draw) {
    const int other = 1 - side;
    const std::size_t slot = std::size_t(index);
    bool keep = false;
    {
        std::unique_lock lock(m_mutex);
        if (m_nCapacity < 2 || index < 0 || slot >= m_done[side].size()) {
            ++m_nDrawn;
        } else {
            for (;;) {
                auto held = m_held.find(index);
                if (held != m_held.end()) {
                    if (!held->second.ready) {
                        m_changed.wait(lock);
                        continue;
                    }
                    // A shallow copy: whichever side writes to its pixels
                    // detaches from the other's.
                    *frame = held->second.image;
                    m_done[side][slot] = 1;
                    if (held->second.awaitedBy == side) {
                        m_held.erase(held);
                        ++m_nShared;
                        m_changed.notify_all();
                    }
                    return Status::Ok();
                }
                if (m_left[other] || m_done[other][slot])
                    break;
                if (int(m_held.size()) < m_nCapacity) {
                    m_held[index].awaitedBy = other;
                    keep = true;
                    break;
                }
                // Full. Frames held for the other side are taken as it goes
                // on, so wait for them; frames held for this side mean the
                // other is ahead here, and waiting could be for ourselves.
                const bool allForOther =
                    std::all_of(m_held.begin(), m_held.end(),
                                [other](const auto& h) { return h.second.awaitedBy == other; });
                if (!allForOther)
                    break;
                m_changed.wait(lock);
            }
            m_done[side][slot] = 1;
            ++m_nDrawn;
        }
    }
    if (!keep)
        return draw(frame);

    // However the drawing ends, the frame stops being "being drawn".
    struct Settle {
        FrameShare* share;
        int index;
        const QImage* image = nullptr; // set: drawn
        int side;
        ~Settle() {
            std::lock_guard lock(share->m_mutex);
            auto held = share->m_held.find(index);
            if (image && held != share->m_held.end() && !share->m_left[1 - side]) {
                held->second.image = *image;
                held->second.ready = true;
                held = share->m_held.end();
            }
            if (held != share->m_held.end())
                share->m_held.erase(held);
            share->m_changed.notify_all();
        }
    } settle{this, index, nullptr, side};
    Status s = draw(frame);
    if (s && !frame->isNull())
        settle.image = frame;
    return s;
}

void FrameShare::Leave(int side) {
    std::lock_guard lock(m_mutex);
    m_left[side] = true;
    for (auto held = m_held.begin(); held != m_held.end();)
        held = held->second.awaitedBy == side && held->second.ready ? m_held.erase(held) : ++held;
    m_changed.notify_all();
}

int FrameShare::Drawn() const {
    std::lock_guard lock(m_mutex);
    return m_nDrawn;
}

int FrameShare::Shared() const {
    std::lock_guard lock(m_mutex);
    return m_nShared;
}

Status SharedFrameSource::DrawFrame(int index, QImage* frame) {
    // A source drawn in order keeps state from frame to frame: a frame the
    // other side drew would leave this side's drawing behind.
    if (!m_pSource->IsRandomAccess())
        return m_pSource->DrawFrame(index, frame);
    return m_pShare->Take(m_side, index, frame,
                          [this, index](QImage* f) { return m_pSource->DrawFrame(index, f); });
}
