#include "core/imaging/webp_writer.h"

#include "core/base/atomic_file.h"
#include "core/base/limits.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <future>
#include <memory>
#include <new>
#include <system_error>
#include <unordered_set>
#include <vector>

namespace {

struct AnimEncoderDeleter {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
};
struct MuxDeleter {
    void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};
// WebPData's bytes belong to libwebp until cleared.
struct OwnedWebPData {
    WebPData data;
    OwnedWebPData() { WebPDataInit(&data); }
    ~OwnedWebPData() { WebPDataClear(&data); }
    OwnedWebPData(const OwnedWebPData&) = delete;
    OwnedWebPData& operator=(const OwnedWebPData&) = delete;
};

Status EncoderError(WebPAnimEncoder* encoder) {
    const char* reason = encoder ? WebPAnimEncoderGetError(encoder) : nullptr;
    return Status::Error(
        QStringLiteral("The WebP encoder failed: %1")
            .arg(reason && *reason ? QString::fromUtf8(reason) : QStringLiteral("out of memory")));
}

Status NoMemory(QSize size, int frames) {
    return Status::Error(QStringLiteral("Not enough memory for the %1 x %2 WebP of %3 frames; the "
                                        "previous file is unchanged.")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(frames));
}

// The frame's pixels as the encoder takes them, 0xAARRGGBB words: RGB32 is
// that already (its alpha byte is 0xff), so cutting the cells out only
// clears words.
void CutCells(QImage* frame, const CellMask& mask) {
    const int w = std::min(frame->width(), mask.Width());
    const int h = std::min(frame->height(), mask.Height());
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(frame->scanLine(y));
        const std::uint8_t* cells = mask.Row(y);
        for (int x = 0; x < w; ++x)
            if (cells[x])
                row[x] = 0;
    }
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

} // namespace

Status CheckWebpFrameSize(QSize size) {
    if (size.width() > kMaxWebpSide || size.height() > kMaxWebpSide)
        return Status::WrongValue(
            QStringLiteral("A %1 x %2 frame is too large for a WebP: a WebP holds "
                           "at most %3 x %3 pixels.")
                .arg(size.width())
                .arg(size.height())
                .arg(kMaxWebpSide));
    if (size.width() < 1 || size.height() < 1)
        return Status::WrongValue(
            QStringLiteral("A %1 x %2 frame holds no pixels").arg(size.width()).arg(size.height()));
    return Status::Ok();
}

bool HasFewColors(const QImage& frame, int limit) {
    std::unordered_set<std::uint32_t> seen;
    seen.reserve(std::size_t(limit) * 2 + 2);
    std::uint32_t last = 0;
    bool any = false;
    for (int y = 0; y < frame.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x) {
            // Runs of one colour are the common case; the set sees each run once.
            if (any && row[x] == last)
                continue;
            any = true;
            last = row[x];
            seen.insert(last);
            if (int(seen.size()) > limit)
                return false;
        }
    }
    return true;
}

Status EncodeAnimatedWebpData(FrameSource& source, const WebpOptions& options,
                              ProgressSink* progress, QByteArray* data, WebpStats* stats) {
    QElapsedTimer wall;
    wall.start();
    const int count = source.FrameCount();
    const QSize size = source.FrameSize();
    if (Status s = CheckWebpFrameSize(size); !s)
        return s;
    if (count < 1)
        return Status::Error(QStringLiteral("The animation has no frames"));
    // Timestamps are ints of milliseconds: a play time beyond them cannot be
    // written, and is refused before any frame is drawn.
    qint64 playTime = 0;
    for (int i = 0; i < count; ++i)
        playTime += WebpDuration(source.FrameDelay(i));
    if (playTime > INT_MAX)
        return Status::Error(QStringLiteral("The animation plays for %1 seconds; a WebP holds at "
                                            "most %2.")
                                 .arg(playTime / 1000)
                                 .arg(INT_MAX / 1000));
    if (!FramesFitInMemory(size.width(), size.height(), 2))
        return NoMemory(size, count);

    try {
        const int threads =
            std::clamp(options.threads > 0 ? options.threads : QThread::idealThreadCount(), 1, 64);
        // Frames are drawn this far ahead of the encoder; each slot holds
        // one, so memory stays flat in the frame count.
        const int window = source.IsRandomAccess() ? std::min(threads + 1, count) : 1;
        std::vector<QImage> buffers(static_cast<std::size_t>(window));
        std::vector<std::future<Status>> pending(static_cast<std::size_t>(window));
        std::atomic<std::int64_t> drawNanos{0};
        const auto drawInto = [&](int index) -> Status {
            const double start = ThreadSeconds();
            QImage& frame = buffers[std::size_t(index % window)];
            if (frame.size() != size || frame.format() != QImage::Format_RGB32)
                frame = QImage(size, QImage::Format_RGB32);
            Status s = frame.isNull() ? NoMemory(size, count) : source.DrawFrame(index, &frame);
            // The encoder takes 0xAARRGGBB words: RGB32 and ARGB32 are that.
            if (s && frame.format() != QImage::Format_RGB32 &&
                frame.format() != QImage::Format_ARGB32)
                frame = frame.convertToFormat(QImage::Format_ARGB32);
            if (s && (frame.isNull() || frame.size() != size))
                s = frame.isNull()
                        ? NoMemory(size, count)
                        : Status::Error(QStringLiteral("Frame %1 has the wrong size").arg(index));
            drawNanos += std::int64_t((ThreadSeconds() - start) * 1e9);
            return s;
        };
        const auto launch = [&](int index) {
            if (window > 1)
                pending[std::size_t(index % window)] =
                    std::async(std::launch::async, drawInto, index);
        };
        const auto take = [&](int index) -> Status {
            if (window == 1)
                return drawInto(index);
            return pending[std::size_t(index % window)].get();
        };
        // Whatever ends the save, drawing threads finish before the buffers
        // they draw into go away.
        struct Join {
            std::vector<std::future<Status>>* pending;
            ~Join() {
                for (auto& f : *pending)
                    if (f.valid())
                        f.wait();
            }
        } join{&pending};

        if (!source.IsRandomAccess())
            source.Restart();
        for (int i = 0; i < window; ++i)
            launch(i);

        WebPAnimEncoderOptions encoderOptions;
        if (!WebPAnimEncoderOptionsInit(&encoderOptions))
            return Status::Error(QStringLiteral("The WebP library does not match its headers"));
        encoderOptions.anim_params.loop_count = 0; // forever
        // Transparent where nothing is drawn, so the table's colour shows.
        encoderOptions.anim_params.bgcolor = options.mask ? 0x00000000u : 0xffffffffu;
        std::unique_ptr<WebPAnimEncoder, AnimEncoderDeleter> encoder(
            WebPAnimEncoderNew(size.width(), size.height(), &encoderOptions));
        if (!encoder)
            return NoMemory(size, count);

        WebPConfig config;
        if (!WebPConfigInit(&config))
            return Status::Error(QStringLiteral("The WebP library does not match its headers"));
        config.quality = float(std::clamp(options.quality, 0, 100));
        config.thread_level = 1;
        bool decided = options.compression != WebpCompression::Auto;
        config.lossless = options.compression == WebpCompression::Lossless ? 1 : 0;

        double encodeSeconds = 0;
        int timestamp = 0;
        for (int i = 0; i < count; ++i) {
            if (Status s = take(i); !s)
                return s;
            QImage& frame = buffers[std::size_t(i % window)];
            if (options.mask)
                CutCells(&frame, *options.mask);
            if (!decided) {
                // The first frame speaks for the animation: the stripes keep
                // their few colours throughout, the clouds and pictures
                // never have few.
                config.lossless = HasFewColors(frame, options.fewColors) ? 1 : 0;
                decided = true;
            }
            if (!WebPValidateConfig(&config))
                return Status::Error(QStringLiteral("The WebP settings are not valid"));
            QElapsedTimer timer;
            timer.start();
            WebPPicture picture;
            if (!WebPPictureInit(&picture))
                return Status::Error(QStringLiteral("The WebP library does not match its headers"));
            picture.use_argb = 1;
            picture.width = size.width();
            picture.height = size.height();
            // The encoder copies the pixels; the frame lends them for the call.
            picture.argb = reinterpret_cast<std::uint32_t*>(frame.bits());
            picture.argb_stride = int(frame.bytesPerLine() / 4);
            const int added = WebPAnimEncoderAdd(encoder.get(), &picture, timestamp, &config);
            WebPPictureFree(&picture); // frees nothing borrowed; clears error state
            encodeSeconds += double(timer.nsecsElapsed()) * 1e-9;
            if (!added)
                return EncoderError(encoder.get());
            timestamp += WebpDuration(source.FrameDelay(i));
            if (i + window < count)
                launch(i + window);
            if (progress && !progress->Progress(i + 1, count + 1))
                return Status::Error(CancelledMessage());
        }

        QElapsedTimer timer;
        timer.start();
        if (!WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr))
            return EncoderError(encoder.get());
        OwnedWebPData assembled;
        if (!WebPAnimEncoderAssemble(encoder.get(), &assembled.data))
            return EncoderError(encoder.get());
        encoder.reset();

        if (!options.record.isEmpty()) {
            std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&assembled.data, 0));
            if (!mux)
                return Status::Error(QStringLiteral("The WebP encoder wrote a file its own reader "
                                                    "refuses"));
            WebPData chunk{reinterpret_cast<const std::uint8_t*>(options.record.constData()),
                           std::size_t(options.record.size())};
            if (WebPMuxSetChunk(mux.get(), kWebpRecordChunk, &chunk, 1) != WEBP_MUX_OK)
                return NoMemory(size, count);
            OwnedWebPData withRecord;
            if (WebPMuxAssemble(mux.get(), &withRecord.data) != WEBP_MUX_OK)
                return NoMemory(size, count);
            *data = QByteArray(reinterpret_cast<const char*>(withRecord.data.bytes),
                               qsizetype(withRecord.data.size));
        } else {
            *data = QByteArray(reinterpret_cast<const char*>(assembled.data.bytes),
                               qsizetype(assembled.data.size));
        }
        encodeSeconds += double(timer.nsecsElapsed()) * 1e-9;
        if (progress && !progress->Progress(count + 1, count + 1))
            return Status::Error(CancelledMessage());
        if (stats) {
            stats->frames = count;
            stats->lossless = config.lossless != 0;
            stats->drawSeconds = double(drawNanos.load()) * 1e-9;
            stats->encodeSeconds = encodeSeconds;
            stats->wallSeconds = double(wall.nsecsElapsed()) * 1e-9;
        }
        return Status::Ok();
    } catch (const std::bad_alloc&) {
        return NoMemory(size, count);
    } catch (const std::system_error&) {
        return Status::Error(QStringLiteral("No thread could be started for the WebP's frames"));
    }
}

Status EncodeAnimatedWebp(FrameSource& source, const QString& path, const WebpOptions& options,
                          ProgressSink* progress, WebpStats* stats) {
    if (Status s = CheckWebpFrameSize(source.FrameSize()); !s)
        return s;
    // The target is claimed first, so a folder that cannot take it is said
    // before any frame is drawn.
    AtomicFile file(path);
    if (Status s = file.Open(); !s)
        return s;
    QByteArray data;
    if (Status s = EncodeAnimatedWebpData(source, options, progress, &data, stats); !s)
        return s;
    file.Write(data);
    return file.Commit();
}
