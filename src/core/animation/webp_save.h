// An animation's save as an animated WebP: the renderer's own true-colour
// frames, cut by the same mask as the GIF's, with the same record.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/animation/animation_save.h"
#include "core/imaging/webp_writer.h"

#include <atomic>

// Which files a save writes.
enum class AnimationFormat { Gif, Webp, Both };

struct WebpSaveOptions {
    WebpCompression compression = WebpCompression::Auto;
    int quality = kDefaultWebpQuality;
    ProgressSink* progress = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    WebpStats* stats = nullptr;
    int threads = 0;
    WebpLosslessEncoder losslessEncoder = WebpLosslessEncoder::Smaller;
    // As SaveOptions' share.
    FrameShare* share = nullptr;
    int shareSide = 0;
};

// After PrepareSave(): whether the prepared frames fit a WebP, besides what
// CheckPreparedSave() asks of every save.
Status CheckWebpSave(const AnimationRenderer& renderer);

// After PrepareSave(): draws and writes the WebP to path (a temporary file
// renamed into place); a failure or cancel leaves the previous file.
Status WriteAnimatedWebp(const AnimationRenderer& renderer, const QString& path,
                         const WebpSaveOptions& options = {});

// After PrepareSave(): the GIF at the renderer's path and the WebP at
// webpPath, written at the same time on their own threads, their progress
// summed into the GIF's sink (or the WebP's when the GIF has none). Either
// failing stops the other; each file is written as WriteAnimation and
// WriteAnimatedWebp write it, the WebP's few-colour lossless frames by our
// own faster encoder so that the pair takes little longer than the GIF.
Status WriteAnimationWithWebp(const AnimationRenderer& renderer, const SaveOptions& gif,
                              const QString& webpPath, const WebpSaveOptions& webp,
                              SaveOutcome* outcome = nullptr);

// After PrepareSave(): the GIF at the renderer's path and the WebP beside
// it (WebpPathFor), both complete before either replaces its previous file.
Status WriteAnimatedGifAndWebp(const AnimationRenderer& renderer, const SaveOptions& gif,
                               const WebpSaveOptions& webp, SaveOutcome* outcome = nullptr);

// The WebP that goes with a GIF path: "name.gif" -> "name.webp".
QString WebpPathFor(const QString& gifPath);

// The note a save's summary adds when it writes a WebP whose frames are
// shorter than browsers let a GIF's be: the WebP keeps them exact.
QStringList WebpSaveNotes(const AnimationRenderer& renderer);

// The WebP of a GIF that has none yet, for a page that names both: every
// frame as the GIF shows it (transparency kept, lossless, since a GIF's
// colours are few), the GIF's delays, its record carried over.
Status WriteWebpFromGif(const QString& gifPath, const QString& webpPath);
