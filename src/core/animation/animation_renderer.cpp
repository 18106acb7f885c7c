#include "core/animation/animation_renderer.h"

#include "core/animation/animation_record.h"
#include "core/base/limits.h"

#include <QDateTime>
#include <algorithm>
#include <new>

void AnimationRenderer::SetFrameWidth(int width) {
    m_nFrameWidth = std::max(width, 5);
}
void AnimationRenderer::SetFrameHeight(int height) {
    m_nFrameHeight = std::max(height, 5);
}
void AnimationRenderer::SetTableWidth(int width) {
    m_nTableWidth = std::max(width, 1);
}
void AnimationRenderer::SetTableHeight(int height) {
    m_nTableHeight = std::max(height, 1);
}
void AnimationRenderer::SetRows(int rows) {
    m_nRows = std::max(rows, 1);
}
void AnimationRenderer::SetColumns(int columns) {
    m_nColumns = std::max(columns, 1);
}
void AnimationRenderer::SetBorder(int border) {
    m_nBorder = std::max(border, 0);
}

std::uint32_t AnimationRenderer::ClockSeed() {
    // Seconds, as the time-seeded look is defined, mixed with the
    // milliseconds so that two saves in one second still differ.
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    return std::uint32_t(ms / 1000) ^ (std::uint32_t(ms % 1000) << 20);
}

std::uint32_t AnimationRenderer::ChooseSeed() {
    if (m_fixedSeed) {
        m_nLastSeed = *m_fixedSeed;
    } else {
        // The seed was drawn ahead, so that a copy made for a preview draws
        // what this save draws; the save after this one gets a new one.
        m_nLastSeed = m_nNextSeed;
        m_nNextSeed = ClockSeed() ^ (m_nLastSeed * 2654435761u);
    }
    return m_nLastSeed;
}

GifFileOptions AnimationRenderer::FileOptions() const {
    GifFileOptions options;
    options.comment = QStringLiteral("Velmora");
    options.loops = 0;
    // The type, its values and its seed ride along, so that the page can be
    // reopened as it was saved.
    options.applicationId = AnimationRecordId();
    options.applicationData = ComposeAnimationRecord(*this);
    return options;
}

namespace {

Status FrameMemoryError(QSize size) {
    return Status::Error(QStringLiteral("Not enough memory for a %1 x %2 frame")
                             .arg(size.width())
                             .arg(size.height()));
}

class RendererSource : public FrameSource {
public:
    explicit RendererSource(AnimationRenderer* renderer) : m_pRenderer(renderer) {}
    int FrameCount() const override { return m_pRenderer->FrameCount(); }
    QSize FrameSize() const override { return m_pRenderer->OutputSize(); }
    bool IsRandomAccess() const override { return !m_pRenderer->IsSequential(); }
    void Restart() override { m_pRenderer->Restart(); }
    int FrameDelay(int index) const override { return m_pRenderer->FrameDelay(index); }
    QImage ScrollStill() const override { return m_pRenderer->ScrollStill(); }
    QPoint ScrollShift(int index) const override { return m_pRenderer->ScrollShift(index); }
    // Called from the pipeline's threads: nothing may escape.
    Status DrawFrame(int index, QImage* frame) override {
        const QSize size = m_pRenderer->OutputSize();
        try {
            if (frame->size() != size || frame->format() != QImage::Format_RGB32)
                *frame = QImage(size, QImage::Format_RGB32);
            if (frame->isNull())
                return FrameMemoryError(size);
            m_pRenderer->DrawFrame(index, frame);
        } catch (const std::bad_alloc&) {
            return FrameMemoryError(size);
        }
        // A frame left unfinished by a cancel must not be written.
        if (m_pCancel && m_pCancel->load())
            return Status::Error(CancelledMessage());
        return Status::Ok();
    }
    void SetCancel(const std::atomic<bool>* cancel) { m_pCancel = cancel; }

private:
    AnimationRenderer* m_pRenderer;
    const std::atomic<bool>* m_pCancel = nullptr;
};

} // namespace

Status AnimationRenderer::CheckFrameSize(QSize size) {
    if (size.width() > kMaxGifSide || size.height() > kMaxGifSide)
        return Status::WrongValue(
            QStringLiteral("A %1 x %2 frame is too large: a GIF holds at most %3 "
                           "x %3 pixels.")
                .arg(size.width())
                .arg(size.height())
                .arg(kMaxGifSide));
    if (!FramesFitInMemory(size.width(), size.height(), 1))
        return FrameMemoryError(size);
    // Tried once before any work: a frame buffer that cannot be had now
    // will not be had later.
    if (QImage(size, QImage::Format_RGB32).isNull())
        return FrameMemoryError(size);
    return Status::Ok();
}

Status AnimationRenderer::CheckPreparedSave() const {
    return CheckFrameSize(OutputSize());
}

QStringList AnimationRenderer::AllSaveNotes() const {
    QStringList notes = SaveNotes();
    // Browsers play a delay of 0 or 1 hundredth as 10; the file keeps what
    // the speed asks for, and the user hears why it plays slower.
    int shortest = -1;
    for (int i = 0; i < FrameCount(); ++i) {
        const int delay = FrameDelay(i);
        if (delay <= 1 && (shortest < 0 || delay < shortest))
            shortest = delay;
    }
    if (shortest >= 0)
        notes << QStringLiteral("Frames are %1 hundredths of a second long; browsers show such "
                                "frames for 10 hundredths, so the animation plays slower than "
                                "its speed asks.")
                     .arg(shortest);
    return notes;
}

Status AnimationRenderer::WriteAnimatedGif(const SaveOptions& options) const {
    if (m_strGifPath.isEmpty())
        return Status::Error(QStringLiteral("Cannot open "));
    const QSize size = OutputSize();
    try {
        if (Status s = CheckSave(); !s)
            return s;
        if (Status s = CheckPreparedSave(); !s)
            return s;
        // Sequential renderers keep drawing state, so they draw on a copy.
        std::unique_ptr<AnimationRenderer> copy = Clone();
        copy->SetCancelFlag(options.cancel);
        RendererSource source(copy.get());
        source.SetCancel(options.cancel);
        EncodeOptions encode;
        encode.dither = m_bDither;
        encode.file = FileOptions();
        encode.disposal = Disposal();
        encode.threads = options.threads;
        encode.palette = options.palette;
        encode.mask = FrameMask();
        encode.transparentColor =
            qRgb(RedOf(m_crCellColor), GreenOf(m_crCellColor), BlueOf(m_crCellColor));
        return EncodeAnimatedGif(source, m_strGifPath, encode, options.progress, options.stats);
    } catch (const std::bad_alloc&) {
        // The file being written was discarded as the stack unwound.
        return Status::Error(QStringLiteral("Not enough memory for the %1 x %2 animation of %3 "
                                            "frames; the previous file is unchanged.")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(FrameCount()));
    }
}

Status AnimationRenderer::SaveAnimatedGif(const SaveOptions& options) {
    try {
        PrepareSave();
    } catch (const std::bad_alloc&) {
        return Status::Error(QStringLiteral("Not enough memory for preparing the animation"));
    }
    return WriteAnimatedGif(options);
}
