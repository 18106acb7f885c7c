#include "core/imaging/webp_writer.h"

#include "core/base/atomic_file.h"
#include "core/base/huge_pages.h"
#include "core/base/limits.h"
#include "core/imaging/frame_image.h"
#include "core/imaging/vp8l_encoder.h"
#include "core/imaging/webp_container.h"
#include "core/imaging/webp_record.h"

#include <webp/encode.h>

#include <QElapsedTimer>
#include <QRect>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <unordered_set>
#include <vector>

namespace {

// A frame's duration field is 24 bits of milliseconds.
constexpr int kMaxWebpDuration = (1 << 24) - 1;
// Effort levels (0-6) measured on the six types' saves: lossy 2 is as small
// as 4 at half the time; lossless 1 as small as 4 (within 1%) at 80% of it,
// where 0 is up to a quarter larger.
constexpr int kLossyMethod = 2;
constexpr int kLosslessMethod = 1;
// The share of a frame's rectangle (in percent) that must be unchanged
// before the rest is blended over the frame before: blinking clouds shrink
// to 40% so, while flowing clouds, whose scattered unchanged pixels cost
// more as holes than as colours, would grow by a quarter at 50%.
constexpr int kBlendPercent = 70;

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

struct DrawnFrame {
    Status status;
    QImage image;
};

struct EncodedFrame {
    Status status;
    QByteArray bytes; // a still WebP of the rectangle
    QRect rect;
    bool blend = false; // drawn over the frame before, not replacing it
    bool ours = false;  // by Vp8lEncoder
};

template <typename T> bool IsReady(const std::future<T>& f) {
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// Settings chosen on the bench (bench/compare-webp): the lowest effort
// whose files are not noticeably larger, since the WebP is written beside
// the GIF and must not make the save much slower.
bool FrameConfig(bool lossless, int quality, WebPConfig* config) {
    if (!WebPConfigInit(config))
        return false;
    config->lossless = lossless ? 1 : 0;
    config->quality = float(std::clamp(quality, 0, 100));
    config->method = lossless ? kLosslessMethod : kLossyMethod;
    // Frames are encoded side by side already.
    config->thread_level = 0;
    return WebPValidateConfig(config) != 0;
}

// The smallest rectangle (on even offsets, as a WebP frame must start)
// holding every pixel that differs from the frame before; a frame that
// differs nowhere still gets its own one-pixel frame, so the WebP has as
// many frames as the GIF and a viewer's frame N is the GIF's.
QRect ChangedRect(const QImage& previous, const QImage& current) {
    const int w = current.width(), h = current.height();
    int top = -1, bottom = -1, left = w, right = -1;
    for (int y = 0; y < h; ++y) {
        const auto* a = reinterpret_cast<const std::uint32_t*>(previous.constScanLine(y));
        const auto* b = reinterpret_cast<const std::uint32_t*>(current.constScanLine(y));
        int x0 = 0;
        while (x0 < w && a[x0] == b[x0])
            ++x0;
        if (x0 == w)
            continue;
        int x1 = w - 1;
        while (a[x1] == b[x1])
            --x1;
        if (top < 0)
            top = y;
        bottom = y;
        left = std::min(left, x0);
        right = std::max(right, x1);
    }
    if (top < 0)
        return QRect(0, 0, 1, 1);
    left &= ~1;
    top &= ~1;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// A frame encoding's working memory, handed from one frame to the next so
// that each does not fault in fresh pages.
struct FrameWork {
    Vp8lEncoder fast;
    std::vector<std::uint32_t> argb;
};
class FrameWorkPool {
public:
    std::unique_ptr<FrameWork> Take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_free.empty())
            return std::make_unique<FrameWork>();
        std::unique_ptr<FrameWork> work = std::move(m_free.back());
        m_free.pop_back();
        return work;
    }
    void Give(std::unique_ptr<FrameWork> work) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.push_back(std::move(work));
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<FrameWork>> m_free;
};

// Frames done with, drawn into again: fresh pages for every frame cost
// more than drawing a small frame. A frame is only taken once nothing else
// holds it (the encodings of it and the frame after it have ended).
class SpareFrames {
public:
    explicit SpareFrames(int most) : m_nMost(most) {}
    QImage Take(QSize size) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto spare = m_spares.begin(); spare != m_spares.end(); ++spare)
                if (spare->isDetached()) {
                    // The count is read relaxed: the fence orders this
                    // thread's drawing after the encodings' reads of the
                    // pixels, which ended with their release of the count.
                    std::atomic_thread_fence(std::memory_order_acquire);
                    QImage image = std::move(*spare);
                    m_spares.erase(spare);
                    if (image.size() == size && image.format() == QImage::Format_RGB32)
                        return image;
                    break;
                }
        }
        return NewFrameImage(size);
    }
    void Give(QImage image) {
        if (image.isNull())
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (int(m_spares.size()) < m_nMost)
            m_spares.push_back(std::move(image));
    }

private:
    std::mutex m_mutex;
    std::vector<QImage> m_spares;
    int m_nMost;
};

// One frame's rectangle as a still WebP. The pixels are copied: the encoder
// may rewrite them (transparent pixels' colours), and the frame is read by
// the next frame's job at the same time. Losslessly, pixels equal to the
// frame before's are made transparent and the frame is blended over it, so
// what did not change costs almost nothing; this is exact, and is left out
// where the frame clears a pixel the frame before had drawn (a blend cannot
// clear it).
EncodedFrame EncodeFrame(const QImage* previous, const QImage& frame, QRect rect,
                         const WebPConfig& config, FrameWork* work, bool fast) {
    EncodedFrame out;
    out.rect = rect;
    const int w = rect.width(), h = rect.height();
    std::vector<std::uint32_t>& argb = work->argb;
    argb.resize(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        std::memcpy(argb.data() + std::size_t(y) * std::size_t(w),
                    reinterpret_cast<const std::uint32_t*>(frame.constScanLine(rect.y() + y)) +
                        rect.x(),
                    std::size_t(w) * 4);
    if (previous && config.lossless) {
        // A pixel left transparent means "as before" once blended, so a
        // frame whose own transparent pixels changed cannot blend. Scattered
        // unchanged pixels (a dithered picture moving) cost more as holes
        // than as colours: only a frame mostly unchanged blends.
        out.blend = true;
        std::int64_t same = 0;
        for (int y = 0; y < rect.height() && out.blend; ++y) {
            const auto* before =
                reinterpret_cast<const std::uint32_t*>(previous->constScanLine(rect.y() + y)) +
                rect.x();
            const std::uint32_t* now = argb.data() + std::size_t(y) * std::size_t(w);
            for (int x = 0; x < rect.width(); ++x) {
                if ((now[x] >> 24) == 0 && now[x] != before[x]) {
                    out.blend = false;
                    break;
                }
                same += now[x] == before[x];
            }
        }
        out.blend =
            out.blend && same * 100 >= std::int64_t(rect.width()) * rect.height() * kBlendPercent;
        for (int y = 0; y < rect.height() && out.blend; ++y) {
            const auto* before =
                reinterpret_cast<const std::uint32_t*>(previous->constScanLine(rect.y() + y)) +
                rect.x();
            std::uint32_t* now = argb.data() + std::size_t(y) * std::size_t(w);
            for (int x = 0; x < rect.width(); ++x)
                if (now[x] == before[x])
                    now[x] = 0;
        }
    }
    if (config.lossless && fast && work->fast.Encode(argb.data(), w, h, w, &out.bytes)) {
        out.ours = true;
        return out;
    }
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) {
        out.status = Status::Error(QStringLiteral("The WebP library does not match its headers"));
        return out;
    }
    picture.use_argb = 1;
    picture.width = w;
    picture.height = h;
    if (!WebPPictureAlloc(&picture))
        throw std::bad_alloc();
    for (int y = 0; y < h; ++y)
        std::memcpy(picture.argb + std::size_t(y) * std::size_t(picture.argb_stride),
                    argb.data() + std::size_t(y) * std::size_t(w), std::size_t(w) * 4);
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const int ok = WebPEncode(&config, &picture);
    const WebPEncodingError error = picture.error_code;
    WebPPictureFree(&picture);
    if (ok)
        out.bytes = QByteArray(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size));
    WebPMemoryWriterClear(&writer);
    if (!ok) {
        if (error == VP8_ENC_ERROR_OUT_OF_MEMORY || error == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY)
            throw std::bad_alloc();
        out.status = Status::Error(
            QStringLiteral("The WebP encoder failed on a frame (error %1)").arg(int(error)));
    }
    return out;
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

namespace {

// Sink failures are told by the sink's owner (a file names its reason).
Status SinkFailed() {
    return Status::Error(QStringLiteral("The WebP could not be written"));
}

Status EncodeFrames(FrameSource& source, const WebpOptions& options, ProgressSink* progress,
                    WebpContainerWriter::Sink* sink, WebpStats* stats) {
    QElapsedTimer wall;
    wall.start();
    const int count = source.FrameCount();
    const QSize size = source.FrameSize();
    if (Status s = CheckWebpFrameSize(size); !s)
        return s;
    if (count < 1)
        return Status::Error(QStringLiteral("The animation has no frames"));
    // A frame's duration is 24 bits of milliseconds and the play time is
    // summed in ints: beyond them nothing is drawn.
    qint64 playTime = 0;
    for (int i = 0; i < count; ++i) {
        const int duration = WebpDuration(source.FrameDelay(i));
        if (duration > kMaxWebpDuration)
            return Status::Error(QStringLiteral("Frame %1 stays %2 seconds; a WebP frame stays "
                                                "at most %3.")
                                     .arg(i + 1)
                                     .arg(duration / 1000)
                                     .arg(kMaxWebpDuration / 1000));
        playTime += duration;
    }
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
        WebPConfig lossy, lossless;
        if (!FrameConfig(false, options.quality, &lossy) ||
            !FrameConfig(true, options.quality, &lossless))
            return Status::Error(QStringLiteral("The WebP settings are not valid"));
        bool decided = options.compression != WebpCompression::Auto;
        // Whether Vp8lEncoder takes the lossless frames it can.
        bool fast = options.losslessEncoder == WebpLosslessEncoder::Fast;
        std::optional<EncodedFrame> firstLossless;
        bool useLossless = options.compression == WebpCompression::Lossless;

        SpareFrames spares(threads * 2 + 4);
        std::atomic<std::int64_t> drawNanos{0};
        std::atomic<std::int64_t> encodeNanos{0};
        const auto draw = [&](int index) -> DrawnFrame {
            const double start = ThreadSeconds();
            DrawnFrame drawn;
            drawn.image = spares.Take(size);
            drawn.status = drawn.image.isNull() ? NoMemory(size, count)
                                                : source.DrawFrame(index, &drawn.image);
            // The encoder takes 0xAARRGGBB words: RGB32 and ARGB32 are that.
            if (drawn.status && drawn.image.format() != QImage::Format_RGB32 &&
                drawn.image.format() != QImage::Format_ARGB32)
                drawn.image = drawn.image.convertToFormat(QImage::Format_ARGB32);
            if (drawn.status && (drawn.image.isNull() || drawn.image.size() != size))
                drawn.status =
                    drawn.image.isNull()
                        ? NoMemory(size, count)
                        : Status::Error(QStringLiteral("Frame %1 has the wrong size").arg(index));
            if (drawn.status && options.mask)
                CutCells(&drawn.image, *options.mask);
            drawNanos += std::int64_t((ThreadSeconds() - start) * 1e9);
            return drawn;
        };
        FrameWorkPool pool;
        const auto encode = [&encodeNanos, &pool](QImage previous, QImage frame, QRect rect,
                                                  WebPConfig config, bool ours) {
            const double start = ThreadSeconds();
            std::unique_ptr<FrameWork> work = pool.Take();
            EncodedFrame encoded = EncodeFrame(previous.isNull() ? nullptr : &previous, frame, rect,
                                               config, work.get(), ours);
            pool.Give(std::move(work));
            encodeNanos += std::int64_t((ThreadSeconds() - start) * 1e9);
            return encoded;
        };

        // Frames are drawn a window ahead and encoded a window behind, each
        // on its own thread; only those in flight are held, so memory stays
        // flat in the frame count. A frame's encoding depends on nothing but
        // it and the frame before, so the bytes are the same for any number
        // of threads.
        const int drawWindow = source.IsRandomAccess() ? std::min(threads + 1, count) : 1;
        std::vector<std::future<DrawnFrame>> drawing(static_cast<std::size_t>(drawWindow));
        std::deque<std::future<EncodedFrame>> encoding;
        // Whatever ends the save, threads finish before what they use goes.
        struct Join {
            std::vector<std::future<DrawnFrame>>* drawing;
            std::deque<std::future<EncodedFrame>>* encoding;
            ~Join() {
                for (auto& f : *drawing)
                    if (f.valid())
                        f.wait();
                for (auto& f : *encoding)
                    if (f.valid())
                        f.wait();
            }
        } join{&drawing, &encoding};
        const auto launchDraw = [&](int index) {
            if (drawWindow > 1)
                drawing[std::size_t(index % drawWindow)] =
                    std::async(std::launch::async, draw, index);
        };
        const auto takeDrawn = [&](int index) -> DrawnFrame {
            if (drawWindow == 1)
                return draw(index);
            return drawing[std::size_t(index % drawWindow)].get();
        };

        const QByteArray xmp =
            options.record.isEmpty() ? QByteArray() : WebpRecordXmp(options.record);
        // Transparent where nothing is drawn, so the table's colour shows.
        WebpContainerWriter container(sink, size, options.mask ? 0x00000000u : 0xffffffffu,
                                      0 /* forever */, !xmp.isEmpty());
        int pushed = 0;
        const auto pushOldest = [&]() -> Status {
            EncodedFrame frame = encoding.front().get();
            encoding.pop_front();
            if (!frame.status)
                return frame.status;
            // Unless blended, the rectangle replaces what was there,
            // transparency included.
            if (Status s = container.AddFrame(frame.bytes, frame.rect.topLeft(),
                                              WebpDuration(source.FrameDelay(pushed)), frame.blend);
                !s)
                return s;
            if (!container.SinkOk())
                return SinkFailed();
            ++pushed;
            if (progress && !progress->Progress(pushed, count + 1))
                return Status::Error(CancelledMessage());
            return Status::Ok();
        };

        if (!source.IsRandomAccess())
            source.Restart();
        for (int i = 0; i < drawWindow; ++i)
            launchDraw(i);
        QImage previous;
        for (int i = 0; i < count; ++i) {
            DrawnFrame drawn = takeDrawn(i);
            if (!drawn.status)
                return drawn.status;
            if (i + drawWindow < count)
                launchDraw(i + drawWindow);
            const QRect rect =
                i == 0 ? QRect(QPoint(0, 0), size) : ChangedRect(previous, drawn.image);
            if (i == 0 && options.losslessEncoder == WebpLosslessEncoder::Smaller &&
                options.compression != WebpCompression::Lossy) {
                // The first frame also chooses the lossless encoder: ours
                // where it comes out no larger.
                fast = false;
                EncodedFrame mine;
                if (HasFewColors(drawn.image, Vp8lEncoder::kMaxColors))
                    mine = encode(previous, drawn.image, rect, lossless, true);
                if (!mine.status)
                    return mine.status;
                if (mine.ours) {
                    EncodedFrame theirs = encode(previous, drawn.image, rect, lossless, false);
                    if (!theirs.status)
                        return theirs.status;
                    fast = mine.bytes.size() <= theirs.bytes.size();
                    // Kept, so that the frame is not encoded a third time.
                    firstLossless = fast ? std::move(mine) : std::move(theirs);
                }
            }
            if (!decided) {
                // The first frame speaks for the animation. Many colours go
                // lossy; few are tried both ways, since a soft picture of a
                // few hundred colours can still be smaller lossy.
                decided = true;
                useLossless = false;
                if (HasFewColors(drawn.image, options.fewColors)) {
                    std::future<EncodedFrame> losslessTry;
                    if (!firstLossless)
                        losslessTry = std::async(std::launch::async, encode, previous, drawn.image,
                                                 rect, lossless, fast);
                    EncodedFrame lossyTry = encode(previous, drawn.image, rect, lossy, false);
                    EncodedFrame losslessFrame =
                        firstLossless ? std::move(*firstLossless) : losslessTry.get();
                    firstLossless.reset();
                    if (!lossyTry.status || !losslessFrame.status)
                        return lossyTry.status ? losslessFrame.status : lossyTry.status;
                    useLossless = losslessFrame.bytes.size() <= lossyTry.bytes.size();
                    std::promise<EncodedFrame> chosen;
                    chosen.set_value(useLossless ? std::move(losslessFrame) : std::move(lossyTry));
                    encoding.push_back(chosen.get_future());
                }
            }
            if (firstLossless && useLossless) {
                std::promise<EncodedFrame> ready;
                ready.set_value(std::move(*firstLossless));
                encoding.push_back(ready.get_future());
            }
            firstLossless.reset();
            if (encoding.size() < std::size_t(i + 1 - pushed))
                encoding.push_back(std::async(std::launch::async, encode, previous, drawn.image,
                                              rect, useLossless ? lossless : lossy, fast));
            spares.Give(std::move(previous));
            previous = std::move(drawn.image);
            while (encoding.size() >= std::size_t(threads) ||
                   (!encoding.empty() && IsReady(encoding.front())))
                if (Status s = pushOldest(); !s)
                    return s;
        }
        while (!encoding.empty())
            if (Status s = pushOldest(); !s)
                return s;

        QElapsedTimer timer;
        timer.start();
        if (Status s = container.Finish(xmp); !s)
            return s;
        if (!container.SinkOk())
            return SinkFailed();
        const double finishSeconds = double(timer.nsecsElapsed()) * 1e-9;
        if (progress && !progress->Progress(count + 1, count + 1))
            return Status::Error(CancelledMessage());
        if (stats) {
            stats->frames = count;
            stats->lossless = useLossless;
            stats->drawSeconds = double(drawNanos.load()) * 1e-9;
            stats->encodeSeconds = double(encodeNanos.load()) * 1e-9 + finishSeconds;
            stats->wallSeconds = double(wall.nsecsElapsed()) * 1e-9;
        }
        return Status::Ok();
    } catch (const std::bad_alloc&) {
        return NoMemory(size, count);
    } catch (const std::system_error&) {
        return Status::Error(QStringLiteral("No thread could be started for the WebP's frames"));
    }
}

class FileSink : public WebpContainerWriter::Sink {
public:
    explicit FileSink(AtomicFile* file) : m_pFile(file) {}
    bool Append(const char* data, qint64 size) override { return m_pFile->Write(data, size); }
    bool Overwrite(qint64 offset, const char* data, qint64 size) override {
        return m_pFile->WriteAt(offset, data, size);
    }

private:
    AtomicFile* m_pFile;
};

} // namespace

Status EncodeAnimatedWebpData(FrameSource& source, const WebpOptions& options,
                              ProgressSink* progress, QByteArray* data, WebpStats* stats) {
    data->clear();
    WebpByteSink sink(data);
    const Status s = EncodeFrames(source, options, progress, &sink, stats);
    if (!s)
        data->clear(); // no half file
    return s;
}

Status EncodeAnimatedWebp(FrameSource& source, const QString& path, const WebpOptions& options,
                          ProgressSink* progress, WebpStats* stats) {
    if (Status s = CheckWebpFrameSize(source.FrameSize()); !s)
        return s;
    // The target is claimed first, so a folder that cannot take it is said
    // before any frame is drawn. The frames go into the file as they are
    // encoded, so a long animation holds only those in flight.
    AtomicFile file(path);
    if (Status s = file.Open(); !s)
        return s;
    FileSink sink(&file);
    Status s = EncodeFrames(source, options, progress, &sink, stats);
    ReleaseSpareFrameMemory();
    // A write that failed is told as the file tells it, the file dropped.
    if (!s && file.error() == QFileDevice::NoError)
        return s;
    return file.Commit();
}
