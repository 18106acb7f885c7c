// The save pipeline shared by every animation: frames from a source, one
// palette for all of them (and frames' own where that pays), remapping
// (dithered or not), the optional cell mask, and the GIF writer. Frames that do not depend on each
// other are drawn and remapped in parallel and written in order.
#pragma once

#include "core/base/status.h"
#include "core/imaging/cell_mask.h"
#include "core/imaging/gif_writer.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <cstddef>

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int FrameCount() const = 0;
    virtual QSize FrameSize() const = 0;
    // Random-access sources draw any frame at any time, from several threads
    // at once. Others are asked for frames 0, 1, 2... on one thread at a
    // time, and Restart() precedes a second run through them.
    virtual bool IsRandomAccess() const { return true; }
    virtual void Restart() {}
    // Fills *frame (FrameSize(), RGB32) with frame i.
    virtual Status DrawFrame(int index, QImage* frame) = 0;
    virtual int FrameDelay(int index) const = 0;
    // A source whose every frame is one still picture repeated across the
    // frame and shifted cyclically (frame pixel (x, y) shows still pixel
    // ((x - u) mod width, (y - v) mod height)) returns the still, RGB32, and
    // frame i's (u, v): the save then maps the still to the palette once
    // and shifts its indices instead of mapping every frame. Null: none.
    virtual QImage ScrollStill() const { return QImage(); }
    virtual QPoint ScrollShift(int) const { return QPoint(); }
    // A random-access source whose frames cost less to draw again than to
    // hold (frames read from a file): the save then keeps none of the frames
    // it drew for the palette but draws them again when it needs them, as
    // holding them all takes that much more fresh memory.
    virtual bool CheapToRedraw() const { return false; }
    // A source of pictures from outside (a camera pan, a scrolling screen)
    // whose frames may show the frame before moved by a few pixels: the save
    // then looks for the move, and such a frame takes the indices of the
    // frame before, moved, mapping only the pixels that came into view (see
    // frame_motion.h). Our own animations say how they move and are mapped
    // frame by frame.
    virtual bool MayPan() const { return false; }
};

// Receives progress; returning false cancels the save.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual bool Progress(int done, int total) = 0;
};

// global: one palette for every frame; local: each frame gets its own;
// auto: frames get their own where the animation's colours move so much that
// the global palette serves them clearly worse.
enum class PaletteMode { Global, Local, Auto };

struct EncodeOptions {
    bool dither = true;
    PaletteMode palette = PaletteMode::Auto;
    GifFileOptions file;
    int disposal = 0;
    int maxColors = 256;
    // With a mask, palette entry 0 is reserved and every frame is cut by it.
    const CellMask* mask = nullptr;
    QRgb transparentColor = qRgb(255, 255, 255);
    int threads = 0; // 0: one per core
    // With disposal 0 or 1 the previous frame stays on screen, so a frame
    // only stores the rectangle that changed, and, where the palette has an
    // entry to spare (or a cell mask makes entry 0 transparent), leaves the
    // pixels that stayed the same transparent.
    bool interframe = true;
    // Pixels looked at to choose the palette; above it, frames are sampled
    // evenly. Sampled frames are kept for the second pass when all of them
    // are sampled.
    std::size_t paletteSamplePixels = std::size_t(16) << 20;
    // Frames of a source with a scroll still take the still's indices,
    // shifted, so a dither pattern moves with the picture instead of
    // shimmering; off, every frame is mapped (and dithered) by itself.
    bool remapStillOnce = true;
    // Frames of a source that MayPan() and show the frame before moved take
    // its indices; off, every frame is mapped by itself.
    bool followPans = true;
};

struct EncodeStats {
    int frames = 0;
    int paletteSize = 0;
    int sampledFrames = 0;
    int localPalettes = 0; // frames written with their own colour table
    // CPU time of the threads in each stage, summed over threads (seconds):
    // a thread waiting for another stage or for a core adds nothing.
    double drawSeconds = 0;
    double paletteSeconds = 0;
    double remapSeconds = 0;
    double writeSeconds = 0;
    double wallSeconds = 0;
};

// Writes the animation to path (temporary file renamed into place). A failure
// or a cancel leaves any previous file at path untouched.
Status EncodeAnimatedGif(FrameSource& source, const QString& path, const EncodeOptions& options,
                         ProgressSink* progress = nullptr, EncodeStats* stats = nullptr);

// Where a frame differs from the frame before it (`previous`: its indices,
// same size): the rectangle (empty when nothing changed) and the share of
// the rectangle's pixels that are nonetheless the same.
struct ChangedPart {
    QRect rect;
    double unchangedShare = 0;
};
// With `translate` (frames with different palettes), previous index k shows
// the same colour as the frame's index translate[k], or none when -1.
ChangedPart FindChanges(const IndexedImage& frame, const std::vector<std::uint8_t>& previous,
                        const std::array<int, 256>* translate = nullptr);

// The frame cut down to the changed rectangle (one pixel when nothing
// changed). With unchanged >= 0 the pixels that did not change take that
// index, which becomes the frame's transparent index; with -1 they keep
// their own.
IndexedImage CutOut(const IndexedImage& frame, const std::vector<std::uint8_t>& previous,
                    const ChangedPart& part, int unchanged,
                    const std::array<int, 256>* translate = nullptr);

// The message of a cancelled save.
QString CancelledMessage();
