// An 8-bit palette image as the GIF writer takes it: one byte per pixel, the
// palette, and the per-frame fields of a graphic control extension.
#pragma once

#include "core/base/huge_pages.h"

#include <QRgb>
#include <cstdint>
#include <vector>

// At most 256 entries; an entry's alpha is ignored.
using PaletteColors = std::vector<QRgb>;

struct IndexedImage {
    int left = 0; // position on the logical screen (frames that store only a part)
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // row-major, width * height
    PaletteColors palette;
    int transparentIndex = -1; // -1: none
    int delay = 0;             // hundredths of a second
    int disposal = 0;          // GIF89a disposal method 0..3

    IndexedImage() = default;
    // A large frame's indices are new memory every frame: in huge pages,
    // where the system gives them, its first touch is far cheaper.
    IndexedImage(int w, int h) : width(w), height(h) {
        const std::size_t count = std::size_t(w) * std::size_t(h);
        pixels.reserve(count);
        AdviseHugePages(pixels.data(), count);
        pixels.resize(count, 0);
    }

    std::uint8_t* Row(int y) { return pixels.data() + std::size_t(y) * std::size_t(width); }
    const std::uint8_t* Row(int y) const {
        return pixels.data() + std::size_t(y) * std::size_t(width);
    }
    std::uint8_t At(int x, int y) const { return Row(y)[x]; }
};
