// The first stage of a save: draws the frames the palette is chosen from and
// counts their colours, in parallel for sources that draw any frame at any
// time. The frames drawn may be kept (every frame when all are sampled), so
// the remap stage does not draw them again.
#pragma once

#include "core/base/worker_threads.h"
#include "core/imaging/color_histogram.h"
#include "core/imaging/encode_control.h"
#include "core/imaging/frame_encoder.h"

#include <QImage>
#include <cstdint>
#include <functional>
#include <vector>

class PaletteSampler {
public:
    PaletteSampler(FrameSource& source, EncodeControl& control);

    // Frames evenly spread over the animation, as many as fit samplePixels
    // (at least one).
    static std::vector<int> ChooseSamples(int frameCount, QSize frameSize,
                                          std::size_t samplePixels);
    // Progress steps Run() takes: one per frame drawn.
    static int Steps(const FrameSource& source, int samples);

    // Draws the frames at `samples` (ascending) and counts their colours;
    // keeps every frame drawn when keep is set. A sequential source is drawn
    // from its first frame to its last, then restarted. Failures go to the
    // control.
    // fromStill: the source's frames are shifts of its ScrollStill(); where
    // the still tiles the frame exactly, every frame holds the still's
    // colours as many times over, so they are counted from the still alone
    // and the frames are not drawn (but frames 0 and 1).
    void Run(const std::vector<int>& samples, bool keep, int threads, bool fromStill = false);

    const ColorHistogram& Histogram() const { return m_histogram; }
    // Frame i (null unless kept); the remap stage takes them.
    std::vector<QImage>& Kept() { return m_kept; }
    // Frames 0 and 1, when they were drawn (they tell whether the picture
    // mostly stays from frame to frame).
    const QImage& First(int i) const { return m_first[i]; }
    // Once the palette is chosen they are not needed: a frame of 67 million
    // pixels held to the end of the save is 256 MB.
    void ReleaseFirst() { m_first[0] = m_first[1] = QImage(); }

    // How widely the colours spread: the 32 x 32 x 32 cells of the colour
    // cube that the sampled frames occupy together, and that one sampled
    // frame occupies on average. An animation whose frames each hold a small
    // part of its colours is one where a palette per frame pays.
    int AnimationCells() const { return m_nAnimationCells; }
    double FrameCells() const { return m_dFrameCells; }

private:
    // The colours of the sampled frames from the still; false where the
    // still does not tile the frame exactly (nothing is counted then).
    bool RunFromStill(const std::vector<int>& samples);
    // Counts one frame's colours into histogram and cells (one bit per cell);
    // false when there was no memory to convert it.
    static bool Count(const QImage& frame, ColorHistogram& histogram,
                      std::vector<std::uint64_t>& cells, std::uint64_t* frameCellCount);

    // Counts the cells only; false when there was no memory to convert.
    static bool CountCells(const QImage& frame, std::vector<std::uint64_t>& cells,
                           std::uint64_t* frameCellCount);

    FrameSource& m_source;
    EncodeControl& m_control;
    ColorHistogram m_histogram;
    std::vector<QImage> m_kept;
    QImage m_first[2];
    int m_nAnimationCells = 0;
    double m_dFrameCells = 0;
};

// The threads to use: `requested`, or one per core for 0, at most `work`.
int ThreadCount(int requested, int work);
