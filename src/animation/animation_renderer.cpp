#include "animation/animation_renderer.h"

#include <algorithm>

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

GifFileOptions AnimationRenderer::FileOptions() const {
    GifFileOptions options;
    options.comment = QStringLiteral("Velmora");
    options.loops = 0;
    return options;
}

namespace {

class RendererSource : public FrameSource {
public:
    explicit RendererSource(AnimationRenderer* renderer) : m_pRenderer(renderer) {}
    int FrameCount() const override { return m_pRenderer->FrameCount(); }
    QSize FrameSize() const override { return m_pRenderer->OutputSize(); }
    bool IsRandomAccess() const override { return !m_pRenderer->IsSequential(); }
    void Restart() override { m_pRenderer->Restart(); }
    int FrameDelay(int index) const override { return m_pRenderer->FrameDelay(index); }
    Status DrawFrame(int index, QImage* frame) override {
        const QSize size = m_pRenderer->OutputSize();
        if (frame->size() != size || frame->format() != QImage::Format_RGB32)
            *frame = QImage(size, QImage::Format_RGB32);
        if (frame->isNull())
            return Status::Error(QStringLiteral("Not enough memory for a %1 x %2 frame")
                                     .arg(size.width())
                                     .arg(size.height()));
        m_pRenderer->DrawFrame(index, frame);
        return Status::Ok();
    }

private:
    AnimationRenderer* m_pRenderer;
};

} // namespace

Status AnimationRenderer::WriteAnimatedGif(const SaveOptions& options) const {
    if (m_strGifPath.isEmpty())
        return Status::Error(QStringLiteral("Cannot open "));
    // Sequential renderers keep drawing state, so they draw on a copy.
    std::unique_ptr<AnimationRenderer> copy = Clone();
    RendererSource source(copy.get());
    EncodeOptions encode;
    encode.dither = m_bDither;
    encode.file = FileOptions();
    encode.disposal = Disposal();
    encode.threads = options.threads;
    encode.palette = options.palette;
    encode.mask = ActiveMask();
    encode.transparentColor =
        qRgb(RedOf(m_crCellColor), GreenOf(m_crCellColor), BlueOf(m_crCellColor));
    return EncodeAnimatedGif(source, m_strGifPath, encode, options.progress, options.stats);
}

Status AnimationRenderer::SaveAnimatedGif(const SaveOptions& options) {
    PrepareSave();
    return WriteAnimatedGif(options);
}
