#include "imaging/frame_encoder.h"

#include "imaging/color_histogram.h"
#include "imaging/lzw_encoder.h"
#include "imaging/palette.h"
#include "imaging/remapper.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int ThreadCount(int requested, int work) {
    int n = requested > 0 ? requested : int(std::thread::hardware_concurrency());
    return std::clamp(n, 1, std::max(1, work));
}

// Runs body(worker) on `threads` threads (the caller's is one of them).
template <typename Body> void RunOnThreads(int threads, Body body) {
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(body, t);
    body(0);
    for (auto& t : pool)
        t.join();
}

// Draws the frames a sequential source must produce in order, one at a time.
class DrawTurn {
public:
    void Wait(int index, const std::atomic<bool>& abort) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_nNext == index || abort.load(); });
    }
    void Done(int index) {
        {
            std::lock_guard lock(m_mutex);
            m_nNext = index + 1;
        }
        m_cv.notify_all();
    }
    void WakeAll() { m_cv.notify_all(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_nNext = 0;
};

} // namespace

// Share of unchanged pixels in a frame's changed rectangle from which they
// are stored as transparent holes rather than as themselves.
constexpr double kHolesShare = 0.85;

QString CancelledMessage() {
    return QStringLiteral("The save was cancelled.");
}

ChangedPart FindChanges(const IndexedImage& frame, const std::vector<std::uint8_t>& previous) {
    const int w = frame.width, h = frame.height;
    ChangedPart part;
    int left = w, right = -1, top = h, bottom = -1;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* a = frame.Row(y);
        const std::uint8_t* b = previous.data() + std::size_t(y) * w;
        if (std::memcmp(a, b, std::size_t(w)) == 0)
            continue;
        int x0 = 0, x1 = w - 1;
        while (a[x0] == b[x0])
            ++x0;
        while (a[x1] == b[x1])
            --x1;
        left = std::min(left, x0), right = std::max(right, x1);
        top = std::min(top, y), bottom = y;
    }
    if (right < 0)
        return part; // empty
    part.rect = QRect(left, top, right - left + 1, bottom - top + 1);
    std::size_t same = 0;
    for (int y = top; y <= bottom; ++y) {
        const std::uint8_t* a = frame.Row(y);
        const std::uint8_t* b = previous.data() + std::size_t(y) * w;
        for (int x = left; x <= right; ++x)
            same += a[x] == b[x];
    }
    part.unchangedShare = double(same) / (double(part.rect.width()) * part.rect.height());
    return part;
}

double StillShare(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32),
                 y = b.convertToFormat(QImage::Format_RGB32);
    std::size_t same = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            same += ((p[col] ^ q[col]) & 0xFFFFFFu) == 0;
    }
    return double(same) / (double(x.width()) * x.height());
}

IndexedImage CutOut(const IndexedImage& frame, const std::vector<std::uint8_t>& previous,
                    const ChangedPart& part, int unchanged) {
    IndexedImage out;
    out.delay = frame.delay;
    out.disposal = frame.disposal;
    out.transparentIndex = frame.transparentIndex;
    if (part.rect.isEmpty()) {
        // Nothing changed: one pixel keeps the frame's time, transparent or
        // the same as before.
        out.width = out.height = 1;
        out.pixels.assign(1, unchanged >= 0 ? std::uint8_t(unchanged) : frame.pixels[0]);
        if (unchanged >= 0)
            out.transparentIndex = unchanged;
        return out;
    }
    out.left = part.rect.left(), out.top = part.rect.top();
    out.width = part.rect.width(), out.height = part.rect.height();
    out.pixels.resize(std::size_t(out.width) * out.height);
    if (unchanged >= 0)
        out.transparentIndex = unchanged;
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t* a = frame.Row(out.top + y) + out.left;
        const std::uint8_t* b = previous.data() + std::size_t(out.top + y) * frame.width + out.left;
        std::uint8_t* dst = out.Row(y);
        if (unchanged < 0) {
            std::memcpy(dst, a, std::size_t(out.width));
            continue;
        }
        for (int x = 0; x < out.width; ++x)
            dst[x] = a[x] == b[x] ? std::uint8_t(unchanged) : a[x];
    }
    return out;
}

Status EncodeAnimatedGif(FrameSource& source, const QString& path, const EncodeOptions& options,
                         ProgressSink* progress, EncodeStats* stats) {
    const auto wallStart = Clock::now();
    EncodeStats local;
    EncodeStats& st = stats ? *stats : local;
    st = EncodeStats();

    const int count = source.FrameCount();
    const QSize size = source.FrameSize();
    if (count < 1)
        return Status::Error(
            QStringLiteral("Cannot write %1: the animation has no frames").arg(path));
    if (size.width() < 1 || size.height() < 1 || size.width() > 65535 || size.height() > 65535)
        return Status::Error(QStringLiteral("Cannot write %1: a GIF image cannot be %2 x %3 pixels")
                                 .arg(path)
                                 .arg(size.width())
                                 .arg(size.height()));
    const bool randomAccess = source.IsRandomAccess();
    const std::size_t framePixels = std::size_t(size.width()) * std::size_t(size.height());

    // Which frames the palette looks at.
    const std::size_t budget = std::max<std::size_t>(options.paletteSamplePixels, framePixels);
    const int sampled = int(std::min<std::size_t>(std::size_t(count), budget / framePixels));
    std::vector<int> samples(sampled);
    for (int k = 0; k < sampled; ++k)
        samples[k] = int((std::int64_t(k) * count) / sampled);
    const bool keepFrames = sampled == count;
    std::vector<QImage> kept(keepFrames ? count : 0);
    st.sampledFrames = sampled;
    const int total = (randomAccess ? sampled : count) + count;

    std::atomic<bool> abort{false};
    std::mutex mutex;
    std::optional<Status> failure;
    auto fail = [&](Status s) {
        std::lock_guard lock(mutex);
        if (!failure)
            failure = std::move(s);
        abort = true;
    };
    std::atomic<int> progressDone{0};
    std::mutex progressMutex;
    auto report = [&]() {
        const int done = ++progressDone;
        if (!progress)
            return;
        std::lock_guard lock(progressMutex);
        if (!abort && !progress->Progress(done, total))
            fail(Status::Error(CancelledMessage()));
    };
    auto clock = [](double& accumulator, std::mutex& m, Clock::time_point start) {
        const double s = SecondsSince(start);
        std::lock_guard lock(m);
        accumulator += s;
    };
    std::mutex statsMutex;

    // Pass 1: the histogram of the sampled frames, and the first two frames,
    // which tell whether much of the picture stays from frame to frame.
    ColorHistogram histogram;
    QImage firstFrames[2];
    if (randomAccess) {
        std::atomic<int> next{0};
        const int threads = ThreadCount(options.threads, sampled);
        RunOnThreads(threads, [&](int) {
            ColorHistogram mine;
            QImage frame;
            for (;;) {
                const int k = next++;
                if (k >= sampled || abort)
                    break;
                auto t0 = Clock::now();
                frame = QImage();
                if (Status s = source.DrawFrame(samples[k], &frame); !s) {
                    fail(s);
                    break;
                }
                clock(st.drawSeconds, statsMutex, t0);
                t0 = Clock::now();
                mine.AddFrame(frame);
                clock(st.paletteSeconds, statsMutex, t0);
                if (keepFrames)
                    kept[samples[k]] = frame;
                if (samples[k] < 2)
                    firstFrames[samples[k]] = frame;
                report();
            }
            const auto t0 = Clock::now();
            std::lock_guard lock(mutex);
            histogram.Merge(mine);
            st.paletteSeconds += SecondsSince(t0);
        });
    } else {
        QImage frame;
        std::size_t s = 0;
        for (int i = 0; i < count && !abort; ++i) {
            auto t0 = Clock::now();
            if (Status status = source.DrawFrame(i, &frame); !status) {
                fail(status);
                break;
            }
            st.drawSeconds += SecondsSince(t0);
            if (s < samples.size() && samples[s] == i) {
                t0 = Clock::now();
                histogram.AddFrame(frame);
                st.paletteSeconds += SecondsSince(t0);
                if (keepFrames)
                    kept[i] = frame.copy();
                ++s;
            }
            if (i < 2)
                firstFrames[i] = frame.copy();
            report();
        }
        source.Restart();
    }
    if (failure)
        return *failure;

    const bool masked = options.mask && !options.mask->IsEmpty();
    const bool interframe =
        options.interframe && (options.disposal == 0 || options.disposal == 1) && count > 1;
    PaletteColors palette;
    auto t0 = Clock::now();
    if (Status s =
            ChoosePalette(histogram, options.maxColors, masked, options.transparentColor, &palette);
        !s)
        return s;
    // When the palette holds every colour of every frame, error diffusion
    // has no error to spread: the plain remap gives the same indices faster.
    const bool dither =
        options.dither && !(sampled == count && histogram.IsExact() &&
                            histogram.ColorCount() + (masked ? 1 : 0) <= palette.size());
    std::optional<Remapper> remapper;
    remapper.emplace(palette, masked ? 1 : 0);
    // Pixels a frame shares with the one before can be left transparent:
    // with a mask, entry 0 already is; otherwise only a palette with room to
    // spare gets an entry for it, as taking one from a full palette would
    // cost every frame some quality.
    int unchanged = -1;
    if (interframe && masked) {
        unchanged = 0;
    } else if (interframe && palette.size() >= 2) {
        bool reserve = int(palette.size()) < std::min(options.maxColors, 256);
        if (!reserve && count > 1) {
            // A full palette gives up its last colour only for a picture
            // that mostly stays.
            if (firstFrames[1].isNull() && randomAccess)
                source.DrawFrame(1, &firstFrames[1]);
            reserve = StillShare(firstFrames[0], firstFrames[1]) >= 0.5;
            if (reserve) {
                if (Status st2 = ChoosePalette(histogram, std::min(options.maxColors, 256) - 1,
                                               false, options.transparentColor, &palette);
                    !st2)
                    return st2;
                remapper.emplace(palette, 0);
            }
        }
        if (reserve) {
            unchanged = int(palette.size());
            palette.push_back(qRgb(0, 0, 0));
        }
    }
    st.paletteSeconds += SecondsSince(t0);
    st.paletteSize = int(palette.size());

    GifWriter writer;
    if (Status s = writer.Open(path, size.width(), size.height(), palette, options.file); !s)
        return s;

    // Pass 2: remap in parallel, write in order. At most `window` frames are
    // in flight so memory stays bounded whatever the frame count.
    const int threads = ThreadCount(options.threads, count);
    const int window = threads * 3;
    std::condition_variable cv;
    struct ReadyFrame {
        IndexedImage image;
        std::vector<std::uint8_t> lzw;
    };
    std::map<int, ReadyFrame> ready;
    // Each frame's indices, kept until the next frame has compared itself
    // with them.
    std::map<int, std::shared_ptr<const std::vector<std::uint8_t>>> shown;
    const int minCodeSize = writer.MinCodeSize();
    int nextToClaim = 0;
    int written = 0;
    DrawTurn turn;

    auto worker = [&](int) {
        QImage frame;
        for (;;) {
            int i;
            {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] {
                    return abort || nextToClaim >= count || nextToClaim < written + window;
                });
                if (abort || nextToClaim >= count)
                    return;
                i = nextToClaim++;
            }
            auto t = Clock::now();
            if (keepFrames) {
                frame = std::move(kept[i]);
                kept[i] = QImage();
            } else {
                if (!randomAccess)
                    turn.Wait(i, abort);
                if (abort)
                    return;
                frame = QImage();
                Status s = source.DrawFrame(i, &frame);
                if (!randomAccess)
                    turn.Done(i);
                if (!s) {
                    fail(s);
                    cv.notify_all();
                    turn.WakeAll();
                    return;
                }
                clock(st.drawSeconds, statsMutex, t);
            }
            t = Clock::now();
            IndexedImage indexed(size.width(), size.height());
            remapper->Remap(frame, dither, indexed.pixels.data());
            if (masked)
                MergeCellMask(indexed, *options.mask);
            indexed.delay = source.FrameDelay(i);
            indexed.disposal = options.disposal;
            clock(st.remapSeconds, statsMutex, t);
            t = Clock::now();
            if (interframe) {
                auto mine = std::make_shared<const std::vector<std::uint8_t>>(indexed.pixels);
                std::shared_ptr<const std::vector<std::uint8_t>> previous;
                {
                    std::unique_lock lock(mutex);
                    shown.emplace(i, mine);
                    cv.notify_all();
                    if (i > 0) {
                        cv.wait(lock, [&] { return abort || shown.count(i - 1) > 0; });
                        if (abort)
                            return;
                        previous = shown[i - 1];
                    }
                }
                if (previous) {
                    // The changed rectangle alone, and the same with its
                    // unchanged pixels transparent: the second pays where much
                    // stays the same, but its holes cost where little does.
                    const ChangedPart part = FindChanges(indexed, *previous);
                    // Holes pay once most of the rectangle stays (measured on
                    // stripes, flat scenes and test cards); below that they
                    // break the runs the compression lives on.
                    const bool holes = unchanged >= 0 && (part.rect.isEmpty() || masked ||
                                                          part.unchangedShare >= kHolesShare);
                    indexed = CutOut(indexed, *previous, part, holes ? unchanged : -1);
                }
                std::lock_guard lock(mutex);
                shown.erase(i - 1); // only this frame needed it
            }
            // Compressed here, in parallel; the writer only copies bytes.
            std::vector<std::uint8_t> lzw =
                LzwEncode(indexed.pixels.data(), indexed.pixels.size(), minCodeSize);
            indexed.pixels = std::vector<std::uint8_t>();
            clock(st.writeSeconds, statsMutex, t);
            {
                std::lock_guard lock(mutex);
                ready.emplace(i, ReadyFrame{std::move(indexed), std::move(lzw)});
            }
            cv.notify_all();
        }
    };

    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(worker, t);
    while (written < count) {
        ReadyFrame frame;
        {
            std::unique_lock lock(mutex);
            cv.wait(lock, [&] { return abort || ready.count(written) > 0; });
            if (abort)
                break;
            auto node = ready.extract(written);
            frame = std::move(node.mapped());
        }
        const auto tw = Clock::now();
        Status s = writer.WriteFrame(frame.image, &frame.lzw);
        clock(st.writeSeconds, statsMutex, tw);
        if (!s) {
            fail(s);
            break;
        }
        {
            std::lock_guard lock(mutex);
            ++written;
        }
        cv.notify_all();
        report();
    }
    abort = abort || written < count;
    cv.notify_all();
    turn.WakeAll();
    for (auto& t : pool)
        t.join();
    if (failure) {
        writer.Cancel();
        return *failure;
    }
    const auto tw = Clock::now();
    Status finished = writer.Finish();
    st.writeSeconds += SecondsSince(tw);
    st.frames = count;
    st.wallSeconds = SecondsSince(wallStart);
    return finished;
}
