#include "core/imaging/frame_encoder.h"

#include "core/base/huge_pages.h"
#include "core/base/limits.h"
#include "core/imaging/encode_control.h"
#include "core/imaging/ordered_writer.h"
#include "core/imaging/palette_plan.h"
#include "core/imaging/palette_sampler.h"
#include "core/imaging/remap_workers.h"

#include <algorithm>
#include <chrono>
#include <cstring>

QString CancelledMessage() {
    return QStringLiteral("The save was cancelled.");
}

ChangedPart FindChanges(const IndexedImage& frame, const std::vector<std::uint8_t>& previous,
                        const std::array<int, 256>* translate) {
    const int w = frame.width, h = frame.height;
    ChangedPart part;
    int left = w, right = -1, top = h, bottom = -1;
    auto same = [translate](std::uint8_t a, std::uint8_t b) {
        return translate ? (*translate)[b] == a : a == b;
    };
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* a = frame.Row(y);
        const std::uint8_t* b = previous.data() + std::size_t(y) * w;
        if (!translate && std::memcmp(a, b, std::size_t(w)) == 0)
            continue;
        int x0 = 0, x1 = w - 1;
        while (x0 < w && same(a[x0], b[x0]))
            ++x0;
        if (x0 == w)
            continue;
        while (same(a[x1], b[x1]))
            --x1;
        left = std::min(left, x0), right = std::max(right, x1);
        top = std::min(top, y), bottom = y;
    }
    if (right < 0)
        return part; // empty
    part.rect = QRect(left, top, right - left + 1, bottom - top + 1);
    std::size_t unchanged = 0;
    for (int y = top; y <= bottom; ++y) {
        const std::uint8_t* a = frame.Row(y);
        const std::uint8_t* b = previous.data() + std::size_t(y) * w;
        for (int x = left; x <= right; ++x)
            unchanged += same(a[x], b[x]);
    }
    part.unchangedShare = double(unchanged) / (double(part.rect.width()) * part.rect.height());
    return part;
}

IndexedImage CutOut(const IndexedImage& frame, const std::vector<std::uint8_t>& previous,
                    const ChangedPart& part, int unchanged, const std::array<int, 256>* translate) {
    IndexedImage out;
    out.delay = frame.delay;
    out.disposal = frame.disposal;
    out.transparentIndex = frame.transparentIndex;
    out.palette = frame.palette;
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
        for (int x = 0; x < out.width; ++x) {
            const bool same = translate ? (*translate)[b[x]] == a[x] : a[x] == b[x];
            dst[x] = same ? std::uint8_t(unchanged) : a[x];
        }
    }
    return out;
}

namespace {

// The stages in order; returns the save's outcome. Every stage reports
// failures, cancels and exhausted memory to `control`.
Status RunStages(FrameSource& source, const QString& path, const EncodeOptions& options,
                 EncodeControl& control, const std::vector<int>& samples, EncodeStats& st) {
    const int count = source.FrameCount();
    const QSize size = source.FrameSize();
    const bool allSampled = int(samples.size()) == count;
    // Frames drawn for the palette are kept for the remap stage rather than
    // drawn a second time (at 1200 x 800 that was a third of a 30-frame
    // save's drawing) as long as they fit the sample budget. A source drawn
    // in order keeps all of them or none. One whose frames are shifts of a
    // still takes the still's indices instead, and one that draws again for
    // less than holding the frames costs keeps none: held frames are fresh
    // memory, which costs more than drawing small frames again.
    const bool scrolls = options.remapStillOnce && !source.ScrollStill().isNull();
    const bool keep =
        source.IsRandomAccess()
            ? !scrolls && !source.CheapToRedraw() &&
                  (allSampled ||
                   samples.size() * std::size_t(size.width()) * std::size_t(size.height()) <=
                       options.paletteSamplePixels)
            : allSampled;

    PaletteSampler sampler(source, control);
    sampler.Run(samples, keep, options.threads, scrolls);
    if (auto failure = control.Failure())
        return *failure;

    const bool interframe =
        options.interframe && (options.disposal == 0 || options.disposal == 1) && count > 1;
    PalettePlan plan(control);
    Status chosen;
    if (!control.Guard(QStringLiteral("the palette"), [&] {
            chosen = plan.Choose(sampler, source, options, interframe, allSampled);
        }))
        return *control.Failure();
    if (!chosen)
        return chosen;
    sampler.ReleaseFirst();
    st.paletteSize = int(plan.Global().size());

    GifWriter writer;
    if (Status s = writer.Open(path, size.width(), size.height(), plan.Global(), options.file); !s)
        return s;

    // At most `window` frames are in flight so memory stays bounded
    // whatever the frame count. A worker holds a drawn frame and its
    // indices, a frame waiting for the writer its indices and their
    // compressed copy: frames of tens of millions of pixels go fewer at a
    // time, so the save's memory follows one frame, not the core count.
    const qint64 pixels = qint64(size.width()) * size.height();
    const int threads = std::clamp(int(kFramesInFlightBytes / (pixels * 5)), 1,
                                   ThreadCount(options.threads, count));
    const int window = std::clamp(int(kFramesInFlightBytes / (pixels * 2)), threads, threads * 3);
    OrderedWriter ordered(writer, control, count, window);
    if (allSampled)
        plan.StartLocal(sampler, sampler.Kept(), source, options);
    {
        RemapWorkers workers(source, control, options, plan, sampler.Kept(), ordered, interframe,
                             writer.MinCodeSize());
        workers.Start(threads);
        control.Guard(QStringLiteral("the file"), [&] { ordered.Run(); });
        if (ordered.Written() < count && !control.Aborted())
            control.Fail(Status::Error(QStringLiteral("Cannot write %1").arg(path)));
        workers.Join();
    }
    plan.StopLocal();
    st.localPalettes = plan.LocalCount();
    if (auto failure = control.Failure()) {
        writer.Cancel();
        return *failure;
    }
    EncodeControl::Timer timer(control, EncodeControl::Stage::Write);
    return writer.Finish();
}

} // namespace

Status EncodeAnimatedGif(FrameSource& source, const QString& path, const EncodeOptions& options,
                         ProgressSink* progress, EncodeStats* stats) {
    const auto wallStart = std::chrono::steady_clock::now();
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
    Status result;
    try {
        const std::vector<int> samples =
            PaletteSampler::ChooseSamples(count, size, options.paletteSamplePixels);
        st.sampledFrames = int(samples.size());
        EncodeControl control(progress, PaletteSampler::Steps(source, int(samples.size())) + count);
        result = RunStages(source, path, options, control, samples, st);
        control.CopyTimes(&st);
    } catch (const std::bad_alloc&) {
        // Whatever was written so far went to a temporary file that is gone.
        result = Status::Error(OutOfMemoryMessage(QStringLiteral("the animation")));
    }
    ReleaseSpareFrameMemory();
    if (result)
        st.frames = count;
    st.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return result;
}
