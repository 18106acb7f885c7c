// Choosing the one palette that every frame of an animation shares.
#pragma once

#include "imaging/color_histogram.h"
#include "imaging/indexed_image.h"
#include "page/status.h"

// Picks at most maxColors colours for the histogram: its own colours when
// there are that few, otherwise libimagequant's choice. With
// reserveTransparent, entry 0 is reserved for transparency (set to
// transparentColor) and the colours fill the entries after it.
Status ChoosePalette(const ColorHistogram& histogram, int maxColors, bool reserveTransparent,
                     QRgb transparentColor, PaletteColors* palette);
