// Where the cells of a table lie: the cell size as a 32-bit float and the
// offset of the first cell. The table's border is split half before the
// first and half after the last cell, but only in a direction with more
// than one cell; a single cell spans the whole width or height.
#pragma once

#include "core/cellmask/table_geometry.h"

class CellGrid {
public:
    explicit CellGrid(const TableGeometry& table);

    int Rows() const { return m_nRows; }
    int Columns() const { return m_nColumns; }
    float CellWidth() const { return m_fCellWidth; }
    float CellHeight() const { return m_fCellHeight; }
    int OffsetX() const { return m_nOffsetX; }
    int OffsetY() const { return m_nOffsetY; }

private:
    int m_nRows;
    int m_nColumns;
    float m_fCellWidth;
    float m_fCellHeight;
    int m_nOffsetX;
    int m_nOffsetY;
};

// Float to int as C converts it (towards zero), saturating instead of
// overflowing for values that no image can have.
int TruncateToInt(double value);
