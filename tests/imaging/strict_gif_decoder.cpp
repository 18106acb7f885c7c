#include "strict_gif_decoder.h"

#include <array>
#include <cstring>

namespace {

std::string Str(std::size_t n) {
    return std::to_string(n);
}

// Reads the file front to back; every read says what it was after so that a
// truncated file is reported by what it cut.
class Cursor {
public:
    Cursor(const QByteArray& data)
        : m_p(reinterpret_cast<const std::uint8_t*>(data.constData())),
          m_nSize(std::size_t(data.size())) {}
    bool Need(std::size_t n, const char* what, std::string* error) {
        if (m_nAt + n <= m_nSize)
            return true;
        *error = std::string("the file ends inside ") + what + " at byte " + Str(m_nAt);
        return false;
    }
    std::uint8_t Byte() { return m_p[m_nAt++]; }
    int Word() {
        const int v = m_p[m_nAt] | (m_p[m_nAt + 1] << 8);
        m_nAt += 2;
        return v;
    }
    const std::uint8_t* Here() const { return m_p + m_nAt; }
    std::size_t Left() const { return m_nSize - m_nAt; }
    std::size_t At() const { return m_nAt; }
    void Skip(std::size_t n) { m_nAt += n; }

private:
    const std::uint8_t* m_p;
    std::size_t m_nSize;
    std::size_t m_nAt = 0;
};

bool ReadColorTable(Cursor& in, int bits, std::vector<QRgb>* palette, std::string* error) {
    const std::size_t n = std::size_t(1) << bits;
    if (!in.Need(3 * n, "a colour table", error))
        return false;
    palette->clear();
    for (std::size_t i = 0; i < n; ++i) {
        const int r = in.Byte(), g = in.Byte(), b = in.Byte();
        palette->push_back(qRgb(r, g, b));
    }
    return true;
}

// Collects an extension's sub-blocks after its label.
bool ReadSubBlocks(Cursor& in, std::vector<std::vector<std::uint8_t>>* blocks, std::string* error) {
    for (;;) {
        if (!in.Need(1, "an extension", error))
            return false;
        const std::size_t n = in.Byte();
        if (n == 0)
            return true;
        if (!in.Need(n, "an extension's sub-block", error))
            return false;
        blocks->emplace_back(in.Here(), in.Here() + n);
        in.Skip(n);
    }
}

} // namespace

std::string StrictDecodeImageData(const std::uint8_t* data, std::size_t size, int minCodeSize,
                                  std::size_t pixelCount, int colors,
                                  std::vector<std::uint8_t>* pixels, std::size_t* consumed) {
    pixels->clear();
    *consumed = 0;
    if (minCodeSize < 2 || minCodeSize > 8)
        return "LZW code size " + Str(std::size_t(minCodeSize)) + " is outside 2..8";
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> blockStarts; // offset in `bytes` of each sub-block
    std::size_t at = 0;
    for (;;) {
        if (at >= size)
            return "the image data ends without its terminating empty sub-block";
        const std::size_t n = data[at++];
        if (n == 0)
            break;
        if (at + n > size)
            return "a sub-block of " + Str(n) + " bytes runs past the end of the data";
        blockStarts.push_back(bytes.size());
        bytes.insert(bytes.end(), data + at, data + at + n);
        at += n;
    }
    *consumed = at;

    const unsigned clear = 1u << minCodeSize, end = clear + 1;
    std::array<std::uint16_t, 4096> prefix{};
    std::array<std::uint8_t, 4096> suffix{};
    std::array<std::uint16_t, 4096> length{};
    for (unsigned c = 0; c < clear; ++c) {
        suffix[c] = std::uint8_t(c);
        length[c] = 1;
    }
    int width = minCodeSize + 1;
    unsigned next = end + 1;
    int prev = -1;
    bool first = true;
    std::size_t bit = 0, codes = 0, lastPixelBit = 0;
    const std::size_t totalBits = bytes.size() * 8;
    std::vector<std::uint8_t> string;
    for (;;) {
        if (bit + std::size_t(width) > totalBits)
            return "the code stream ends without an end code after " + Str(pixels->size()) +
                   " of " + Str(pixelCount) + " pixels";
        unsigned code = 0;
        for (int k = 0; k < width; ++k, ++bit)
            code |= unsigned((bytes[bit / 8] >> (bit % 8)) & 1) << k;
        const std::string where = " (code " + Str(codes) + ", bit " + Str(bit - width) + ", " +
                                  Str(std::size_t(width)) + " bits wide)";
        ++codes;
        if (first && code != clear)
            return "the image data does not start with a clear code" + where;
        first = false;
        if (code == clear) {
            width = minCodeSize + 1;
            next = end + 1;
            prev = -1;
            continue;
        }
        if (code == end)
            break;
        if (prev < 0) {
            if (code > clear)
                return "code " + Str(code) + " follows a clear code" + where;
            string.assign(1, std::uint8_t(code));
        } else {
            if (code > next || (code == next && next == 4096))
                return "code " + Str(code) + " is out of range, the table ends at " +
                       Str(next - 1) + where;
            const unsigned source = code < next ? code : unsigned(prev);
            string.resize(length[source]);
            for (unsigned c = source, i = length[source]; i-- > 0; c = prefix[c])
                string[i] = suffix[c];
            if (code == next)
                string.push_back(string[0]);
            if (next < 4096) {
                prefix[next] = std::uint16_t(prev);
                suffix[next] = string[0];
                length[next] = std::uint16_t(length[prev] + 1);
                ++next;
                if (next == (1u << width) && width < 12)
                    ++width;
            }
        }
        prev = int(code);
        for (std::uint8_t index : string) {
            if (index >= colors)
                return "index " + Str(index) + " is beyond the colour table of " +
                       Str(std::size_t(colors)) + where;
            if (pixels->size() == pixelCount)
                return "more pixels than the image's " + Str(pixelCount) + where;
            pixels->push_back(index);
        }
        if (pixels->size() == pixelCount)
            lastPixelBit = bit;
    }
    if (pixels->size() != pixelCount)
        return "the end code comes after " + Str(pixels->size()) + " of " + Str(pixelCount) +
               " pixels";
    const std::size_t used = (bit + 7) / 8;
    if (used < bytes.size())
        return Str(bytes.size() - used) + " bytes follow the end code";
    // A decoder that stops at the last pixel reads no further sub-blocks.
    if (pixelCount > 0 && blockStarts.back() > (lastPixelBit - 1) / 8)
        return "the end code is in a sub-block of its own after the last pixel's code";
    return {};
}

std::string StrictDecodeGif(const QByteArray& data, StrictGif* gif) {
    *gif = StrictGif();
    std::string error;
    Cursor in(data);
    if (!in.Need(13, "the header", &error))
        return error;
    if (std::memcmp(in.Here(), "GIF89a", 6) != 0 && std::memcmp(in.Here(), "GIF87a", 6) != 0)
        return "no GIF87a or GIF89a signature";
    in.Skip(6);
    gif->width = in.Word();
    gif->height = in.Word();
    const std::uint8_t flags = in.Byte();
    in.Skip(2); // background colour, aspect ratio
    if (gif->width == 0 || gif->height == 0)
        return "the logical screen is empty";
    if ((flags & 0x80) && !ReadColorTable(in, (flags & 7) + 1, &gif->globalPalette, &error))
        return error;

    StrictGifFrame pending; // what a graphic control extension set for the next image
    for (;;) {
        if (!in.Need(1, "the block list (no trailer)", &error))
            return error;
        const std::size_t blockAt = in.At();
        const std::uint8_t introducer = in.Byte();
        if (introducer == 0x3B) {
            if (in.Left() > 0)
                return Str(in.Left()) + " bytes follow the trailer";
            return {};
        }
        if (introducer == 0x21) {
            if (!in.Need(1, "an extension label", &error))
                return error;
            const std::uint8_t label = in.Byte();
            std::vector<std::vector<std::uint8_t>> blocks;
            if (!ReadSubBlocks(in, &blocks, &error))
                return error;
            if (label == 0xF9) {
                if (blocks.size() != 1 || blocks[0].size() != 4)
                    return "a graphic control extension at byte " + Str(blockAt) +
                           " is not one block of 4 bytes";
                const auto& b = blocks[0];
                pending.disposal = (b[0] >> 2) & 7;
                pending.delay = b[1] | (b[2] << 8);
                pending.transparentIndex = (b[0] & 1) ? b[3] : -1;
            } else if (label == 0xFF) {
                if (blocks.empty() || blocks[0].size() != 11)
                    return "an application extension at byte " + Str(blockAt) +
                           " has no 11-byte identifier";
                if (std::memcmp(blocks[0].data(), "NETSCAPE2.0", 11) == 0 && blocks.size() > 1 &&
                    blocks[1].size() == 3 && blocks[1][0] == 1)
                    gif->loops = blocks[1][1] | (blocks[1][2] << 8);
            }
            continue;
        }
        if (introducer != 0x2C)
            return "byte " + Str(blockAt) + " (" + Str(introducer) +
                   ") starts no block: a decoder looking for the next block would misread it";
        if (!in.Need(9, "an image descriptor", &error))
            return error;
        StrictGifFrame frame = pending;
        pending = StrictGifFrame();
        frame.left = in.Word();
        frame.top = in.Word();
        frame.width = in.Word();
        frame.height = in.Word();
        const std::uint8_t imageFlags = in.Byte();
        frame.interlaced = (imageFlags & 0x40) != 0;
        const std::string name = "frame " + Str(gif->frames.size());
        if (frame.width == 0 || frame.height == 0)
            return name + " is empty";
        if (frame.left + frame.width > gif->width || frame.top + frame.height > gif->height)
            return name + " reaches outside the logical screen";
        if ((imageFlags & 0x80) &&
            !ReadColorTable(in, (imageFlags & 7) + 1, &frame.localPalette, &error))
            return error;
        const std::size_t colors =
            frame.localPalette.empty() ? gif->globalPalette.size() : frame.localPalette.size();
        if (colors == 0)
            return name + " has no colour table";
        if (!in.Need(1, "the LZW code size", &error))
            return error;
        frame.minCodeSize = in.Byte();
        const std::size_t count = std::size_t(frame.width) * std::size_t(frame.height);
        std::vector<std::uint8_t> stored;
        std::size_t consumed = 0;
        const std::string why = StrictDecodeImageData(in.Here(), in.Left(), frame.minCodeSize,
                                                      count, int(colors), &stored, &consumed);
        if (!why.empty())
            return name + ": " + why;
        in.Skip(consumed);
        if (frame.interlaced) {
            frame.pixels.resize(count);
            std::size_t row = 0;
            const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = starts[pass]; y < frame.height; y += steps[pass], ++row)
                    std::memcpy(frame.pixels.data() + std::size_t(y) * std::size_t(frame.width),
                                stored.data() + row * std::size_t(frame.width),
                                std::size_t(frame.width));
        } else {
            frame.pixels = std::move(stored);
        }
        gif->frames.push_back(std::move(frame));
    }
}
