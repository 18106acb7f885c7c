// What the six animation renderers share: output paths, frame size, the
// context they draw for (the table and its cell mask), the seed, and what a
// save asks of every type (see animation_save.h for the save itself).
#pragma once

#include "core/base/color_ref.h"
#include "core/base/status.h"
#include "core/cellmask/table_geometry.h"
#include "core/imaging/cell_mask.h"
#include "core/imaging/frame_encoder.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

// What a renderer draws; its record, its window and its command-line name
// follow from this.
enum class AnimationKind {
    MovingStripes,
    RotatingStripes,
    BlinkingClouds,
    FlowingClouds,
    RubberClouds,
    DynamicPicture,
    // None of the six (a renderer a test makes): saved without a record.
    Unlisted,
};

class FrameShare;

// How a save runs (animation_save.h).
struct SaveOptions {
    ProgressSink* progress = nullptr;
    // Set by whoever offers Cancel; drawing loops look at it inside long
    // frames, the pipeline between frames.
    const std::atomic<bool>* cancel = nullptr;
    EncodeStats* stats = nullptr;
    int threads = 0; // 0: one per core
    PaletteMode palette = PaletteMode::Auto;
    // Frames drawn with another save of the same animation running at the
    // same time, as its side shareSide.
    FrameShare* share = nullptr;
    int shareSide = 0;
};

// What a renderer draws for, as its document holds it: the table the
// animation backs (Fit to Cell and Tile assemble it, the mask is cut to it)
// and the table's cell mask with what becomes of it. Only a mask merged
// into the frames changes them.
struct RenderContext {
    TableGeometry table;
    MaskMode maskMode = MaskMode::None;
    std::shared_ptr<const CellMask> mask;
};

// What a frame that memory cannot hold is refused with.
Status FrameMemoryError(QSize size);

class AnimationRenderer {
public:
    virtual ~AnimationRenderer() = default;

    // A copy the save can work on while the dialog edits the original.
    virtual std::unique_ptr<AnimationRenderer> Clone() const = 0;
    virtual AnimationKind Kind() const = 0;

    void SetDither(bool dither) { m_bDither = dither; }
    void SetAnimationGifPath(const QString& path) { m_strGifPath = path; }
    void SetCellGifPath(const QString& path) { m_strCellGifPath = path; }
    void SetFrameWidth(int width);
    void SetFrameHeight(int height);
    // The table's values are held to their least (a 1 x 1 table of one
    // cell, no spacing).
    void SetContext(RenderContext context);
    void SetTable(const TableGeometry& table);
    void SetMask(MaskMode mode, std::shared_ptr<const CellMask> mask);
    void SetCellPicture(const QImage& picture) { m_cellPicture = picture; }

    bool GetDither() const { return m_bDither; }
    const QString& GetAnimationGifPath() const { return m_strGifPath; }
    const QString& GetCellGifPath() const { return m_strCellGifPath; }
    int GetFrameWidth() const { return m_nFrameWidth; }
    int GetFrameHeight() const { return m_nFrameHeight; }
    const RenderContext& Context() const { return m_context; }
    const TableGeometry& Table() const { return m_context.table; }
    COLORREF GetCellColor() const { return m_context.table.cellColor; }
    int GetTableWidth() const { return m_context.table.width; }
    int GetTableHeight() const { return m_context.table.height; }
    int GetRows() const { return m_context.table.rows; }
    int GetColumns() const { return m_context.table.columns; }
    int GetBorder() const { return m_context.table.border; }
    MaskMode GetMaskMode() const { return m_context.maskMode; }
    const QImage& GetCellPicture() const { return m_cellPicture; }
    const CellMask* GetCellMask() const { return m_context.mask.get(); }

    // Normalises and stores back what a save changes (angles, speeds, frame
    // sizes) and works out the frame count, step and delay. Runs on the
    // thread that owns the renderer.
    virtual void PrepareSave() = 0;
    // Whether the prepared save can be made: frames no larger than a GIF
    // holds (65535 pixels a side) whose buffers fit in memory. Types add
    // their own reasons.
    virtual Status CheckPreparedSave() const;
    // After PrepareSave(): whether the prepared save can be written (a
    // picture that could not be loaded, say). WriteAnimation() returns
    // this error before touching the file.
    virtual Status CheckSave() const { return Status::Ok(); }

    // After PrepareSave():
    virtual int FrameCount() const = 0;
    virtual int FrameDelay(int index) const = 0;
    // Size of the GIF's frames (the frame size, or the table's for saves
    // that assemble the whole table).
    virtual QSize OutputSize() const { return QSize(m_nFrameWidth, m_nFrameHeight); }
    // Fills *frame (OutputSize(), RGB32) with frame `index`. Thread-safe
    // unless IsSequential().
    virtual void DrawFrame(int index, QImage* frame) const = 0;
    // Types that draw few colours may also draw into an Indexed8 frame,
    // setting its colour table (a quarter of the memory, and the save
    // counts and maps 256 colours instead of every pixel); one that needs
    // more colours for a frame than that replaces it by an RGB32 frame.
    virtual bool DrawsIndexed() const { return false; }
    virtual bool IsSequential() const { return false; }
    // Types whose frames are cyclic shifts of one still say so (see
    // FrameSource::ScrollStill), so the save maps the still only once.
    virtual QImage ScrollStill() const { return QImage(); }
    virtual QPoint ScrollShift(int) const { return QPoint(); }
    virtual void Restart() {}

    // What the user should know about the prepared save that is particular
    // to the type (a frame count cut to a cap...), one sentence each.
    virtual QStringList SaveNotes() const { return {}; }
    // The type's SaveNotes() and the notes every type gets (a frame delay
    // browsers will not honour). The window adds them to its completion
    // message, the command line prints them as notes.
    QStringList AllSaveNotes() const;

    // Randomness. Types that draw random numbers seed their generator at
    // each save with the fixed seed when one is set, otherwise from the
    // clock; the seed used is kept so that a save can be repeated.
    virtual bool UsesRandomness() const { return false; }
    void SetFixedSeed(std::optional<std::uint32_t> seed) { m_fixedSeed = seed; }
    std::optional<std::uint32_t> GetFixedSeed() const { return m_fixedSeed; }
    std::uint32_t GetLastSeed() const { return m_nLastSeed; }

    // Inside long frames, drawing loops poll CancelRequested() (every few
    // thousand rows or shapes) and return early when it is set; the frame's
    // content no longer matters then.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_pCancel = cancel; }

    // The encoder's file settings: comment, loop count, disposal.
    virtual GifFileOptions FileOptions() const;
    virtual int Disposal() const { return 2; }

    // The mask the frames are cut by: the active mask unless a type cuts
    // its frames differently (a frame larger than the table, say).
    virtual const CellMask* FrameMask() const { return ActiveMask(); }

    // The cell mask the frames are cut by: the context's, when it is merged
    // into the frames and has been painted.
    const CellMask* ActiveMask() const {
        const CellMask* mask = m_context.mask.get();
        return m_context.maskMode == MaskMode::MergedIntoFrames && mask && !mask->IsEmpty()
                   ? mask
                   : nullptr;
    }

protected:
    AnimationRenderer(int frameWidth, int frameHeight)
        : m_nFrameWidth(frameWidth), m_nFrameHeight(frameHeight), m_nNextSeed(ClockSeed()) {}
    AnimationRenderer(const AnimationRenderer&) = default;
    AnimationRenderer& operator=(const AnimationRenderer&) = default;

    // Stores a frame size without the setters' clamp (Fit to Cell, Tile).
    void StoreFrameSize(int width, int height) {
        m_nFrameWidth = width;
        m_nFrameHeight = height;
    }
    void StoreBorder(int border) { m_context.table.border = border; }

    // Refuses frames of `size` that a GIF cannot hold or memory cannot.
    static Status CheckFrameSize(QSize size);

    // The seed for this save: the fixed one, or one from the clock drawn
    // ahead (a copy of the renderer taken before the save, for a preview,
    // chooses the same). Kept as the last seed. Call once per save, from
    // PrepareSave().
    std::uint32_t ChooseSeed();
    static std::uint32_t ClockSeed();
    bool CancelRequested() const { return m_pCancel && m_pCancel->load(std::memory_order_relaxed); }

private:
    bool m_bDither = true;
    QString m_strGifPath;
    QString m_strCellGifPath;
    QImage m_cellPicture;
    RenderContext m_context;
    int m_nFrameWidth;
    int m_nFrameHeight;
    std::optional<std::uint32_t> m_fixedSeed;
    std::uint32_t m_nLastSeed = 0;
    std::uint32_t m_nNextSeed;
    const std::atomic<bool>* m_pCancel = nullptr;
};
