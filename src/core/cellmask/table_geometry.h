// The part of a table that a cell pattern is drawn for: its size, its grid
// of cells and their spacing, and the colour the cells are painted in. The
// renderers hold these fields; the mask painters read nothing else.
#pragma once

#include "core/base/color_ref.h"

struct TableGeometry {
    int width = 450;  // mask width in pixels, at least 1
    int height = 200; // mask height in pixels, at least 1
    int rows = 2;     // at least 1
    int columns = 3;  // at least 1
    int border = 5;   // spacing between cells, at least 0
    COLORREF cellColor = 0xFFFFFF;
};
