#include "core/animation/animation_renderer.h"

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
void AnimationRenderer::SetContext(RenderContext context) {
    m_context = std::move(context);
    SetTable(m_context.table);
}
void AnimationRenderer::SetTable(const TableGeometry& table) {
    m_context.table = table;
    m_context.table.width = std::max(table.width, 1);
    m_context.table.height = std::max(table.height, 1);
    m_context.table.rows = std::max(table.rows, 1);
    m_context.table.columns = std::max(table.columns, 1);
    m_context.table.border = std::max(table.border, 0);
}
void AnimationRenderer::SetMask(MaskMode mode, std::shared_ptr<const CellMask> mask) {
    m_context.maskMode = mode;
    m_context.mask = std::move(mask);
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
    return options;
}

Status FrameMemoryError(QSize size) {
    return Status::Error(QStringLiteral("Not enough memory for a %1 x %2 frame")
                             .arg(size.width())
                             .arg(size.height()));
}

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
