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
    // Speed 7 skips most of the k-means refinement: the palette then keeps
    // more spread, which measured better under error diffusion at a small
    // cost to nearest-colour error (bench/compare-encoders).
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
    for (unsigned i = 0; i < pal->count; ++i)
        palette->push_back(qRgb(pal->entries[i].r, pal->entries[i].g, pal->entries[i].b));
    return Status::Ok();
}
