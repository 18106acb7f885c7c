// Masks as text for pixel fixtures: '#' black (the animation shows), '.'
// white (the cell colour), one line per row.
#pragma once

#include "core/imaging/cell_mask.h"

#include <string>

inline std::string MaskPicture(const CellMask& mask) {
    std::string text;
    for (int y = 0; y < mask.Height(); ++y) {
        for (int x = 0; x < mask.Width(); ++x)
            text += mask.IsCell(x, y) ? '.' : '#';
        text += '\n';
    }
    return text;
}

// The part of a mask inside a rectangle, as text.
inline std::string MaskWindow(const CellMask& mask, int left, int top, int width, int height) {
    std::string text;
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x)
            text += x < 0 || y < 0 || x >= mask.Width() || y >= mask.Height() ? '?'
                    : mask.IsCell(x, y)                                       ? '.'
                                                                              : '#';
        text += '\n';
    }
    return text;
}
