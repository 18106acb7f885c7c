// Choosing the one palette that every frame of an animation shares.
#pragma once

#include "core/base/status.h"
#include "core/imaging/color_histogram.h"
#include "core/imaging/indexed_image.h"

// Picks at most maxColors colours for the histogram: its own colours when
// there are that few, otherwise libimagequant's choice. With
// reserveTransparent, entry 0 is reserved for transparency (set to
// transparentColor) and the colours fill the entries after it.
// threads: the k-means rounds split the colours among them.
Status ChoosePalette(const ColorHistogram& histogram, int maxColors, bool reserveTransparent,
                     QRgb transparentColor, PaletteColors* palette, int threads = 1);

// How well a palette serves a histogram after RefinePalette.
struct PaletteFit {
    // Squared RGB distance to the nearest entry (summed over the three
    // channels), averaged over the pixels.
    double meanSquaredError = 0;
    int rounds = 0; // rounds that moved the palette
};

// k-means in plain RGB: moves every entry not pinned to the mean of the
// colours nearest to it, until the palette no longer moves or after
// maxRounds; entries no colour is nearest to move to the colours served
// worst. The result is the same for any thread count.
PaletteFit RefinePalette(PaletteColors* palette, const std::vector<ColorHistogram::Entry>& entries,
                         const std::vector<bool>& pinned, int maxRounds, int threads = 1);

// The colours that lie farthest out in each of the colour cube's 8 corner
// and 6 axis directions: the reach of error diffusion.
std::vector<QRgb> HullColors(const std::vector<ColorHistogram::Entry>& entries);
