#include "core/animation/animation_save.h"

#include "core/animation/animation_record.h"
#include "core/animation/save_summary.h"
#include "core/imaging/frame_image.h"
#include "core/imaging/frame_share.h"

#include <QFileInfo>
#include <memory>
#include <new>

Status RendererFrameSource::DrawFrame(int index, QImage* frame) {
    const QSize size = m_pRenderer->OutputSize();
    try {
        const QImage::Format format = m_bIndexed && m_pRenderer->DrawsIndexed()
                                          ? QImage::Format_Indexed8
                                          : QImage::Format_RGB32;
        if (frame->size() != size || frame->format() != format)
            *frame = NewFrameImage(size, format);
        if (frame->isNull())
            return FrameMemoryError(size);
        m_pRenderer->DrawFrame(index, frame);
    } catch (const std::bad_alloc&) {
        return FrameMemoryError(size);
    }
    if (m_pCancel && m_pCancel->load())
        return Status::Error(CancelledMessage());
    return Status::Ok();
}

EncodeOptions AnimationEncodeOptions(const AnimationRenderer& prepared,
                                     const SaveOptions& options) {
    EncodeOptions encode;
    encode.dither = prepared.GetDither();
    encode.file = prepared.FileOptions();
    // The type, its values and its seed ride along, so that the page can be
    // reopened as it was saved.
    encode.file.applicationId = AnimationRecordId();
    encode.file.applicationData = ComposeAnimationRecord(prepared);
    encode.disposal = prepared.Disposal();
    encode.threads = options.threads;
    encode.palette = options.palette;
    encode.mask = prepared.FrameMask();
    const COLORREF cell = prepared.GetCellColor();
    encode.transparentColor = qRgb(RedOf(cell), GreenOf(cell), BlueOf(cell));
    return encode;
}

Status WriteAnimation(const AnimationRenderer& prepared, const SaveOptions& options,
                      SaveOutcome* outcome) {
    const QString& path = prepared.GetAnimationGifPath();
    if (path.isEmpty())
        return Status::Error(QStringLiteral("Cannot open "));
    const QSize size = prepared.OutputSize();
    try {
        if (Status s = prepared.CheckSave(); !s)
            return s;
        if (Status s = prepared.CheckPreparedSave(); !s)
            return s;
        std::unique_ptr<AnimationRenderer> copy = prepared.Clone();
        copy->SetCancelFlag(options.cancel);
        RendererFrameSource drawn(copy.get());
        drawn.SetCancel(options.cancel);
        // Frames shared with the WebP beside are drawn in 32 bits, as it
        // takes them.
        drawn.SetIndexed(!options.share);
        SharedFrameSource shared(&drawn, options.share, options.shareSide);
        FrameSource& source = options.share ? static_cast<FrameSource&>(shared) : drawn;
        if (Status s = EncodeAnimatedGif(source, path, AnimationEncodeOptions(prepared, options),
                                         options.progress, options.stats);
            !s)
            return s;
    } catch (const std::bad_alloc&) {
        // The file being written was discarded as the stack unwound.
        return Status::Error(QStringLiteral("Not enough memory for the %1 x %2 animation of %3 "
                                            "frames; the previous file is unchanged.")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(prepared.FrameCount()));
    }
    if (outcome) {
        outcome->bytes = QFileInfo(path).size();
        outcome->summary = SaveSummary(prepared, outcome->bytes);
        outcome->notes = prepared.SaveNotes();
    }
    return Status::Ok();
}

Status SaveAnimation(AnimationRenderer& renderer, const SaveOptions& options,
                     SaveOutcome* outcome) {
    try {
        renderer.PrepareSave();
    } catch (const std::bad_alloc&) {
        return Status::Error(QStringLiteral("Not enough memory for preparing the animation"));
    }
    return WriteAnimation(renderer, options, outcome);
}
