// A fast lossless WebP encoder for frames of at most 256 colours: the
// frame's own palette, its indices packed several to a pixel, LZ77, and
// prefix codes chosen per tile from a few sets shared by tiles that look
// alike. Its files come out somewhat smaller or larger than a general
// encoder's, depending on the picture, at a fraction of the time.
#pragma once

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Keeps its working buffers between frames: reuse one per thread.
class Vp8lEncoder {
public:
    // Frames of more colours than this go to another encoder.
    static constexpr int kMaxColors = 256;

    // Encodes width x height 0xAARRGGBB words (`stride` words a row) as a
    // still WebP file, replacing *webp. False, with *webp untouched, when the
    // pixels hold more than kMaxColors colours or a side is outside 1..16384.
    bool Encode(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride,
                QByteArray* webp);

private:
    struct Token {
        // A literal index byte, or a copy of `length` bytes from
        // `distanceCode` (the distance as the stream carries it) back.
        std::uint16_t length; // 0 for a literal
        std::uint8_t literal;
        std::uint32_t distanceCode;
    };

    bool CollectPalette(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride);
    void PackIndices(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride,
                     int widthBits);
    void FindCopies(int packedWidth);
    // Sorts the tiles of 2^tileBits packed pixels a side into groups that
    // share one set of codes; fills m_tileGroup and returns the group count.
    int GroupTiles(int packedWidth, int height, int tileBits);
    // The colour set's slot of a colour it holds.
    static constexpr std::size_t kSlots = 1024;
    static std::size_t SlotOf(std::uint32_t color) { return (color * 0x9E3779B1u) >> 22; }
    std::size_t FindSlot(std::uint32_t color) const;

    std::vector<std::uint32_t> m_palette; // sorted, so the bytes do not depend on pixel order
    std::array<std::uint32_t, kSlots> m_slotColor{};
    std::array<bool, kSlots> m_slotFull{};
    std::array<std::uint8_t, kSlots> m_slotIndex{};
    std::vector<std::uint8_t> m_packed; // the index image, one byte a packed pixel
    std::vector<Token> m_tokens;
    std::vector<std::int32_t> m_head;
    std::vector<std::int32_t> m_chain;
    std::vector<std::uint8_t> m_nearCode; // by distance: the nearby-pixel code naming it, or 0
    // Per tile: its symbol counts, sparse (bin, count) runs from m_binStart.
    std::vector<std::uint32_t> m_tileCounts;
    std::vector<std::uint32_t> m_binStart;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> m_bins;
    std::vector<std::uint8_t> m_tileGroup;
};
