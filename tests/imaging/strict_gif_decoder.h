// A second GIF decoder for the tests, written from the GIF89a rules alone and
// stricter than any real reader: every code must be in range at the width a
// decoder is at when it reads it, the image data must end with the end code
// and hold nothing after it, and the file must end at the trailer. It checks
// what giflib forgives, so our files stay readable by the strictest decoders
// (gifsicle rejects out-of-range codes; ImageMagick 6 stops reading at the
// last pixel and misreads any sub-block it leaves behind).
#pragma once

#include <QByteArray>
#include <QRgb>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct StrictGifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    int minCodeSize = 0;
    std::vector<QRgb> localPalette; // empty: the global one applies
    int delay = -1;                 // -1: no graphic control extension
    int disposal = 0;
    int transparentIndex = -1;
    std::vector<std::uint8_t> pixels; // row by row, de-interlaced
};

struct StrictGif {
    int width = 0, height = 0;
    std::vector<QRgb> globalPalette;
    int loops = -1;
    std::vector<StrictGifFrame> frames;
};

// Returns an empty string when `data` is a well-formed GIF and fills *gif;
// otherwise what is wrong and where.
std::string StrictDecodeGif(const QByteArray& data, StrictGif* gif);

// Decodes one image's data: `data` starts at the first sub-block (after the
// code-size byte) and must hold the terminating empty block. `colors` is the
// size of the colour table the indices must stay below. *consumed is the
// number of bytes up to and including the terminator.
std::string StrictDecodeImageData(const std::uint8_t* data, std::size_t size, int minCodeSize,
                                  std::size_t pixelCount, int colors,
                                  std::vector<std::uint8_t>* pixels, std::size_t* consumed);
