#include "core/imaging/palette_plan.h"

#include "core/imaging/palette.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <system_error>

PalettePlan::PalettePlan(EncodeControl& control) : m_control(control) {}

PalettePlan::~PalettePlan() {
    StopLocal();
}

double StillShare(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32),
                 y = b.convertToFormat(QImage::Format_RGB32);
    if (x.isNull() || y.isNull())
        return 0; // no memory to compare: assume the picture moves
    std::size_t same = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            same += ((p[col] ^ q[col]) & 0xFFFFFFu) == 0;
    }
    return double(same) / (double(x.width()) * x.height());
}

Status PalettePlan::Choose(PaletteSampler& sampler, FrameSource& source,
                           const EncodeOptions& options, bool interframe, bool allSampled) {
    // Optional so that drawing a frame for it below counts as drawing only.
    std::optional<EncodeControl::Timer> timer(std::in_place, m_control,
                                              EncodeControl::Stage::Palette);
    const ColorHistogram& histogram = sampler.Histogram();
    const int count = source.FrameCount();
    const bool masked = options.mask && !options.mask->IsEmpty();
    m_nFirstUsable = masked ? 1 : 0;
    const int threads = ThreadCount(options.threads, 1 << 20);
    if (Status s = ChoosePalette(histogram, options.maxColors, masked, options.transparentColor,
                                 &m_global, threads);
        !s)
        return s;
    // When the palette holds every colour of every frame, error diffusion
    // has no error to spread: the plain remap gives the same indices faster.
    m_bExact = allSampled && histogram.IsExact() &&
               histogram.ColorCount() + (masked ? 1 : 0) <= m_global.size();
    m_bDither = options.dither && !m_bExact;
    // Pixels a frame shares with the one before can be left transparent:
    // with a mask, entry 0 already is; otherwise only a palette with room to
    // spare gets an entry for it, as taking one from a full palette would
    // cost every frame some quality.
    m_nUnchanged = -1;
    if (interframe && masked) {
        m_nUnchanged = 0;
    } else if (interframe && m_global.size() >= 2) {
        const int limit = std::min(options.maxColors, 256);
        bool reserve = int(m_global.size()) < limit;
        if (!reserve && count > 1) {
            // A full palette gives up its last colour only for a picture
            // that mostly stays.
            QImage second = sampler.First(1);
            if (second.isNull() && source.IsRandomAccess()) {
                timer.reset();
                {
                    EncodeControl::Timer draw(m_control, EncodeControl::Stage::Draw);
                    if (!source.DrawFrame(1, &second))
                        second = QImage(); // judged as moving; the remap stage reports the failure
                }
                timer.emplace(m_control, EncodeControl::Stage::Palette);
            }
            reserve = StillShare(sampler.First(0), second) >= 0.5;
            if (reserve) {
                if (Status s = ChoosePalette(histogram, limit - 1, false, options.transparentColor,
                                             &m_global, threads);
                    !s)
                    return s;
            }
        }
        if (reserve) {
            m_nUnchanged = int(m_global.size());
            m_global.push_back(qRgb(0, 0, 0));
        }
    }
    // The reserved entry is never a pixel's nearest colour.
    PaletteColors usable(m_global.begin(), m_global.end() - (m_nUnchanged > 0 ? 1 : 0));
    m_nUsable = int(usable.size()) - m_nFirstUsable;
    m_pRemapper =
        std::make_unique<Remapper>(usable, m_nFirstUsable, Remapper::Use::Animation, threads);
    return Status::Ok();
}

namespace {

// In auto mode a frame gets its own palette when the global one's error on
// it is this many times what its own palette reaches (about 4 dB)...
constexpr double kLocalGain = 2.5;
// ...and large enough to see: a mean squared RGB error (summed over the
// channels) of 12 is 37 dB before dithering, which diffusion lifts well
// above what the eye tells apart.
constexpr double kVisibleError = 12;
// The chain looks at an animation only when one frame holds on average at
// most this share of the colour cells all frames hold together: a still,
// scrolling or looping picture keeps nearly one set of colours.
constexpr double kSpreadShare = 0.6;
// k-means rounds for a frame's palette, seeded from the frame before.
constexpr int kLocalRounds = 6;

} // namespace

void PalettePlan::StartLocal(const PaletteSampler& sampler, std::vector<QImage>& kept,
                             FrameSource& source, const EncodeOptions& options) {
    const int count = source.FrameCount();
    if (options.palette == PaletteMode::Global || count < 1 || m_nUsable < 2)
        return;
    if (kept.empty() ? !source.IsRandomAccess() : int(kept.size()) != count)
        return;
    // A palette that holds every colour needs no help.
    const ColorHistogram& histogram = sampler.Histogram();
    if (histogram.IsExact() && int(histogram.ColorCount()) <= m_nUsable)
        return;
    if (options.palette == PaletteMode::Auto &&
        !(sampler.FrameCells() <= kSpreadShare * sampler.AnimationCells()))
        return;
    m_local.assign(std::size_t(count), nullptr);
    m_nLocalDone = 0;
    try {
        m_chain = std::thread([this, &kept, &source, mode = options.palette] {
            try {
                RunChain(kept, source, mode);
            } catch (const std::bad_alloc&) {
                m_control.FailOutOfMemory(QStringLiteral("the palettes"));
            }
        });
    } catch (const std::system_error&) {
        // Going on with the one palette would give other bytes than a
        // save with its thread.
        m_control.FailOutOfMemory(QStringLiteral("the palettes"));
    }
}

void PalettePlan::RunChain(std::vector<QImage>& kept, FrameSource& source, PaletteMode mode) {
    const int count = source.FrameCount();
    // The usable colours of the frame before, the seed of the next.
    PaletteColors seed(m_global.begin() + m_nFirstUsable,
                       m_global.begin() + m_nFirstUsable + m_nUsable);
    for (int i = 0; i < count && !m_control.Aborted(); ++i) {
        QImage frame;
        if (kept.empty()) {
            Status drawn;
            const bool guarded = m_control.Guard(QStringLiteral("the palettes"), [&] {
                EncodeControl::Timer timer(m_control, EncodeControl::Stage::Draw);
                drawn = source.DrawFrame(i, &frame);
            });
            if (!drawn)
                m_control.Fail(drawn);
            if (!guarded || !drawn)
                break;
        } else {
            auto lock = m_control.Lock();
            frame = kept[std::size_t(i)];
        }
        std::shared_ptr<const PaletteColors> chosen;
        const bool ok = m_control.Guard(QStringLiteral("the palettes"), [&] {
            EncodeControl::Timer timer(m_control, EncodeControl::Stage::Palette);
            ColorHistogram histogram(ColorHistogram::Start::Cells);
            if (frame.isNull() || !histogram.AddFrame(frame)) {
                m_control.FailOutOfMemory(QStringLiteral("the palettes"));
                return;
            }
            const std::vector<ColorHistogram::Entry> entries = histogram.Entries();
            // The cheap measure: the frame's error against the global palette.
            std::uint64_t globalError = 0;
            for (const auto& e : entries) {
                const QRgb p = m_global[std::size_t(m_pRemapper->Nearest(e.color))];
                const int dr = qRed(e.color) - qRed(p), dg = qGreen(e.color) - qGreen(p),
                          db = qBlue(e.color) - qBlue(p);
                globalError += std::uint64_t(dr * dr + dg * dg + db * db) * e.count;
            }
            if (m_pRemapper->ShortOfMemory())
                throw std::bad_alloc();
            const double global =
                double(globalError) / double(std::max<std::uint64_t>(histogram.PixelCount(), 1));
            // The frame's own palette starts from the one before, with the
            // frame's outermost colours pinned so diffusion reaches them.
            std::vector<bool> pinned(seed.size(), false);
            for (const QRgb hull : HullColors(entries)) {
                int best = -1, bestDistance = 1 << 30;
                for (std::size_t k = 0; k < seed.size(); ++k) {
                    if (pinned[k])
                        continue;
                    const int dr = qRed(hull) - qRed(seed[k]), dg = qGreen(hull) - qGreen(seed[k]),
                              db = qBlue(hull) - qBlue(seed[k]);
                    const int d = dr * dr + dg * dg + db * db;
                    if (d < bestDistance)
                        bestDistance = d, best = int(k);
                }
                if (best >= 0) {
                    seed[std::size_t(best)] = hull | 0xFF000000u;
                    pinned[std::size_t(best)] = true;
                }
            }
            const PaletteFit fit = RefinePalette(&seed, entries, pinned, kLocalRounds, 1);
            const bool local =
                mode == PaletteMode::Local ||
                (global > kVisibleError && global > kLocalGain * fit.meanSquaredError);
            if (local) {
                auto colors = std::make_shared<PaletteColors>(m_global);
                std::copy(seed.begin(), seed.end(), colors->begin() + m_nFirstUsable);
                chosen = std::move(colors);
            }
        });
        // The chain lets go of the frame before the worker may take it, so
        // the worker holds the last reference.
        frame = QImage();
        if (!ok || m_control.Aborted())
            break;
        {
            auto lock = m_control.Lock();
            m_local[std::size_t(i)] = std::move(chosen);
            m_nLocalDone = i + 1;
            m_nLocalCount += m_local[std::size_t(i)] ? 1 : 0;
        }
        m_control.WakeAll();
    }
}

std::shared_ptr<const PaletteColors> PalettePlan::LocalPalette(int index) {
    if (m_local.empty())
        return nullptr;
    auto lock = m_control.Lock();
    if (!m_control.Wait(lock, [&] { return m_nLocalDone > index; }))
        return nullptr;
    return m_local[std::size_t(index)];
}

int PalettePlan::LocalCount() {
    auto lock = m_control.Lock();
    return m_nLocalCount;
}

void PalettePlan::StopLocal() {
    if (m_chain.joinable())
        m_chain.join();
}
