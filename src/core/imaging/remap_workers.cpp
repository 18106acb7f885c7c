#include "core/imaging/remap_workers.h"

#include "core/base/worker_threads.h"
#include "core/imaging/frame_image.h"
#include "core/imaging/frame_motion.h"
#include "core/imaging/lzw_encoder.h"

#include <algorithm>
#include <cstring>

namespace {

// Share of unchanged pixels in a frame's changed rectangle from which they
// are stored as transparent holes rather than as themselves. Holes pay once
// most of the rectangle stays (measured on stripes, flat scenes and test
// cards); below that they break the runs the compression lives on.
constexpr double kHolesShare = 0.85;

// Frames from which the drawing buffer is made here, in huge pages.
constexpr std::size_t kHugeFramePixels = std::size_t(512) << 10; // 2 MB of RGB32

} // namespace

void RemapWorkers::TranslateIndices(const PaletteColors& before, const PaletteColors& now,
                                    std::array<int, 256>* translate) const {
    translate->fill(-1);
    const int first = m_plan.FirstUsable();
    const int unchanged = m_plan.Unchanged();
    const int end = int(now.size()) - (unchanged > 0 ? 1 : 0);
    // Entry 0 of a masked animation is the mask in every palette.
    if (first > 0)
        (*translate)[0] = 0;
    for (int k = first; k < int(before.size()) && k < 256; ++k) {
        if (k == unchanged)
            continue;
        const QRgb c = before[std::size_t(k)] & 0xFFFFFFu;
        for (int j = first; j < end; ++j)
            if ((now[std::size_t(j)] & 0xFFFFFFu) == c) {
                (*translate)[std::size_t(k)] = j;
                break;
            }
    }
}

RemapWorkers::RemapWorkers(FrameSource& source, EncodeControl& control,
                           const EncodeOptions& options, PalettePlan& plan,
                           std::vector<QImage>& kept, OrderedWriter& writer, bool interframe,
                           int minCodeSize)
    : m_source(source), m_control(control), m_options(options), m_plan(plan), m_kept(kept),
      m_writer(writer), m_bInterframe(interframe), m_nMinCodeSize(minCodeSize),
      m_bMasked(options.mask && !options.mask->IsEmpty()), m_size(source.FrameSize()),
      m_frameWhat(QStringLiteral("a %1 x %2 frame").arg(m_size.width()).arg(m_size.height())) {
    if (options.remapStillOnce && source.IsRandomAccess()) {
        m_still = AsRgb32(source.ScrollStill());
    }
    // Where the palette holds every colour, a frame maps at a look-up a run
    // and a pan saves less than finding it costs.
    m_bPans =
        options.followPans && source.MayPan() && !m_bMasked && m_still.isNull() && !plan.Exact();
}

namespace {

// The still is dithered inside a 2 x 2 mosaic of itself and the last tile
// kept, so that the error reaching its top and left edges is the error its
// own bottom and right edges pass on: where the frames wrap the still
// round, the pattern joins without a seam. Above this size the still alone.
constexpr std::size_t kMosaicPixels = std::size_t(4) << 20;

} // namespace

bool RemapWorkers::StillIndices() {
    // Nothing may leave call_once by an exception: it ends the process on
    // the way out. Running short leaves the still unmapped, and says so.
    std::call_once(m_stillOnce, [this] {
        try {
            MapStill();
        } catch (const std::bad_alloc&) {
            m_bStillMapped = false;
        }
    });
    return m_bStillMapped;
}

void RemapWorkers::MapStill() {
    EncodeControl::Timer timer(m_control, EncodeControl::Stage::Remap);
    const int w = m_still.width(), h = m_still.height();
    const Remapper& remapper = m_plan.GlobalRemapper();
    const bool mosaic = m_plan.Dither() && std::size_t(w) * std::size_t(h) * 4 <= kMosaicPixels;
    if (!mosaic) {
        m_stillIndices.resize(std::size_t(w) * std::size_t(h));
        m_bStillMapped = remapper.Remap(m_still, m_plan.Dither(), m_stillIndices.data());
        return;
    }
    QImage tiled(w * 2, h * 2, QImage::Format_RGB32);
    if (tiled.isNull())
        return;
    for (int y = 0; y < 2 * h; ++y) {
        const uchar* src = m_still.constScanLine(y % h);
        uchar* dst = tiled.scanLine(y);
        std::memcpy(dst, src, std::size_t(w) * 4);
        std::memcpy(dst + std::size_t(w) * 4, src, std::size_t(w) * 4);
    }
    std::vector<std::uint8_t> all(std::size_t(w) * 2 * std::size_t(h) * 2);
    if (!remapper.Remap(tiled, true, all.data()))
        return;
    m_stillIndices.resize(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        std::memcpy(m_stillIndices.data() + std::size_t(y) * w,
                    all.data() + (std::size_t(y + h) * 2 * w + std::size_t(w)), std::size_t(w));
    m_bStillMapped = true;
}

void RemapWorkers::ShiftStill(const QPoint& shift, IndexedImage* indexed) const {
    const int sw = m_still.width(), sh = m_still.height();
    const int W = indexed->width, H = indexed->height;
    const int x0 = ((-shift.x()) % sw + sw) % sw;
    for (int y = 0; y < H; ++y) {
        const int sy = ((y - shift.y()) % sh + sh) % sh;
        const std::uint8_t* src = m_stillIndices.data() + std::size_t(sy) * sw;
        std::uint8_t* dst = indexed->Row(y);
        int x = 0, sx = x0;
        while (x < W) {
            const int n = std::min(W - x, sw - sx);
            std::memcpy(dst + x, src + sx, std::size_t(n));
            x += n;
            sx = 0;
        }
    }
}

RemapWorkers::~RemapWorkers() {
    Join();
}

void RemapWorkers::Start(int threads) {
    // Fewer workers give the same bytes, later; none leaves no way on.
    m_threads.reserve(std::size_t(threads));
    for (int t = 0; t < threads; ++t)
        if (!TryStartThread(m_threads, [this] { Work(); }))
            break;
    if (m_threads.empty())
        m_control.FailOutOfMemory(m_frameWhat);
}

void RemapWorkers::Join() {
    for (auto& t : m_threads)
        t.join();
    m_threads.clear();
}

void RemapWorkers::Work() {
    QImage frame;
    for (;;) {
        const int i = m_writer.Claim();
        if (i < 0)
            return;
        bool more = false;
        m_control.Guard(m_frameWhat, [&] { more = Encode(i, frame); });
        if (!more) {
            m_control.WakeAll();
            return;
        }
    }
}

bool RemapWorkers::Draw(int index, QImage& frame) {
    if (!m_kept.empty()) {
        auto lock = m_control.Lock(); // the palette chain reads them too
        QImage& kept = m_kept[std::size_t(index)];
        // Every frame is kept when all were sampled; otherwise the sampled
        // ones are, and the others are drawn now.
        if (!kept.isNull() || !m_source.IsRandomAccess()) {
            frame = std::move(kept);
            kept = QImage();
            return true;
        }
    }
    const bool sequential = !m_source.IsRandomAccess();
    if (sequential) {
        auto lock = m_control.Lock();
        if (!m_control.Wait(lock, [&] { return m_nNextDraw == index; }))
            return false;
    }
    Status s;
    {
        EncodeControl::Timer timer(m_control, EncodeControl::Stage::Draw);
        frame = QImage();
        // Each frame is new memory: in huge pages its first touch is far
        // cheaper. A source that wants another buffer makes its own.
        if (std::size_t(m_size.width()) * std::size_t(m_size.height()) >= kHugeFramePixels)
            frame = NewFrameImage(m_size);
        try {
            s = m_source.DrawFrame(index, &frame);
        } catch (...) {
            if (sequential) { // let the next frame's worker go on to see the abort
                {
                    auto lock = m_control.Lock();
                    m_nNextDraw = index + 1;
                }
                m_control.WakeAll();
            }
            throw;
        }
    }
    if (sequential) {
        {
            auto lock = m_control.Lock();
            m_nNextDraw = index + 1;
        }
        m_control.WakeAll();
    }
    if (!s) {
        m_control.Fail(s);
        return false;
    }
    return m_control.CheckFrame(frame, m_size, index);
}

bool RemapWorkers::FindMove(int index, const QImage& frame, bool candidate,
                            std::optional<QPoint>* pan) {
    QImage before;
    {
        auto lock = m_control.Lock();
        m_drawn.emplace(index, candidate ? frame : QImage());
        m_control.WakeAll();
        if (index > 0) {
            if (!m_control.Wait(lock, [&] { return m_drawn.count(index - 1) > 0; }))
                return false;
            auto it = m_drawn.find(index - 1);
            before = std::move(it->second);
            m_drawn.erase(it);
        }
    }
    if (candidate && !before.isNull()) {
        EncodeControl::Timer timer(m_control, EncodeControl::Stage::Remap);
        *pan = FindPan(before, frame);
    }
    LetGo(before);
    return true;
}

void RemapWorkers::LetGo(QImage& frame) {
    // A frame handed on to the next is let go of by two threads; under the
    // lock, whichever frees it does so after the other has read it, as the
    // thread checker sees (the count inside the image is out of its sight).
    if (m_bPans) {
        auto lock = m_control.Lock();
        frame = QImage();
    } else {
        frame = QImage();
    }
}

std::shared_ptr<const RemapWorkers::Shown> RemapWorkers::WaitForShown(int index) {
    auto lock = m_control.Lock();
    if (!m_control.Wait(lock, [&] { return m_shown.count(index - 1) > 0; }))
        return nullptr;
    return m_shown[index - 1];
}

bool RemapWorkers::Encode(int i, QImage& frame) {
    // The chain is done with a frame once its palette is chosen.
    const std::shared_ptr<const PaletteColors> local = m_plan.LocalPalette(i);
    const bool shifted = !local && !m_still.isNull();
    if (shifted && !m_kept.empty()) {
        auto lock = m_control.Lock(); // a kept frame is not needed
        m_kept[std::size_t(i)] = QImage();
    }
    if (shifted && !StillIndices()) {
        m_control.FailOutOfMemory(m_frameWhat);
        return false;
    }
    if ((!shifted && !Draw(i, frame)) || m_control.Aborted())
        return false;
    // A pan starts only from a frame mapped to the global palette, as this
    // one is to be.
    std::optional<QPoint> pan;
    if (m_bPans && !FindMove(i, frame, !shifted && !local, &pan))
        return false;
    std::shared_ptr<const Shown> before;
    if (pan) {
        before = WaitForShown(i);
        if (!before)
            return false;
        if (before->palette)
            pan.reset();
    }
    IndexedImage indexed;
    if (pan) {
        EncodeControl::Timer timer(m_control, EncodeControl::Stage::Remap);
        indexed = IndexedImage(m_size.width(), m_size.height());
        if (!RemapPanned(m_plan.GlobalRemapper(), m_plan.Dither(), frame, before->indices.data(),
                         *pan, indexed.pixels.data())) {
            m_control.FailOutOfMemory(m_frameWhat);
            return false;
        }
        before.reset();
        LetGo(frame);
        indexed.delay = m_source.FrameDelay(i);
        indexed.disposal = m_options.disposal;
    } else if (shifted) {
        EncodeControl::Timer timer(m_control, EncodeControl::Stage::Remap);
        indexed = IndexedImage(m_size.width(), m_size.height());
        ShiftStill(m_source.ScrollShift(i), &indexed);
        if (m_bMasked)
            MergeCellMask(indexed, *m_options.mask);
        indexed.delay = m_source.FrameDelay(i);
        indexed.disposal = m_options.disposal;
    } else {
        EncodeControl::Timer timer(m_control, EncodeControl::Stage::Remap);
        indexed = IndexedImage(m_size.width(), m_size.height());
        std::unique_ptr<Remapper> own;
        if (local) {
            const int unchanged = m_plan.Unchanged();
            const PaletteColors usable(local->begin(), local->end() - (unchanged > 0 ? 1 : 0));
            own = std::make_unique<Remapper>(usable, m_plan.FirstUsable(), Remapper::Use::OneFrame);
            indexed.palette = *local;
        }
        const Remapper& remapper = own ? *own : m_plan.GlobalRemapper();
        if (!remapper.Remap(frame, m_plan.Dither(), indexed.pixels.data())) {
            m_control.FailOutOfMemory(m_frameWhat);
            return false;
        }
        LetGo(frame); // not needed any more: memory back before the next frame
        if (m_bMasked)
            MergeCellMask(indexed, *m_options.mask);
        indexed.delay = m_source.FrameDelay(i);
        indexed.disposal = m_options.disposal;
    }
    EncodeControl::Timer timer(m_control, EncodeControl::Stage::Write);
    if (m_bInterframe || m_bPans) {
        auto mine = std::make_shared<Shown>();
        mine->indices = indexed.pixels;
        mine->palette = local;
        std::shared_ptr<const Shown> previous;
        {
            auto lock = m_control.Lock();
            m_shown.emplace(i, std::move(mine));
            m_control.WakeAll();
            if (i > 0) {
                if (!m_control.Wait(lock, [&] { return m_shown.count(i - 1) > 0; }))
                    return false;
                previous = m_shown[i - 1];
            }
        }
        if (previous && m_bInterframe) {
            // The changed rectangle alone, and the same with its unchanged
            // pixels transparent: the second pays where much stays the
            // same, but its holes cost where little does.
            // Between different palettes a pixel stays when its colour
            // does.
            std::array<int, 256> translate;
            const bool same = previous->palette == local;
            if (!same) {
                const PaletteColors& before =
                    previous->palette ? *previous->palette : m_plan.Global();
                const PaletteColors& now = local ? *local : m_plan.Global();
                TranslateIndices(before, now, &translate);
            }
            const ChangedPart part =
                FindChanges(indexed, previous->indices, same ? nullptr : &translate);
            const int unchanged = m_plan.Unchanged();
            const bool holes = unchanged >= 0 && (part.rect.isEmpty() || m_bMasked ||
                                                  part.unchangedShare >= kHolesShare);
            indexed = CutOut(indexed, previous->indices, part, holes ? unchanged : -1,
                             same ? nullptr : &translate);
        }
        auto lock = m_control.Lock();
        m_shown.erase(i - 1); // only this frame needed it
    }
    // Compressed here, in parallel; the writer only copies bytes.
    EncodedFrame encoded;
    encoded.lzw = LzwEncode(indexed.pixels.data(), indexed.pixels.size(), m_nMinCodeSize);
    indexed.pixels = std::vector<std::uint8_t>();
    encoded.image = std::move(indexed);
    m_writer.Put(i, std::move(encoded));
    return true;
}
