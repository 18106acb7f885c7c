// Our LZW against giflib's decoder and the strict one: every code size, the
// table's resets and the widths at which codes grow.
#include "core/imaging/gif_reader.h"
#include "core/imaging/gif_writer.h"
#include "core/imaging/lzw_encoder.h"
#include "strict_gif_decoder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> Pattern(std::size_t n, int colors, int kind, std::uint32_t seed) {
    std::vector<std::uint8_t> v(n);
    std::size_t left = 0; // of the run of kind 4
    std::uint8_t index = 0;
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        switch (kind) {
        case 0:
            v[i] = std::uint8_t((seed >> 16) % colors);
            break; // noise
        case 1:
            v[i] = std::uint8_t((i / 37) % colors);
            break; // runs
        case 2:
            v[i] = std::uint8_t((i * 7 + i / 450) % colors);
            break; // repeating ramps
        case 4: {
            // Runs of 1 to about 9000 of one index, then of another:
            // every length a run's codes can reach, and across resets.
            if (left == 0) {
                const std::uint32_t r = seed >> 8;
                left = 1 + (r % 7 == 0 ? r % 9000 : r % 40);
                index = std::uint8_t((r >> 4) % colors);
            }
            --left;
            v[i] = index;
            break;
        }
        default:
            v[i] = 0;
            break; // one colour
        }
    }
    return v;
}

TEST(LzwEncoder, MinimumCodeSizes) {
    EXPECT_EQ(GifMinCodeSize(2), 2);
    EXPECT_EQ(GifMinCodeSize(4), 2);
    EXPECT_EQ(GifMinCodeSize(5), 3);
    EXPECT_EQ(GifMinCodeSize(128), 7);
    EXPECT_EQ(GifMinCodeSize(256), 8);
}

TEST(LzwEncoder, GiflibDecodesWhatWeEncode) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lzw.gif"));
    for (int colors : {2, 3, 4, 16, 100, 256}) {
        for (int kind = 0; kind < 5; ++kind) {
            for (QSize size : {QSize(1, 1), QSize(3, 2), QSize(450, 200), QSize(1000, 97)}) {
                PaletteColors palette;
                for (int c = 0; c < colors; ++c)
                    palette.push_back(qRgb(c, 255 - c, c / 2));
                GifWriter writer;
                ASSERT_TRUE(
                    writer.Open(path, size.width(), size.height(), palette, GifFileOptions()));
                IndexedImage frame(size.width(), size.height());
                frame.pixels =
                    Pattern(frame.pixels.size(), colors, kind, std::uint32_t(colors * 31 + kind));
                const auto blocks =
                    LzwEncode(frame.pixels.data(), frame.pixels.size(), writer.MinCodeSize());
                // Sub-blocks hold at most 255 bytes and none is empty.
                for (std::size_t at = 0; at < blocks.size(); at += blocks[at] + 1u)
                    ASSERT_GT(blocks[at], 0);
                ASSERT_TRUE(writer.WriteFrame(frame, &blocks));
                ASSERT_TRUE(writer.WriteFrame(frame)); // compressed by the writer
                ASSERT_TRUE(writer.Finish());
                GifAnimation gif;
                ASSERT_TRUE(ReadGif(path, &gif)) << colors << " " << kind;
                ASSERT_EQ(gif.frames.size(), 2u);
                EXPECT_EQ(gif.frames[0].indices.pixels, frame.pixels)
                    << "colors " << colors << " kind " << kind << " size " << size.width();
                EXPECT_EQ(gif.frames[1].indices.pixels, frame.pixels);
            }
        }
    }
}

// Short random streams at every code size, each decoded by the strict
// decoder: the end of the stream, where the table may just have reached a
// power of two, is where encoders go wrong.
TEST(LzwEncoder, RandomStreamsSurviveTheStrictDecoder) {
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    int checked = 0;
    for (int minCodeSize = 2; minCodeSize <= 8; ++minCodeSize) {
        for (int round = 0; round < 3000; ++round) {
            // Mostly short streams; some long enough to fill the table and
            // span many sub-blocks.
            const std::size_t n = round % 10 == 9 ? 300 + next(6000) : next(300);
            // Few distinct values give long strings, many give a full table.
            const std::uint32_t alphabet = 1 + next(1u << minCodeSize);
            const std::uint32_t runs = 1 + next(4);
            std::vector<std::uint8_t> in(n);
            for (std::size_t i = 0; i < n; ++i)
                in[i] = i > 0 && next(runs) != 0 ? in[i - 1] : std::uint8_t(next(alphabet));
            std::vector<std::uint8_t> data = LzwEncode(in.data(), in.size(), minCodeSize);
            ASSERT_EQ(data, LzwEncodeHashed(in.data(), in.size(), minCodeSize));
            data.push_back(0); // the terminator the writer adds
            std::vector<std::uint8_t> out;
            std::size_t consumed = 0;
            const std::string error = StrictDecodeImageData(data.data(), data.size(), minCodeSize,
                                                            n, 1 << minCodeSize, &out, &consumed);
            ASSERT_EQ(error, "") << "code size " << minCodeSize << ", " << n << " indices, round "
                                 << round;
            ASSERT_EQ(out, in);
            ASSERT_EQ(consumed, data.size());
            ++checked;
        }
    }
    EXPECT_EQ(checked, 7 * 3000);
}

// The direct dictionary of small palettes must give the hashed one's bytes
// exactly, over streams long enough to fill and reset the table many times
// and across every way the codes reach their widths.
TEST(LzwEncoder, DirectDictionaryGivesTheHashedBytes) {
    for (int minCodeSize = 2; minCodeSize <= 5; ++minCodeSize) {
        const int colors = 1 << minCodeSize;
        for (int kind = 0; kind < 5; ++kind) {
            for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(4093),
                                  std::size_t(90000), std::size_t(600000)}) {
                const std::vector<std::uint8_t> in =
                    Pattern(n, colors, kind, std::uint32_t(n * 7 + kind));
                ASSERT_EQ(LzwEncode(in.data(), in.size(), minCodeSize),
                          LzwEncodeHashed(in.data(), in.size(), minCodeSize))
                    << "code size " << minCodeSize << ", kind " << kind << ", " << n << " indices";
            }
        }
    }
}

} // namespace
