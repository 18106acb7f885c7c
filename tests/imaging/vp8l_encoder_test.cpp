// The few-colour lossless frame encoder, decoded by libwebp itself: every
// pixel back exactly, over the index packings, odd sizes and deep codes.
#include "core/imaging/vp8l_encoder.h"

#include <webp/decode.h>

#include <algorithm>
#include <bit>
#include <gtest/gtest.h>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

enum class Layout { Random, Stripes, Skewed };

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// `colors` distinct colours (one of them fully transparent, some half), laid
// out as noise (mostly literals), diagonal stripes (mostly copies) or noise
// whose colours fall off geometrically (codes deep enough to need limiting).
Picture Make(int colors, int width, int height, Layout layout, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < colors; ++i) {
        std::uint32_t c = random();
        c = i == 0 ? 0u : i % 5 == 1 ? (c & 0x00ffffffu) | 0x80000000u : c | 0xff000000u;
        // Distinct by construction: the low byte carries the index.
        palette.push_back((c & 0xffffff00u) | std::uint32_t(i & 0xff));
    }
    Picture p{width, height, {}};
    p.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int index = 0;
            switch (layout) {
            case Layout::Random:
                index = int(random() % std::uint32_t(colors));
                break;
            case Layout::Stripes:
                index = (x / 3 + y) % colors;
                break;
            case Layout::Skewed:
                index = std::min(colors - 1,
                                 std::countr_zero(random() | 0x80000000u) + int(random() % 2) * 32);
                break;
            }
            p.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                palette[std::size_t(index)];
        }
    return p;
}

// Noise whose colours change from block to block: the palette split in
// `sets` disjoint sets, the blocks taking them in turn row by row.
// Blocks of a size other than the encoder's tiles put tiles of two or more
// sets side by side and codes switch inside copies.
Picture MakeRegions(int width, int height, int colors, int sets, int block, std::uint32_t seed) {
    std::mt19937 random(seed);
    Picture p{width, height, {}};
    p.pixels.resize(std::size_t(width) * std::size_t(height));
    const int perSet = colors / sets;
    const int across = (width + block - 1) / block;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int set = (x / block + across * (y / block)) % sets;
            const int index = set * perSet + int(random() % std::uint32_t(perSet));
            // Distinct colours, the first transparent: frames blended over
            // the one before hold many transparent pixels.
            p.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                index == 0 ? 0u : 0xff000000u | std::uint32_t(index) * 0x010307u;
        }
    return p;
}

// Encodes and decodes; an empty string when the pixels came back whole.
std::string RoundTrip(const Picture& p, qsizetype* size = nullptr) {
    QByteArray webp;
    Vp8lEncoder encoder;
    if (!encoder.Encode(p.pixels.data(), p.width, p.height, p.width, &webp))
        return "refused";
    if (size)
        *size = webp.size();
    int w = 0, h = 0;
    std::uint8_t* rgba = WebPDecodeRGBA(reinterpret_cast<const std::uint8_t*>(webp.constData()),
                                        std::size_t(webp.size()), &w, &h);
    if (!rgba)
        return "libwebp could not decode it";
    std::string failure;
    if (w != p.width || h != p.height)
        failure = "wrong size";
    for (int i = 0; failure.empty() && i < w * h; ++i) {
        const std::uint8_t* q = rgba + std::size_t(i) * 4;
        const std::uint32_t got =
            std::uint32_t(q[3]) << 24 | std::uint32_t(q[0]) << 16 | std::uint32_t(q[1]) << 8 | q[2];
        if (got != p.pixels[std::size_t(i)])
            failure = "pixel " + std::to_string(i) + " differs";
    }
    WebPFree(rgba);
    return failure;
}

class Vp8lEncoderColors : public ::testing::TestWithParam<int> {};

TEST_P(Vp8lEncoderColors, EveryWidthAndOddHeightDecodesExactly) {
    const int colors = GetParam();
    for (Layout layout : {Layout::Random, Layout::Stripes})
        for (int width = 1; width <= 33; ++width)
            for (int height : {1, 3, 7, 17}) {
                const Picture p = Make(colors, width, height, layout,
                                       std::uint32_t(colors * 1000 + width * 10 + height));
                EXPECT_EQ(RoundTrip(p), "") << colors << " colours, " << width << " x " << height
                                            << (layout == Layout::Random ? " noise" : " stripes");
            }
}

INSTANTIATE_TEST_SUITE_P(Palettes, Vp8lEncoderColors,
                         ::testing::Values(1, 2, 3, 4, 16, 17, 200, 256));

// Long copies (a frame of rows that repeat), codes that would go deeper
// than the format's 15 bits, and more colours than a palette holds.
TEST(Vp8lEncoder, LongCopiesDeepCodesAndTooManyColors) {
    Picture rows = Make(16, 1000, 301, Layout::Stripes, 7);
    for (int y = 1; y < rows.height; ++y)
        std::copy_n(rows.pixels.begin(), rows.width, rows.pixels.begin() + y * rows.width);
    EXPECT_EQ(RoundTrip(rows), "");
    QByteArray webp;
    Vp8lEncoder encoder;
    ASSERT_TRUE(encoder.Encode(rows.pixels.data(), rows.width, rows.height, rows.width, &webp));
    // 301,000 pixels of one repeated row: a few copies, not a byte a pixel.
    EXPECT_LT(webp.size(), 2000);

    EXPECT_EQ(RoundTrip(Make(256, 512, 511, Layout::Skewed, 3)), "");

    Picture many{257, 2, {}};
    for (std::uint32_t i = 0; i < 514; ++i)
        many.pixels.push_back(0xff000000u | (i % 257) * 0x010101u);
    const QByteArray before("kept");
    webp = before;
    EXPECT_FALSE(encoder.Encode(many.pixels.data(), many.width, many.height, many.width, &webp));
    EXPECT_EQ(webp, before);
}

// A copy from each pixel nearby, (dx, dy) meaning dx to the left and dy
// rows up: eight rows of noise, then every pixel repeats the one at that
// offset. Each is coded with its short distance code, so a code the
// encoder maps to the wrong pixel comes back wrong.
TEST(Vp8lEncoder, CopiesFromEveryNearbyPixelDecodeExactly) {
    const int width = 64;
    std::vector<std::pair<int, int>> offsets;
    for (int dy = 0; dy <= 7; ++dy)
        for (int dx = dy == 0 ? 1 : -7; dx <= 8; ++dx)
            offsets.push_back({dx, dy});
    for (const auto& [dx, dy] : offsets) {
        Picture p = Make(256, width, 24, Layout::Random, std::uint32_t(dx * 31 + dy));
        const int distance = dx + dy * width;
        for (std::size_t i = 8 * width; i < p.pixels.size(); ++i)
            p.pixels[i] = p.pixels[i - std::size_t(distance)];
        EXPECT_EQ(RoundTrip(p), "") << "copy from " << dx << " left, " << dy << " up";
    }
}

struct RegionCase {
    int width, height, colors, sets, block;
    bool sized; // large blocks of 16 colours each: held to a size
};

std::ostream& operator<<(std::ostream& out, const RegionCase& c) {
    return out << c.width << " x " << c.height << ", " << c.colors << " colours in " << c.sets
               << " sets, blocks of " << c.block;
}

class Vp8lEncoderRegions : public ::testing::TestWithParam<RegionCase> {};

// Where each region's colours take fewer bits a pixel than the frame's
// palette, the file must come out near what codes of each region's own give:
// one set for the whole frame takes about 6 bits a pixel here.
TEST_P(Vp8lEncoderRegions, DecodesExactlyAndCodesEachRegionApart) {
    const RegionCase c = GetParam();
    const Picture p = MakeRegions(c.width, c.height, c.colors, c.sets, c.block,
                                  std::uint32_t(c.width * 7 + c.height));
    qsizetype size = 0;
    ASSERT_EQ(RoundTrip(p, &size), "");
    if (c.sized) {
        const int ownBits = std::bit_width(unsigned(c.colors / c.sets - 1));
        EXPECT_LT(double(size), (ownBits + 1) * c.width * c.height / 8.0)
            << "one set of codes for " << c.sets << " regions";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tiles, Vp8lEncoderRegions,
    ::testing::Values(RegionCase{512, 512, 256, 16, 128, true},   // 16 sets, 16 colours each
                      RegionCase{1024, 512, 256, 32, 128, false}, // more sets than groups
                      RegionCase{2100, 2100, 256, 16, 256, true}, // larger tiles
                      RegionCase{403, 277, 200, 8, 40, false},    // neither side a tile multiple
                      RegionCase{1, 3000, 64, 4, 97, false},      // one pixel wide
                      RegionCase{3000, 1, 64, 4, 97, false},      // one pixel high
                      RegionCase{517, 300, 16, 4, 50, false},     // two indices a byte
                      RegionCase{1001, 403, 4, 2, 70, false},     // four a byte
                      RegionCase{2000, 297, 2, 2, 33, false},   // eight a byte, one colour a block
                      RegionCase{333, 333, 256, 2, 5, false})); // sets change inside every tile

} // namespace
