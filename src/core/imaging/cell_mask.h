// The 1-bit cell-pattern mask of a table: 0 where the animation shows (drawn
// black, transparent in the cell GIF), 1 in the cell area (drawn white).
#pragma once

#include "core/base/color_ref.h"
#include "core/imaging/indexed_image.h"

#include <QImage>
#include <cstdint>
#include <vector>

// What becomes of a table's cell mask: nothing, a GIF of its own that the
// page lays over the animation, or cut into the animation's frames.
enum class MaskMode { None, SeparateLayer, MergedIntoFrames };

class CellMask {
public:
    CellMask() = default;
    CellMask(int width, int height)
        : m_nWidth(width), m_nHeight(height), m_bits(std::size_t(width) * height, 0) {}

    // Every pixel goes to the nearer of black and white.
    static CellMask FromImage(const QImage& image);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    bool IsEmpty() const { return m_bits.empty(); }
    bool IsCell(int x, int y) const { return m_bits[std::size_t(y) * m_nWidth + x] != 0; }
    void SetCell(int x, int y, bool cell) { m_bits[std::size_t(y) * m_nWidth + x] = cell ? 1 : 0; }
    const std::uint8_t* Row(int y) const { return m_bits.data() + std::size_t(y) * m_nWidth; }
    std::uint8_t* Row(int y) { return m_bits.data() + std::size_t(y) * m_nWidth; }

    // The mask as the cell GIF stores it: index 0 transparent, index 1 the
    // cell colour.
    IndexedImage ToIndexedImage(COLORREF cellColor) const;

private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<std::uint8_t> m_bits;
};

// Cuts a frame by the mask: wherever the mask marks the cell area the frame
// gets index 0, which becomes its transparent index. Only the overlap of the
// two at (0, 0) counts.
void MergeCellMask(IndexedImage& frame, const CellMask& mask);
