// Counts of the 24-bit colours of a set of frames. Up to kExactLimit distinct
// colours it counts them exactly, so an animation with few colours keeps them
// all; beyond that it merges colours that share a cell of a 32 x 32 x 32 cube
// into their weighted mean, which keeps memory and the quantiser's time
// bounded for gradients with millions of colours.
#pragma once

#include "core/imaging/color_table.h"

#include <QImage>
#include <QRgb>
#include <cstdint>
#include <vector>

class ColorHistogram {
public:
    ColorHistogram();
    // Counting in cells from the start: a quick, small summary of one frame.
    enum class Start { Exact, Cells };
    explicit ColorHistogram(Start start);

    // Adds every pixel of a frame (its alpha is ignored), `times` over. False
    // when there was no memory to convert it to 32 bits.
    bool AddFrame(const QImage& frame, std::uint64_t times = 1);
    void Add(QRgb color, std::uint32_t count);
    void Merge(const ColorHistogram& other);
    // Takes away pixels counted before (a count that saturated no longer
    // holds them all).
    void Remove(QRgb color, std::uint64_t count);

    static constexpr std::size_t kExactLimit = 1 << 16;

    // Distinct colours, or occupied cells once merged.
    std::size_t ColorCount() const { return m_nUsed; }
    bool IsExact() const { return m_cells.empty(); }
    std::uint64_t PixelCount() const { return m_nPixels; }

    struct Entry {
        QRgb color; // 0x00RRGGBB
        std::uint32_t count;
    };
    // In ascending colour (or cell) order, the same for any order of
    // counting.
    std::vector<Entry> Entries() const;

private:
    static constexpr std::uint32_t kEmpty = color_table::kEmpty;
    static constexpr int kCellBits = 5;
    struct Cell {
        std::uint64_t r = 0, g = 0, b = 0, n = 0;
    };
    void Grow();
    void SwitchToCells();
    Cell& CellOf(QRgb color);
    void AddToCell(QRgb color, std::uint64_t count);

    std::vector<Cell> m_cells; // empty while counting exactly

    std::vector<std::uint32_t> m_keys;
    std::vector<std::uint32_t> m_counts;
    std::size_t m_nUsed = 0;
    std::uint64_t m_nPixels = 0;
};
