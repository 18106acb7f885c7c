#include "core/imaging/ordered_writer.h"

OrderedWriter::OrderedWriter(GifWriter& writer, EncodeControl& control, int frameCount, int window)
    : m_writer(writer), m_control(control), m_nCount(frameCount), m_nWindow(std::max(window, 1)) {}

int OrderedWriter::Claim() {
    auto lock = m_control.Lock();
    if (!m_control.Wait(lock, [&] {
            return m_nNextToClaim >= m_nCount || m_nNextToClaim < m_nWritten + m_nWindow;
        }))
        return -1;
    return m_nNextToClaim < m_nCount ? m_nNextToClaim++ : -1;
}

void OrderedWriter::Put(int index, EncodedFrame frame) {
    {
        auto lock = m_control.Lock();
        m_ready.emplace(index, std::move(frame));
    }
    m_control.WakeAll();
}

int OrderedWriter::Written() const {
    auto lock = m_control.Lock();
    return m_nWritten;
}

void OrderedWriter::Run() {
    for (int next = 0; next < m_nCount; ++next) {
        EncodedFrame frame;
        {
            auto lock = m_control.Lock();
            if (!m_control.Wait(lock, [&] { return m_ready.count(next) > 0; }))
                return;
            frame = std::move(m_ready.extract(next).mapped());
        }
        {
            EncodeControl::Timer timer(m_control, EncodeControl::Stage::Write);
            if (Status s = m_writer.WriteFrame(frame.image, &frame.lzw); !s) {
                m_control.Fail(s);
                return;
            }
        }
        {
            auto lock = m_control.Lock();
            m_nWritten = next + 1;
        }
        m_control.WakeAll();
        m_control.Step();
    }
}
