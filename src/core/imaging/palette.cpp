#include "core/imaging/palette.h"

#include "core/base/worker_threads.h"
#include "core/imaging/quantiser_batches.h"
#include "core/imaging/remapper.h"

#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <dlfcn.h>
#include <memory>
#include <new>
#include <thread>

namespace {

struct LiqAttrDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
};
struct LiqHistogramDeleter {
    void operator()(liq_histogram* p) const { liq_histogram_destroy(p); }
};
struct LiqResultDeleter {
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};

// libimagequant may be built with OpenMP, whose threads keep spinning for a
// while after each call and take a core from the remap workers that start
// right after; one palette is a short call, so it runs on the calling thread.
void KeepQuantiserOnThisThread() {
    using SetThreads = void (*)(int);
    static const auto setThreads =
        reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (setThreads)
        setThreads(1);
}

QString LiqMessage(liq_error error) {
    switch (error) {
    case LIQ_OUT_OF_MEMORY:
        return QStringLiteral("out of memory");
    case LIQ_ABORTED:
        return QStringLiteral("cancelled");
    case LIQ_QUALITY_TOO_LOW:
        return QStringLiteral("quality too low");
    default:
        return QStringLiteral("error %1").arg(int(error));
    }
}

constexpr int kRefineRounds = 16;

} // namespace

// libimagequant sizes its colour table by the first batch of colours it is
// given: it reserves room for a picture of count x count pixels, count^2 / 6
// colours, which for 40000 histogram entries is one block of 2 GB (refused
// under an address-space limit, and the save with it). A first batch of at
// most kFirstBatch entries keeps that reservation near 1.6 MB and still gets
// the largest bucket table; the table grows as the rest come in. The weight
// cap, a tenth of (first batch) x (all entries added), stays what one batch
// would have given by adding the difference as entries of weight 0.
constexpr std::size_t kFirstBatch = 1096;
constexpr std::size_t kPaddingBatch = 4096;

liq_error AddToQuantiser(liq_histogram* hist, liq_attr* attr,
                         const std::vector<liq_histogram_entry>& entries) {
    const std::size_t n = entries.size();
    const std::size_t first = std::min(n, kFirstBatch);
    liq_error err = liq_histogram_add_colors(hist, attr, entries.data(), int(first), 0.0);
    if (err != LIQ_OK || first == n)
        return err;
    err = liq_histogram_add_colors(hist, attr, entries.data() + first, int(n - first), 0.0);
    if (err != LIQ_OK)
        return err;
    // Rows the one batch of n would have counted: n * n / first in all.
    std::uint64_t rows = (std::uint64_t(n) * n + first - 1) / first;
    // The cap only matters where it binds: while no entry reaches it, fewer
    // rows that keep it above every entry weigh the colours the same, and
    // padding by hundreds of thousands of entries was a fifth of the
    // palette's time. (A tenth of the surface in libimagequant; 0.09 leaves
    // room for its rounding in floats.)
    std::uint32_t heaviest = 0;
    for (const auto& e : entries)
        heaviest = std::max(heaviest, e.count);
    const double capPerRow = 0.09 * double(first);
    if (double(heaviest) <= capPerRow * double(rows))
        rows = std::max<std::uint64_t>(n, std::uint64_t(std::ceil(double(heaviest) / capPerRow)));
    std::uint64_t padding = rows - n;
    const std::vector<liq_histogram_entry> zero(std::min<std::uint64_t>(padding, kPaddingBatch),
                                                liq_histogram_entry{entries[0].color, 0});
    while (padding > 0 && err == LIQ_OK) {
        const std::size_t batch = std::size_t(std::min<std::uint64_t>(padding, zero.size()));
        err = liq_histogram_add_colors(hist, attr, zero.data(), int(batch), 0.0);
        padding -= batch;
    }
    return err;
}

std::vector<QRgb> HullColors(const std::vector<ColorHistogram::Entry>& entries) {
    static const std::vector<std::array<int, 3>> directions = [] {
        std::vector<std::array<int, 3>> d;
        for (int dr = -1; dr <= 1; ++dr)
            for (int dg = -1; dg <= 1; ++dg)
                for (int db = -1; db <= 1; ++db) {
                    const int nonzero = (dr != 0) + (dg != 0) + (db != 0);
                    if (nonzero == 1 || nonzero == 3)
                        d.push_back({dr, dg, db});
                }
        return d;
    }();
    std::vector<int> best(directions.size(), -1 << 30);
    std::vector<QRgb> color(directions.size(), 0);
    for (const auto& e : entries) {
        const int r = qRed(e.color), g = qGreen(e.color), b = qBlue(e.color);
        for (std::size_t k = 0; k < directions.size(); ++k) {
            const auto& d = directions[k];
            const int v = d[0] * r + d[1] * g + d[2] * b;
            if (v > best[k])
                best[k] = v, color[k] = e.color;
        }
    }
    std::vector<QRgb> hull;
    if (entries.empty())
        return hull;
    for (const QRgb c : color)
        if (std::find(hull.begin(), hull.end(), c) == hull.end())
            hull.push_back(c);
    return hull;
}

PaletteFit RefinePalette(PaletteColors* palette, const std::vector<ColorHistogram::Entry>& entries,
                         const std::vector<bool>& pinned, int maxRounds, int threads) {
    PaletteFit fit;
    const std::size_t n = palette->size();
    if (n == 0 || entries.empty())
        return fit;
    threads = std::clamp(threads, 1, std::max(1, int(entries.size() / 4096)));
    std::vector<int> assigned(entries.size(), -1);
    struct Sum {
        std::uint64_t r = 0, g = 0, b = 0, n = 0, error = 0;
    };
    std::uint64_t pixels = 0;
    for (const auto& e : entries)
        pixels += e.count;
    for (int round = 0;; ++round) {
        // The remapper's per-cell candidate lists find each entry's nearest
        // colour (lowest index among equals) faster than a walk along the
        // palette's widest axis from the entry's last assignment.
        const Remapper nearest(*palette, 0, Remapper::Use::OneFrame);
        // Integer sums, so the result does not depend on how the entries
        // are split among threads.
        const std::vector<Sum> zero(n);
        std::vector<std::vector<Sum>> sums(std::size_t(threads), zero);
        std::vector<std::uint64_t> errors(std::size_t(threads), 0);
        auto assign = [&](int t) {
            const std::size_t begin = entries.size() * std::size_t(t) / std::size_t(threads);
            const std::size_t end = entries.size() * std::size_t(t + 1) / std::size_t(threads);
            std::vector<Sum>& mine = sums[std::size_t(t)];
            std::uint64_t error = 0;
            for (std::size_t k = begin; k < end; ++k) {
                const auto& e = entries[k];
                const int r = qRed(e.color), g = qGreen(e.color), b = qBlue(e.color);
                const int best = nearest.Nearest(e.color);
                const QRgb p = (*palette)[std::size_t(best)];
                const int dr = r - qRed(p), dg = g - qGreen(p), db = b - qBlue(p);
                const int distance = dr * dr + dg * dg + db * db;
                assigned[k] = best;
                Sum& s = mine[std::size_t(best)];
                s.r += std::uint64_t(r) * e.count, s.g += std::uint64_t(g) * e.count,
                    s.b += std::uint64_t(b) * e.count, s.n += e.count;
                s.error += std::uint64_t(distance) * e.count;
                error += std::uint64_t(distance) * e.count;
            }
            errors[std::size_t(t)] = error;
        };
        RunOnThreads(threads, assign);
        if (nearest.ShortOfMemory())
            throw std::bad_alloc();
        std::vector<Sum> total(n);
        std::uint64_t error = 0;
        for (int t = 0; t < threads; ++t) {
            error += errors[std::size_t(t)];
            for (std::size_t i = 0; i < n; ++i) {
                const Sum& s = sums[std::size_t(t)][i];
                Sum& d = total[i];
                d.r += s.r, d.g += s.g, d.b += s.b, d.n += s.n, d.error += s.error;
            }
        }
        const double previous = fit.meanSquaredError;
        fit.meanSquaredError = double(error) / double(std::max<std::uint64_t>(pixels, 1));
        fit.rounds = round;
        // A round that gains less than half a percent is not worth another.
        if (round == maxRounds ||
            (round > 0 && previous - fit.meanSquaredError < 0.005 * fit.meanSquaredError))
            break;
        bool moved = false;
        std::vector<std::size_t> unused;
        for (std::size_t i = 0; i < n; ++i) {
            if (i < pinned.size() && pinned[i])
                continue;
            const Sum& s = total[i];
            if (s.n == 0) {
                unused.push_back(i);
                continue;
            }
            const auto mean = [&](std::uint64_t v) { return int((v + s.n / 2) / s.n); };
            const QRgb c = qRgb(mean(s.r), mean(s.g), mean(s.b));
            moved |= c != ((*palette)[i] | 0xFF000000u);
            (*palette)[i] = c;
        }
        // Entries no colour chose go to the colours served worst (largest
        // weighted error), one each: colours that moved away from the seed
        // palette (a frame after the one before) win them back.
        if (!unused.empty()) {
            std::vector<std::size_t> worst(entries.size());
            for (std::size_t k = 0; k < entries.size(); ++k)
                worst[k] = k;
            auto cost = [&](std::size_t k) {
                const QRgb c = entries[k].color, p = (*palette)[std::size_t(assigned[k])];
                const int dr = qRed(c) - qRed(p), dg = qGreen(c) - qGreen(p),
                          db = qBlue(c) - qBlue(p);
                return std::uint64_t(dr * dr + dg * dg + db * db) * entries[k].count;
            };
            std::vector<std::uint64_t> costs(entries.size());
            for (std::size_t k = 0; k < entries.size(); ++k)
                costs[k] = cost(k);
            const std::size_t take = std::min(unused.size(), entries.size());
            std::partial_sort(worst.begin(), worst.begin() + std::ptrdiff_t(take), worst.end(),
                              [&](std::size_t a, std::size_t b) {
                                  return costs[a] != costs[b] ? costs[a] > costs[b] : a < b;
                              });
            for (std::size_t u = 0; u < take; ++u) {
                if (costs[worst[u]] == 0)
                    break;
                (*palette)[unused[u]] = entries[worst[u]].color | 0xFF000000u;
                moved = true;
            }
        }
        if (!moved)
            break; // the palette no longer moves
    }
    return fit;
}

Status ChoosePalette(const ColorHistogram& histogram, int maxColors, bool reserveTransparent,
                     QRgb transparentColor, PaletteColors* palette, int threads) {
    maxColors = std::clamp(maxColors, 2, 256);
    const int available = reserveTransparent ? maxColors - 1 : maxColors;
    palette->clear();
    if (reserveTransparent)
        palette->push_back(transparentColor | 0xFF000000u);

    std::vector<ColorHistogram::Entry> entries = histogram.Entries();
    if (entries.empty()) {
        palette->push_back(qRgb(0, 0, 0));
        return Status::Ok();
    }
    if (entries.size() <= std::size_t(available)) {
        // Most frequent first: the order only matters to people reading the
        // file, but it keeps palettes stable between runs.
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return a.count != b.count ? a.count > b.count : a.color < b.color;
        });
        for (const auto& e : entries)
            palette->push_back(e.color | 0xFF000000u);
        return Status::Ok();
    }

    std::unique_ptr<liq_attr, LiqAttrDeleter> attr(liq_attr_create());
    if (!attr)
        return Status::Error(QStringLiteral("Cannot choose a palette: out of memory"));
    liq_set_max_colors(attr.get(), available);
    // Our own refinement below does the k-means rounds in plain RGB, so the
    // quantiser's slower settings buy nothing (bench/compare-encoders).
    liq_set_speed(attr.get(), 7);
    std::unique_ptr<liq_histogram, LiqHistogramDeleter> hist(liq_histogram_create(attr.get()));
    if (!hist)
        return Status::Error(QStringLiteral("Cannot choose a palette: out of memory"));

    std::vector<liq_histogram_entry> liqEntries(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QRgb c = entries[i].color;
        liqEntries[i].color =
            liq_color{static_cast<unsigned char>(qRed(c)), static_cast<unsigned char>(qGreen(c)),
                      static_cast<unsigned char>(qBlue(c)), 255};
        liqEntries[i].count = entries[i].count;
    }
    liq_error err = AddToQuantiser(hist.get(), attr.get(), liqEntries);
    if (err != LIQ_OK)
        return Status::Error(QStringLiteral("Cannot choose a palette: %1").arg(LiqMessage(err)));
    // Error diffusion can only reach colours inside the palette's hull, so
    // the animation's outermost colours are kept as they are.
    const std::vector<QRgb> hull = HullColors(entries);
    for (const QRgb c : hull) {
        const liq_color color{static_cast<unsigned char>(qRed(c)),
                              static_cast<unsigned char>(qGreen(c)),
                              static_cast<unsigned char>(qBlue(c)), 255};
        liq_histogram_add_fixed_color(hist.get(), color, 0.0);
    }
    liq_result* raw = nullptr;
    KeepQuantiserOnThisThread();
    err = liq_histogram_quantize(hist.get(), attr.get(), &raw);
    std::unique_ptr<liq_result, LiqResultDeleter> result(raw);
    if (err != LIQ_OK || !result)
        return Status::Error(QStringLiteral("Cannot choose a palette: %1").arg(LiqMessage(err)));
    const liq_palette* pal = liq_get_palette(result.get());
    PaletteColors chosen;
    for (unsigned i = 0; i < pal->count; ++i)
        chosen.push_back(qRgb(pal->entries[i].r, pal->entries[i].g, pal->entries[i].b));
    // libimagequant weighs errors as the eye sees them (in gamma space); the
    // pages are judged in plain RGB, where a few rounds of k-means over the
    // histogram lower the error further. The hull colours stay where they
    // are so error diffusion keeps its reach.
    std::vector<bool> pinned(chosen.size(), false);
    for (std::size_t i = 0; i < chosen.size(); ++i)
        pinned[i] = std::find(hull.begin(), hull.end(), chosen[i] & 0xFFFFFFu) != hull.end();
    RefinePalette(&chosen, entries, pinned, kRefineRounds, threads);
    palette->insert(palette->end(), chosen.begin(), chosen.end());
    return Status::Ok();
}
