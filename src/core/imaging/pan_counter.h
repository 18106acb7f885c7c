// Counts the colours of a panned picture (see frame_motion.h) by what comes
// into and goes out of view: a frame that shows the frame before moved adds
// only its new strips, so a pan of a few pixels a frame costs a few rows and
// columns instead of the whole frame. The counts are those of counting every
// frame whole.
#pragma once

#include "core/imaging/color_histogram.h"
#include "core/imaging/color_table.h"

#include <QImage>
#include <cstdint>
#include <vector>

class PanCounter {
public:
    explicit PanCounter(ColorHistogram& histogram) : m_histogram(histogram) {}

    // The frames one after another; `follows`: the frame comes right after
    // the one added before (else it starts afresh). Counts reach the
    // histogram when a run of panned frames ends: at a frame that did not
    // pan, and at Finish(). False when memory ran out.
    bool Add(const QImage& frame, bool follows = true);
    bool Finish();

private:
    // Signed changes of count by colour, for the pixels that came into or
    // went out of view during the run.
    class Deltas {
    public:
        void Add(std::uint32_t color, std::int64_t delta);
        template <typename Apply> void ForEach(Apply apply) const {
            for (std::size_t i = 0; i < m_keys.size(); ++i)
                if (m_keys[i] != kEmpty && m_deltas[i] != 0)
                    apply(m_keys[i], m_deltas[i]);
        }
        void Clear();

    private:
        static constexpr std::uint32_t kEmpty = color_table::kEmpty;
        std::vector<std::uint32_t> m_keys;
        std::vector<std::int64_t> m_deltas;
        std::size_t m_nUsed = 0;
    };

    ColorHistogram& m_histogram;
    QImage m_before;   // the run's last frame
    int m_nRun = 0;    // frames in the run
    int m_nMisses = 0; // frames in a row that did not pan
    Deltas m_deltas;
};
