// Saving an animation: a prepared renderer's frames, cut by its context's
// mask, encoded with the animation's record into the GIF the page names,
// and what the save came to in the words the window and the command line
// both show.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/base/status.h"
#include "core/imaging/frame_encoder.h"

#include <QString>
#include <QStringList>
#include <atomic>

// A prepared renderer's frames, for an encoder. Sequential renderers keep
// drawing state, so give it a renderer of its own (a Clone()).
class RendererFrameSource : public FrameSource {
public:
    explicit RendererFrameSource(AnimationRenderer* renderer) : m_pRenderer(renderer) {}
    int FrameCount() const override { return m_pRenderer->FrameCount(); }
    QSize FrameSize() const override { return m_pRenderer->OutputSize(); }
    bool IsRandomAccess() const override { return !m_pRenderer->IsSequential(); }
    void Restart() override { m_pRenderer->Restart(); }
    int FrameDelay(int index) const override { return m_pRenderer->FrameDelay(index); }
    QImage ScrollStill() const override { return m_pRenderer->ScrollStill(); }
    QPoint ScrollShift(int index) const override { return m_pRenderer->ScrollShift(index); }
    // Called from the pipeline's threads: nothing escapes, and a frame left
    // unfinished by a cancel is an error, never written.
    Status DrawFrame(int index, QImage* frame) override;
    void SetCancel(const std::atomic<bool>* cancel) { m_pCancel = cancel; }
    // Whether a type that can draws its frames in 8 bits (see
    // AnimationRenderer::DrawsIndexed); a WebP takes them in 32.
    void SetIndexed(bool indexed) { m_bIndexed = indexed; }

private:
    AnimationRenderer* m_pRenderer;
    const std::atomic<bool>* m_pCancel = nullptr;
    bool m_bIndexed = true;
};

// What a save came to.
struct SaveOutcome {
    qint64 bytes = 0;
    // "123 KB, 66 frames, 6.6 s a loop", and a line on frames shorter than
    // browsers play them.
    QStringList summary;
    // The type's own notes on the prepared save (a frame count cut to a
    // cap...). The summary already covers short frames.
    QStringList notes;
};

// The encoder's settings for a prepared renderer: its dither, its context's
// mask and cell colour, and the file's comment, loop and record.
EncodeOptions AnimationEncodeOptions(const AnimationRenderer& prepared, const SaveOptions& options);

// Checks, draws and writes the GIF `prepared` (after PrepareSave) names; may
// run on another thread. A failure leaves the previous GIF in place: a save
// the checks refuse starts no work, and memory running out ends the save
// with "Not enough memory for ..." rather than an exception.
Status WriteAnimation(const AnimationRenderer& prepared, const SaveOptions& options = {},
                      SaveOutcome* outcome = nullptr);

// PrepareSave() then WriteAnimation().
Status SaveAnimation(AnimationRenderer& renderer, const SaveOptions& options = {},
                     SaveOutcome* outcome = nullptr);
