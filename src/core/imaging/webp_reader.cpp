#include "core/imaging/webp_reader.h"

#include "core/base/input_file.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/webp_record.h"
#include "core/imaging/webp_writer.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
// Iterators hold nothing but must be released as the library asks.
struct FrameIterator {
    WebPIterator it{};
    bool valid = false;
    ~FrameIterator() {
        if (valid)
            WebPDemuxReleaseIterator(&it);
    }
};
struct ChunkIterator {
    WebPChunkIterator it{};
    bool valid = false;
    ~ChunkIterator() {
        if (valid)
            WebPDemuxReleaseChunkIterator(&it);
    }
};

// What the outline keeps per frame, counted against the budget.
constexpr std::int64_t kFrameOutlineBytes = 64;
// A record is a few hundred bytes of "key=value" lines; more is not ours.
constexpr std::int64_t kMaxRecordBytes = std::int64_t(1) << 20;

Status Refuse(const QString& name, const QString& why) {
    return Status::Error(QStringLiteral("Cannot read %1: %2").arg(name, why));
}

} // namespace

bool LooksLikeWebp(const QByteArray& head) {
    return head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP";
}

Status ReadWebpData(const QByteArray& data, WebpAnimation* animation, bool pixels,
                    const QString& name, std::int64_t memoryLimit) {
    *animation = WebpAnimation();
    const std::int64_t limit = memoryLimit > 0 ? memoryLimit : GifReadMemoryLimit();
    if (!LooksLikeWebp(data))
        return Refuse(name, QStringLiteral("it is not a WebP file"));
    try {
        WebPData bytes{reinterpret_cast<const std::uint8_t*>(data.constData()),
                       std::size_t(data.size())};
        WebPDemuxState state = WEBP_DEMUX_PARSING_HEADER;
        std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemuxPartial(&bytes, &state));
        if (!demux || state == WEBP_DEMUX_PARSE_ERROR)
            return Refuse(name, QStringLiteral("its WebP chunks are damaged"));
        if (state != WEBP_DEMUX_DONE)
            return Refuse(name, QStringLiteral("the WebP file is cut short"));

        const std::uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
        const std::uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
        const std::uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
        const std::uint32_t frames = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
        if (width < 1 || height < 1 || frames < 1)
            return Refuse(name, QStringLiteral("the WebP holds no picture"));
        std::int64_t used = data.size() + std::int64_t(frames) * kFrameOutlineBytes;
        if (used > limit)
            return Refuse(
                name, QStringLiteral("its %1 frames are more than a read may hold").arg(frames));
        animation->width = int(width);
        animation->height = int(height);
        animation->animated = (flags & ANIMATION_FLAG) != 0;
        animation->hasAlpha = (flags & ALPHA_FLAG) != 0;
        animation->loops = int(WebPDemuxGetI(demux.get(), WEBP_FF_LOOP_COUNT));

        FrameIterator frame;
        frame.valid = WebPDemuxGetFrame(demux.get(), 1, &frame.it) != 0;
        if (!frame.valid)
            return Refuse(name, QStringLiteral("its first frame is missing"));
        do {
            WebPBitstreamFeatures features;
            if (WebPGetFeatures(frame.it.fragment.bytes, frame.it.fragment.size, &features) !=
                VP8_STATUS_OK)
                return Refuse(name, QStringLiteral("frame %1 is damaged").arg(frame.it.frame_num));
            animation->durations.push_back(frame.it.duration);
            animation->lossless.push_back(features.format == 2);
        } while (WebPDemuxNextFrame(&frame.it));

        // The record sits in the XMP packet; older files carry it in a chunk
        // of its own.
        for (const char* fourcc : {"XMP ", kWebpRecordChunk}) {
            ChunkIterator chunk;
            chunk.valid = WebPDemuxGetChunk(demux.get(), fourcc, 1, &chunk.it) != 0;
            if (!chunk.valid)
                continue;
            const bool own = std::strcmp(fourcc, kWebpRecordChunk) == 0;
            if (std::int64_t(chunk.it.chunk.size) > kMaxRecordBytes) {
                // Another program's metadata may be large; it is simply not ours.
                if (!own)
                    continue;
                return Refuse(name, QStringLiteral("its animation record is %1 bytes long, not "
                                                   "one Velmora wrote")
                                        .arg(chunk.it.chunk.size));
            }
            const QByteArray bytes(reinterpret_cast<const char*>(chunk.it.chunk.bytes),
                                   qsizetype(chunk.it.chunk.size));
            animation->record = own ? bytes : WebpRecordFromXmp(bytes);
            if (!animation->record.isEmpty())
                break;
        }
        if (!pixels)
            return Status::Ok();

        // Every frame is kept, plus the decoder's own canvas and its copy.
        const std::int64_t canvasBytes = std::int64_t(width) * height * 4;
        used += canvasBytes * (std::int64_t(frames) + 2);
        if (used > limit)
            return Refuse(name, QStringLiteral("its %1 frames of %2 x %3 need more memory than a "
                                               "read may take (%4 MB)")
                                    .arg(frames)
                                    .arg(width)
                                    .arg(height)
                                    .arg(limit >> 20));
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options))
            return Refuse(name, QStringLiteral("the WebP library does not match its headers"));
        options.color_mode = MODE_RGBA;
        options.use_threads = 1;
        std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
            WebPAnimDecoderNew(&bytes, &options));
        if (!decoder)
            return Refuse(name, QStringLiteral("its WebP chunks are damaged"));
        animation->frames.reserve(frames);
        while (WebPAnimDecoderHasMoreFrames(decoder.get())) {
            std::uint8_t* canvas = nullptr;
            int timestamp = 0;
            if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
                return Refuse(
                    name, QStringLiteral("frame %1 is damaged").arg(animation->frames.size() + 1));
            // RGBA bytes in every byte order; the copy detaches from the
            // decoder's canvas, which the next frame overwrites.
            const QImage view(canvas, int(width), int(height), int(width) * 4,
                              QImage::Format_RGBA8888);
            QImage copy = view.convertToFormat(QImage::Format_ARGB32);
            if (copy.isNull())
                throw std::bad_alloc();
            animation->frames.push_back(std::move(copy));
        }
        if (animation->frames.size() != animation->durations.size())
            return Refuse(name, QStringLiteral("its frames do not match its frame list"));
        return Status::Ok();
    } catch (const std::bad_alloc&) {
        *animation = WebpAnimation();
        return Refuse(name, QStringLiteral("not enough memory"));
    }
}

Status ReadWebp(const QString& path, WebpAnimation* animation, bool pixels,
                std::int64_t memoryLimit) {
    *animation = WebpAnimation();
    // The file is held whole while it is read, so it counts too.
    const std::int64_t limit = memoryLimit > 0 ? memoryLimit : GifReadMemoryLimit();
    QByteArray data;
    if (Status s = ReadInputFile(path, limit / 2, QStringLiteral("a WebP"), &data); !s)
        return s;
    return ReadWebpData(data, animation, pixels, path, limit);
}
