#include "core/imaging/pan_counter.h"

#include "core/imaging/color_table.h"
#include "core/imaging/frame_motion.h"

#include <QRect>
#include <algorithm>

namespace {

// Calls area(rect) for the parts of `frame` outside `held` (up to four).
template <typename Area> void ForEachOutside(const QRect& frame, const QRect& held, Area area) {
    const QRect r = held & frame;
    if (r.isEmpty()) {
        area(frame);
        return;
    }
    const int w = frame.width(), h = frame.height();
    for (const QRect& part :
         {QRect(0, 0, w, r.top()), QRect(0, r.bottom() + 1, w, h - 1 - r.bottom()),
          QRect(0, r.top(), r.left(), r.height()),
          QRect(r.right() + 1, r.top(), w - 1 - r.right(), r.height())})
        if (!part.isEmpty())
            area(part);
}

// Calls count(colour, length) for each run of one colour in `area`.
template <typename Count> void ForEachRun(const QImage& frame, const QRect& area, Count count) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        std::uint32_t run = row[area.left()] & 0xFFFFFFu;
        std::int64_t length = 0;
        for (int x = area.left(); x <= area.right(); ++x) {
            const std::uint32_t c = row[x] & 0xFFFFFFu;
            if (c != run) {
                count(run, length);
                run = c;
                length = 0;
            }
            ++length;
        }
        count(run, length);
    }
}

// Frames in a run before it is counted: each run costs a whole frame's
// count, and holds its strips' colours until then (few at a time stay in
// cache and in memory already touched).
constexpr int kLongestRun = 8;
constexpr int kMostMisses = 2;

} // namespace

void PanCounter::Deltas::Add(std::uint32_t color, std::int64_t delta) {
    if (m_keys.empty()) {
        m_keys.assign(1024, kEmpty);
        m_deltas.assign(1024, 0);
    }
    const std::uint32_t mask = std::uint32_t(m_keys.size() - 1);
    std::uint32_t slot = color_table::HashOf(color) & mask;
    for (; m_keys[slot] != kEmpty; slot = (slot + 1) & mask) {
        if (m_keys[slot] == color) {
            m_deltas[slot] += delta;
            return;
        }
    }
    m_keys[slot] = color;
    m_deltas[slot] = delta;
    if (++m_nUsed * 2 > m_keys.size())
        color_table::Grow(m_keys, m_deltas);
}

void PanCounter::Deltas::Clear() {
    if (m_nUsed == 0)
        return;
    std::fill(m_keys.begin(), m_keys.end(), kEmpty);
    m_nUsed = 0;
}

bool PanCounter::Add(const QImage& frame, bool follows) {
    if (!follows)
        m_nMisses = 0;
    const bool rgb =
        frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32;
    // Frames that do not pan (the colours drift, the picture changes) pay
    // for the search only until two in a row have missed.
    std::optional<QPoint> pan;
    if (follows && m_nMisses < kMostMisses && m_nRun < kLongestRun && rgb &&
        m_before.format() == frame.format()) {
        pan = FindPan(m_before, frame);
        m_nMisses = pan ? 0 : m_nMisses + 1;
    }
    if (!pan) {
        if (!Finish())
            return false;
        m_before = frame;
        m_nRun = 1;
        return true;
    }
    // A pixel in view from frame j of the run up to frame k - 1 counts
    // k - j; one still in view at the end, n - j. The run's last frame is
    // counted n times when the run ends, so a pixel that comes into view at
    // frame j takes j away, and one that goes out of view at frame k
    // (missing from the last frame) gives k.
    const std::int64_t k = m_nRun;
    const QRect all = frame.rect();
    // frame(x, y) is m_before(x + dx, y + dy).
    ForEachOutside(all, all.translated(-pan->x(), -pan->y()), [&](const QRect& r) {
        ForEachRun(frame, r, [&](std::uint32_t c, std::int64_t n) { m_deltas.Add(c, -k * n); });
    });
    ForEachOutside(all, all.translated(pan->x(), pan->y()), [&](const QRect& r) {
        ForEachRun(m_before, r, [&](std::uint32_t c, std::int64_t n) { m_deltas.Add(c, k * n); });
    });
    m_before = frame;
    ++m_nRun;
    return true;
}

bool PanCounter::Finish() {
    if (m_before.isNull())
        return true;
    // The whole frames first: no count goes below what it ends at.
    if (!m_histogram.AddFrame(m_before, std::uint64_t(m_nRun)))
        return false;
    m_deltas.ForEach([&](std::uint32_t color, std::int64_t delta) {
        if (delta > 0) {
            for (auto n = std::uint64_t(delta); n > 0;) {
                const auto part = std::uint32_t(std::min<std::uint64_t>(n, 0xFFFFFFFFu));
                m_histogram.Add(color, part);
                n -= part;
            }
        } else {
            m_histogram.Remove(color, std::uint64_t(-delta));
        }
    });
    m_deltas.Clear();
    m_before = QImage();
    m_nRun = 0;
    return true;
}
