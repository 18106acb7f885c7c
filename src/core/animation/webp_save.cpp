#include "core/animation/webp_save.h"

#include "core/animation/animation_record.h"
#include "core/base/huge_pages.h"
#include "core/base/limits.h"
#include "core/base/staged_file_set.h"
#include "core/imaging/frame_share.h"
#include "core/imaging/gif_reader.h"

#include <QFileInfo>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>

namespace {

// Frames held for the other side of a GIF-and-WebP save: 32 MB of RGB32,
// enough at 1200 x 800 for the GIF's palette pass to run ahead of the WebP
// without either drawing a frame twice.
constexpr qint64 kSharedFramePixels = qint64(16) << 20;

// A GIF's frames as a browser composes them.
class GifFrames : public FrameSource {
public:
    explicit GifFrames(const GifAnimation* gif) : m_pGif(gif) {}
    int FrameCount() const override { return int(m_pGif->composited.size()); }
    QSize FrameSize() const override { return QSize(m_pGif->width, m_pGif->height); }
    int FrameDelay(int index) const override { return m_pGif->frames[std::size_t(index)].delay; }
    Status DrawFrame(int index, QImage* frame) override {
        *frame = m_pGif->composited[std::size_t(index)];
        return Status::Ok();
    }

private:
    const GifAnimation* m_pGif;
};

// The GIF's and the WebP's progress, written at the same time from two
// threads, as one count to the save's sink; either side failing stops the
// other at its next frame.
class SharedProgress {
public:
    explicit SharedProgress(ProgressSink* sink) : m_pSink(sink) {}
    bool Report(int side, int done, int total) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stoppedBy >= 0)
            return false;
        m_done[side] = done;
        m_total[side] = total;
        if (m_pSink && !m_pSink->Progress(m_done[0] + m_done[1], m_total[0] + m_total[1]))
            m_stoppedBy = 2;
        return m_stoppedBy < 0;
    }
    // Called by the side that failed (0: GIF, 1: WebP).
    void Stop(int side) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stoppedBy < 0)
            m_stoppedBy = side;
    }
    int StoppedBy() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stoppedBy;
    }

private:
    std::mutex m_mutex;
    ProgressSink* m_pSink;
    int m_done[2] = {0, 0};
    int m_total[2] = {0, 0};
    int m_stoppedBy = -1; // -1: running; 0, 1: that side failed; 2: cancelled
};

// However a side's save ends, the other stops waiting for it to take the
// frames drawn for it.
struct LeaveShare {
    FrameShare* share;
    int side;
    ~LeaveShare() {
        if (share)
            share->Leave(side);
    }
};

class SideProgress : public ProgressSink {
public:
    SideProgress(SharedProgress* shared, int side) : m_pShared(shared), m_side(side) {}
    bool Progress(int done, int total) override { return m_pShared->Report(m_side, done, total); }

private:
    SharedProgress* m_pShared;
    int m_side;
};

} // namespace

Status WriteWebpFromGif(const QString& gifPath, const QString& webpPath) {
    GifAnimation gif;
    if (Status s = ReadGif(gifPath, &gif); !s)
        return s;
    GifFrames frames(&gif);
    WebpOptions options;
    options.compression = WebpCompression::Lossless;
    for (const GifApplicationExtension& extension : gif.applications)
        if (extension.identifier == AnimationRecordId())
            options.record = extension.data;
    return EncodeAnimatedWebp(frames, webpPath, options);
}

Status CheckWebpSave(const AnimationRenderer& renderer) {
    return CheckWebpFrameSize(renderer.OutputSize());
}

Status WriteAnimatedWebp(const AnimationRenderer& renderer, const QString& path,
                         const WebpSaveOptions& options) {
    if (path.isEmpty())
        return Status::Error(QStringLiteral("Cannot open "));
    const QSize size = renderer.OutputSize();
    try {
        for (const Status& s :
             {renderer.CheckSave(), CheckWebpSave(renderer), renderer.CheckPreparedSave()})
            if (!s)
                return s;
        std::unique_ptr<AnimationRenderer> copy = renderer.Clone();
        copy->SetCancelFlag(options.cancel);
        RendererFrameSource drawn(copy.get());
        drawn.SetCancel(options.cancel);
        drawn.SetIndexed(false);
        SharedFrameSource shared(&drawn, options.share, options.shareSide);
        FrameSource& frames = options.share ? static_cast<FrameSource&>(shared) : drawn;
        WebpOptions webp;
        webp.compression = options.compression;
        webp.quality = options.quality;
        webp.threads = options.threads;
        webp.losslessEncoder = options.losslessEncoder;
        webp.mask = renderer.FrameMask();
        webp.record = ComposeAnimationRecord(renderer);
        return EncodeAnimatedWebp(frames, path, webp, options.progress, options.stats);
    } catch (const std::bad_alloc&) {
        return Status::Error(QStringLiteral("Not enough memory for the %1 x %2 animation of %3 "
                                            "frames; the previous file is unchanged.")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(renderer.FrameCount()));
    }
}

Status WriteAnimationWithWebp(const AnimationRenderer& renderer, const SaveOptions& gif,
                              const QString& webpPath, const WebpSaveOptions& webp,
                              SaveOutcome* outcome) {
    if (Status s = CheckWebpSave(renderer); !s)
        return s;
    SharedProgress shared(gif.progress ? gif.progress : webp.progress);
    SideProgress gifSide(&shared, 0), webpSide(&shared, 1);
    SaveOptions gifOptions = gif;
    gifOptions.progress = &gifSide;
    WebpSaveOptions webpOptions = webp;
    webpOptions.progress = &webpSide;
    webpOptions.losslessEncoder = WebpLosslessEncoder::Fast;
    // Both sides draw every frame, so each frame is drawn once for both,
    // unless the frames are drawn in order (the other side's frame would
    // leave a side's drawing state behind) or the GIF takes a scrolled
    // still's indices instead of drawing frames.
    std::optional<FrameShare> frameShare;
    const QSize size = renderer.OutputSize();
    const qint64 framePixels = qint64(size.width()) * size.height();
    if (!renderer.IsSequential() && renderer.ScrollStill().isNull() && framePixels > 0 &&
        renderer.FrameCount() > 1) {
        const qint64 capacity =
            std::min<qint64>(renderer.FrameCount(), kSharedFramePixels / framePixels);
        if (capacity >= 2 && FramesFitInMemory(size.width(), size.height(), capacity)) {
            frameShare.emplace(renderer.FrameCount(), int(capacity));
            gifOptions.share = webpOptions.share = &*frameShare;
            gifOptions.shareSide = 0;
            webpOptions.shareSide = 1;
        }
    }
    std::future<Status> webpDone;
    try {
        // The WebP's own copy, taken here so that its thread reads nothing
        // the GIF's save uses.
        std::shared_ptr<const AnimationRenderer> webpCopy(renderer.Clone());
        webpDone = std::async(std::launch::async, [webpCopy, webpPath, webpOptions, &shared] {
            Status s;
            {
                LeaveShare leave{webpOptions.share, 1};
                s = WriteAnimatedWebp(*webpCopy, webpPath, webpOptions);
            }
            if (!s)
                shared.Stop(1);
            return s;
        });
    } catch (const std::bad_alloc&) {
        return Status::Error(QStringLiteral("Not enough memory for preparing the animation"));
    } catch (const std::system_error&) {
        return Status::Error(QStringLiteral("No thread could be started for the WebP"));
    }
    Status s;
    try {
        LeaveShare leave{gifOptions.share, 0};
        s = WriteAnimation(renderer, gifOptions, outcome);
    } catch (const std::bad_alloc&) {
        s = Status::Error(QStringLiteral("Not enough memory for preparing the animation"));
    }
    if (!s)
        shared.Stop(0);
    const Status webpStatus = webpDone.get();
    // Frames held for a side that stopped early go now, not with the next save.
    frameShare.reset();
    ReleaseSpareFrameMemory();
    // Where both failed, the first failure is the one to tell: the other is
    // only that it was stopped.
    if (!s && !webpStatus)
        return shared.StoppedBy() == 1 ? webpStatus : s;
    return s ? webpStatus : s;
}

Status WriteAnimatedGifAndWebp(const AnimationRenderer& renderer, const SaveOptions& gif,
                               const WebpSaveOptions& webp, SaveOutcome* outcome) {
    const QString gifPath = renderer.GetAnimationGifPath();
    if (gifPath.isEmpty())
        return Status::Error(QStringLiteral("Cannot open "));
    if (Status s = CheckWebpSave(renderer); !s)
        return s;
    StagedFileSet files;
    Status s;
    const QString stagedGif = files.Stage(gifPath, &s);
    const QString stagedWebp = s ? files.Stage(WebpPathFor(gifPath), &s) : QString();
    if (!s)
        return s;
    try {
        std::unique_ptr<AnimationRenderer> copy = renderer.Clone();
        copy->SetAnimationGifPath(stagedGif);
        s = WriteAnimationWithWebp(*copy, gif, stagedWebp, webp, outcome);
    } catch (const std::bad_alloc&) {
        s = Status::Error(QStringLiteral("Not enough memory for preparing the animation"));
    }
    if (s)
        s = files.Commit();
    return files.Named(s);
}

QString WebpPathFor(const QString& gifPath) {
    const QString suffix = QFileInfo(gifPath).suffix();
    if (suffix.compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0)
        return gifPath.left(gifPath.size() - 3) + QStringLiteral("webp");
    return gifPath + QStringLiteral(".webp");
}

QStringList WebpSaveNotes(const AnimationRenderer& renderer) {
    int shortest = -1;
    for (int i = 0; i < renderer.FrameCount(); ++i) {
        const int delay = renderer.FrameDelay(i);
        if (delay <= 1 && (shortest < 0 || delay < shortest))
            shortest = delay;
    }
    if (shortest < 0)
        return {};
    return {QStringLiteral("The WebP keeps its %1 ms frames exactly (it has no floor of its own "
                           "as GIF players have), but browsers show frames of 10 ms or less for "
                           "100 ms there too.")
                .arg(WebpDuration(shortest))};
}
