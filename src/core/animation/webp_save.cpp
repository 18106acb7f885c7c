#include "core/animation/webp_save.h"

#include "core/animation/animation_record.h"
#include "core/base/limits.h"
#include "core/base/staged_file_set.h"
#include "core/imaging/gif_reader.h"

#include <QFileInfo>
#include <new>

namespace {

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
        RendererFrameSource frames(copy.get());
        frames.SetCancel(options.cancel);
        WebpOptions webp;
        webp.compression = options.compression;
        webp.quality = options.quality;
        webp.threads = options.threads;
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
        s = WriteAnimation(*copy, gif, outcome);
    } catch (const std::bad_alloc&) {
        s = Status::Error(QStringLiteral("Not enough memory for preparing the animation"));
    }
    if (s)
        s = WriteAnimatedWebp(renderer, stagedWebp, webp);
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
