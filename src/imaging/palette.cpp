#include "imaging/palette.h"

#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <memory>

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

// The colours that lie farthest out in each of the cube's 8 corner
// directions and 6 axis directions.
std::vector<QRgb> HullColors(const std::vector<ColorHistogram::Entry>& entries) {
    std::vector<std::array<int, 3>> directions;
    for (int dr = -1; dr <= 1; ++dr)
        for (int dg = -1; dg <= 1; ++dg)
            for (int db = -1; db <= 1; ++db) {
                const int nonzero = (dr != 0) + (dg != 0) + (db != 0);
                if (nonzero == 1 || nonzero == 3)
                    directions.push_back({dr, dg, db});
            }
    std::vector<QRgb> hull;
    for (const auto& d : directions) {
        int best = -1 << 30;
        QRgb color = 0;
        for (const auto& e : entries) {
            const int v = d[0] * qRed(e.color) + d[1] * qGreen(e.color) + d[2] * qBlue(e.color);
            if (v > best) {
                best = v;
                color = e.color;
            }
        }
        if (std::find(hull.begin(), hull.end(), color) == hull.end())
            hull.push_back(color);
    }
    return hull;
}

constexpr int kRefineRounds = 16;

// libimagequant weighs errors as the eye sees them (in gamma space); the
// pages are judged in plain RGB, where a few rounds of k-means over the
// histogram lower the error further. The hull colours stay where they are so
// error diffusion keeps its reach.
void RefineInRgb(PaletteColors* palette, const std::vector<ColorHistogram::Entry>& entries,
                 const std::vector<QRgb>& fixed, int iterations) {
    const std::size_t n = palette->size();
    std::vector<bool> pinned(n, false);
    for (std::size_t i = 0; i < n; ++i)
        pinned[i] = std::find(fixed.begin(), fixed.end(), (*palette)[i] & 0xFFFFFFu) != fixed.end();
    std::vector<int> pr(n), pg(n), pb(n);
    std::vector<int> assigned(entries.size(), -1);
    struct Sum {
        double r = 0, g = 0, b = 0, n = 0;
    };
    for (int it = 0; it < iterations; ++it) {
        bool changed = false;
        for (std::size_t i = 0; i < n; ++i)
            pr[i] = qRed((*palette)[i]), pg[i] = qGreen((*palette)[i]),
            pb[i] = qBlue((*palette)[i]);
        std::vector<Sum> sums(n);
        // Entries sorted by red: the search walks out from the entry's red
        // and stops once red alone is farther than the best match.
        std::vector<int> order(n);
        for (std::size_t i = 0; i < n; ++i)
            order[i] = int(i);
        std::sort(order.begin(), order.end(), [&](int a, int b) { return pr[a] < pr[b]; });
        std::vector<int> sortedRed(n);
        for (std::size_t i = 0; i < n; ++i)
            sortedRed[i] = pr[order[i]];
        for (const auto& e : entries) {
            const int r = qRed(e.color), g = qGreen(e.color), b = qBlue(e.color);
            int best = 0, bestDistance = 1 << 30;
            const auto start =
                std::lower_bound(sortedRed.begin(), sortedRed.end(), r) - sortedRed.begin();
            auto consider = [&](std::ptrdiff_t k) {
                const int i = order[std::size_t(k)];
                const int dr = r - pr[i], dg = g - pg[i], db = b - pb[i];
                const int d = dr * dr + dg * dg + db * db;
                if (d < bestDistance || (d == bestDistance && i < best))
                    bestDistance = d, best = i;
            };
            for (std::ptrdiff_t up = start, down = start - 1;
                 up < std::ptrdiff_t(n) || down >= 0;) {
                bool any = false;
                if (up < std::ptrdiff_t(n)) {
                    const int dr = sortedRed[std::size_t(up)] - r;
                    if (dr * dr <= bestDistance) {
                        consider(up++);
                        any = true;
                    } else {
                        up = std::ptrdiff_t(n);
                    }
                }
                if (down >= 0) {
                    const int dr = r - sortedRed[std::size_t(down)];
                    if (dr * dr <= bestDistance) {
                        consider(down--);
                        any = true;
                    } else {
                        down = -1;
                    }
                }
                if (!any)
                    break;
            }
            const std::size_t k = std::size_t(&e - entries.data());
            changed |= assigned[k] != best;
            assigned[k] = best;
            Sum& s = sums[best];
            s.r += double(r) * e.count, s.g += double(g) * e.count, s.b += double(b) * e.count;
            s.n += e.count;
        }
        if (!changed)
            break; // converged: the means would not move
        for (std::size_t i = 0; i < n; ++i) {
            if (pinned[i] || sums[i].n == 0)
                continue;
            (*palette)[i] = qRgb(int(sums[i].r / sums[i].n + 0.5), int(sums[i].g / sums[i].n + 0.5),
                                 int(sums[i].b / sums[i].n + 0.5));
        }
    }
}

} // namespace

Status ChoosePalette(const ColorHistogram& histogram, int maxColors, bool reserveTransparent,
                     QRgb transparentColor, PaletteColors* palette) {
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
    liq_error err = liq_histogram_add_colors(hist.get(), attr.get(), liqEntries.data(),
                                             int(liqEntries.size()), 0.0);
    if (err != LIQ_OK)
        return Status::Error(QStringLiteral("Cannot choose a palette: %1").arg(LiqMessage(err)));
    // Error diffusion can only reach colours inside the palette's hull, so
    // the animation's outermost colours are kept as they are.
    for (const QRgb c : HullColors(entries)) {
        const liq_color color{static_cast<unsigned char>(qRed(c)),
                              static_cast<unsigned char>(qGreen(c)),
                              static_cast<unsigned char>(qBlue(c)), 255};
        liq_histogram_add_fixed_color(hist.get(), color, 0.0);
    }
    liq_result* raw = nullptr;
    err = liq_histogram_quantize(hist.get(), attr.get(), &raw);
    std::unique_ptr<liq_result, LiqResultDeleter> result(raw);
    if (err != LIQ_OK || !result)
        return Status::Error(QStringLiteral("Cannot choose a palette: %1").arg(LiqMessage(err)));
    const liq_palette* pal = liq_get_palette(result.get());
    PaletteColors chosen;
    for (unsigned i = 0; i < pal->count; ++i)
        chosen.push_back(qRgb(pal->entries[i].r, pal->entries[i].g, pal->entries[i].b));
    RefineInRgb(&chosen, entries, HullColors(entries), kRefineRounds);
    palette->insert(palette->end(), chosen.begin(), chosen.end());
    return Status::Ok();
}
