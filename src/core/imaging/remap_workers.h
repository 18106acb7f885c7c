// The middle stage of a save, on several threads: each worker takes the next
// frame (kept by the sampler, or drawn now), maps it to its palette, cuts it
// by the cell mask, keeps only what changed since the frame before, and
// compresses it for the ordered writer.
#pragma once

#include "core/imaging/encode_control.h"
#include "core/imaging/frame_encoder.h"
#include "core/imaging/ordered_writer.h"
#include "core/imaging/palette_plan.h"

#include <QImage>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class RemapWorkers {
public:
    // kept: frames the sampler kept, every frame or the sampled ones (taken
    // as they are used), or empty.
    RemapWorkers(FrameSource& source, EncodeControl& control, const EncodeOptions& options,
                 PalettePlan& plan, std::vector<QImage>& kept, OrderedWriter& writer,
                 bool interframe, int minCodeSize);
    ~RemapWorkers(); // joins
    RemapWorkers(const RemapWorkers&) = delete;
    RemapWorkers& operator=(const RemapWorkers&) = delete;

    void Start(int threads);
    void Join();

private:
    // A frame's indices, kept until the next frame has compared itself with
    // them.
    struct Shown {
        std::vector<std::uint8_t> indices;
        std::shared_ptr<const PaletteColors> palette; // null: the global one
    };
    void Work();
    // One frame from drawing to compressed data; false when the save ends.
    bool Encode(int index, QImage& frame);
    bool Draw(int index, QImage& frame);
    // With m_bPans: hands the frame on to the next and finds how frame
    // `index` moved from the one before. False when the save ends.
    bool FindMove(int index, const QImage& frame, bool candidate, std::optional<QPoint>* pan);
    // The previous frame's indices, once its worker has them; null when the
    // save ends.
    std::shared_ptr<const Shown> WaitForShown(int index);
    // Drops this thread's hold on a drawn frame.
    void LetGo(QImage& frame);
    // For each index of `before`, the index of `now` with the same colour,
    // or -1.
    void TranslateIndices(const PaletteColors& before, const PaletteColors& now,
                          std::array<int, 256>* translate) const;

    // The scroll still's indices, mapped by the first frame that needs
    // them; false when memory ran out.
    bool StillIndices();
    void MapStill();
    void ShiftStill(const QPoint& shift, IndexedImage* indexed) const;

    FrameSource& m_source;
    EncodeControl& m_control;
    const EncodeOptions& m_options;
    PalettePlan& m_plan;
    std::vector<QImage>& m_kept;
    OrderedWriter& m_writer;
    const bool m_bInterframe;
    const int m_nMinCodeSize;
    const bool m_bMasked;
    const QSize m_size;
    const QString m_frameWhat; // "a W x H frame", made before memory may run short
    std::vector<std::thread> m_threads;
    QImage m_still; // null unless frames are shifts of it
    // Frames are compared with the frame before for a pan (see
    // frame_motion.h); the frames' indices are then kept for the next frame
    // whether or not it stores only what changed.
    bool m_bPans = false;
    std::once_flag m_stillOnce;
    std::vector<std::uint8_t> m_stillIndices;
    bool m_bStillMapped = false;
    // Under the control's lock:
    std::map<int, std::shared_ptr<const Shown>> m_shown;
    // Each frame as drawn until the next frame has looked for a pan in it
    // (null for a frame that cannot be the start of one).
    std::map<int, QImage> m_drawn;
    int m_nNextDraw = 0; // sequential sources draw in order
};
