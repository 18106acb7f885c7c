#include "core/cellmask/cell_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

CellGrid::CellGrid(const TableGeometry& table)
    : m_nRows(std::max(table.rows, 1)), m_nColumns(std::max(table.columns, 1)) {
    // The division is a float division: with the default table the cells
    // are 148.33 pixels wide, and the last one ends at 449, not 446.
    m_fCellWidth = m_nColumns == 1 ? float(table.width)
                                   : float(double(table.width) - table.border) / float(m_nColumns);
    m_fCellHeight = m_nRows == 1 ? float(table.height)
                                 : float(double(table.height) - table.border) / float(m_nRows);
    m_nOffsetX = m_nColumns == 1 ? 0 : table.border / 2;
    m_nOffsetY = m_nRows == 1 ? 0 : table.border / 2;
}

int TruncateToInt(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    return int(std::clamp(std::trunc(value), kMin, kMax));
}
