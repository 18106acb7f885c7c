#include "core/imaging/lzw_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

int GifMinCodeSize(int colors) {
    int bits = 1;
    while ((1 << bits) < colors && bits < 8)
        ++bits;
    return std::max(2, bits);
}

namespace {

// Packs codes least significant bit first, four bytes at a time, into a
// buffer sized for the most an image can take, and cuts the stream into
// 255-byte sub-blocks at the end: counting each byte into its block's length
// as it came made every code wait on the one before through memory.
class CodeWriter {
public:
    // Where the packing is. The coder keeps it in a local: as members of the
    // writer, every byte stored might have changed it for all the compiler
    // knew, and each code loaded it again (a sixth of the coding).
    struct Cursor {
        std::uint64_t bits = 0;
        int count = 0;
        std::uint8_t* at = nullptr;

        void Put(unsigned code, int size) {
            bits |= std::uint64_t(code) << count;
            count += size;
            if (count >= 32) {
                std::uint32_t word = std::uint32_t(bits);
                if constexpr (std::endian::native == std::endian::big)
                    word = (word >> 24) | ((word >> 8) & 0xFF00u) | ((word << 8) & 0xFF0000u) |
                           (word << 24);
                std::memcpy(at, &word, 4);
                at += 4;
                bits >>= 32;
                count -= 32;
            }
        }
    };

    // pixels: how many indices the image has. Every index starts at most
    // one code of at most 12 bits, and a clear code comes after thousands of
    // codes: a byte and a half a pixel, and a little over.
    explicit CodeWriter(std::size_t pixels)
        : m_data(std::make_unique_for_overwrite<std::uint8_t[]>(pixels + pixels / 2 +
                                                                 pixels / 256 + 64)) {}

    Cursor Start() const { return Cursor{0, 0, m_data.get()}; }
    // Notes where the code that completes the image ends.
    void MarkLastPixel(const Cursor& cursor) {
        m_nMarkBits = std::size_t(cursor.at - m_data.get()) * 8 + std::size_t(cursor.count);
    }
    std::vector<std::uint8_t> Finish(Cursor cursor) {
        while (cursor.count > 0) {
            *cursor.at++ = std::uint8_t(cursor.bits & 0xFF);
            cursor.bits >>= 8;
            cursor.count = std::max(cursor.count - 8, 0);
        }
        const std::size_t n = std::size_t(cursor.at - m_data.get());
        std::vector<std::uint8_t> out;
        if (n == 0)
            return out;
        // Some decoders (ImageMagick 6) stop reading at the last pixel and
        // take whatever sub-block is left for the start of the next block of
        // the file. So the last sub-block starts no later than the byte
        // where the last pixel's code ends (a byte or two before the end):
        // the block before it gives up its last bytes.
        std::size_t lastStart = (n - 1) / 255 * 255;
        if (m_nMarkBits != 0 && lastStart > 0) {
            const std::size_t markByte = (m_nMarkBits - 1) / 8;
            if (markByte < lastStart && n - markByte <= 255)
                lastStart = markByte;
        }
        out.reserve(n + n / 255 + 2);
        for (std::size_t at = 0; at < n;) {
            const std::size_t length =
                at < lastStart ? std::min<std::size_t>(255, lastStart - at) : n - at;
            out.push_back(std::uint8_t(length));
            out.insert(out.end(), m_data.get() + at, m_data.get() + at + length);
            at += length;
        }
        return out;
    }

private:
    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_nMarkBits = 0;
};

constexpr int kMaxCode = 4095;
// Eight times the 4096 codes: on a photograph's noisy indices, where a code
// is made every few pixels, a 16 Ki table's longer probes cost more (6% of a
// save) than this one's misses in the first-level cache; 64 Ki gains no more.
constexpr int kTableBits = 15;
constexpr std::uint32_t kTableSize = 1u << kTableBits;
constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

} // namespace

std::vector<std::uint8_t> LzwEncodeHashed(const std::uint8_t* indices, std::size_t count,
                                          int minCodeSize) {
    const unsigned clear = 1u << minCodeSize;
    const unsigned end = clear + 1;
    CodeWriter writer(count);
    CodeWriter::Cursor out = writer.Start();
    // (prefix code << 8 | next index) -> code, open addressing; key and code
    // share one word (key << 12 | code) so a probe is one load. No entry can
    // be all ones: its prefix would have to be the last code itself.
    std::vector<std::uint32_t> table(kTableSize, kEmpty);

    int size = minCodeSize + 1;
    unsigned maxCode = end;
    out.Put(clear, size);
    if (count == 0) {
        out.Put(end, size);
        return writer.Finish(out);
    }
    unsigned prefix = indices[0];
    for (std::size_t i = 1; i < count; ++i) {
        const unsigned next = indices[i];
        const std::uint32_t key = (prefix << 8) | next;
        std::uint32_t slot = (key * 2654435761u) >> (32 - kTableBits);
        std::uint32_t entry;
        while ((entry = table[slot]) != kEmpty && (entry >> 12) != key)
            slot = (slot + 1) & (kTableSize - 1);
        if (entry != kEmpty) {
            prefix = entry & 0xFFFu;
            continue;
        }
        out.Put(prefix, size);
        table[slot] = (key << 12) | ++maxCode;
        // The decoder widens its codes once its table reaches the next
        // power of two, one code after the encoder added the entry.
        if (maxCode >= (1u << size) && size < 12)
            ++size;
        if (maxCode == kMaxCode) {
            out.Put(clear, size);
            std::fill(table.begin(), table.end(), kEmpty);
            size = minCodeSize + 1;
            maxCode = end;
        }
        prefix = next;
    }
    out.Put(prefix, size);
    writer.MarkLastPixel(out);
    // The decoder adds a table entry for every code but the first after a
    // clear, this last one too, and widens when its table reaches the next
    // power of two: the end code comes at the width it has then. (No
    // trailing clear: a decoder that stops at the last pixel never reads it,
    // and one that does must agree on its width all the same.)
    if (maxCode + 1 >= (1u << size) && size < 12)
        ++size;
    out.Put(end, size);
    return writer.Finish(out);
}

namespace {

// With 32 colours or fewer a code's children fit a row of a table indexed
// directly by (code, next index): no hashing and no probing, and the whole
// table (at most 256 KiB) stays in the second-level cache. (With 64 the
// table's clearing after every 4096 codes costs what the probes save on
// noisy frames.) The dictionary is
// the same as the hashed one's, so the code stream is too.
// How many of the n indices from p are s. Eight at a time, the first that
// differs found from the bits: most runs end within the first eight, and a
// loop over their bytes ended in a branch that failed to predict.
std::size_t RunLength(const std::uint8_t* p, std::size_t n, std::uint8_t s) {
    const std::uint64_t all = 0x0101010101010101ull * s;
    std::size_t k = 0;
    for (std::uint64_t word; k + 8 <= n; k += 8) {
        std::memcpy(&word, p + k, 8);
        if (const std::uint64_t differ = word ^ all; differ != 0) {
            if constexpr (std::endian::native == std::endian::little)
                return k + std::size_t(std::countr_zero(differ)) / 8;
            else
                return k + std::size_t(std::countl_zero(differ)) / 8;
        }
    }
    while (k < n && p[k] == s)
        ++k;
    return k;
}

template <int kBits>
std::vector<std::uint8_t> LzwEncodeDirect(const std::uint8_t* indices, std::size_t count) {
    constexpr unsigned kWidth = 1u << kBits;
    const unsigned clear = kWidth;
    const unsigned end = clear + 1;
    CodeWriter writer(count);
    CodeWriter::Cursor out = writer.Start();
    // 0 is no child: every child code is above the end code.
    std::vector<std::uint16_t> child(std::size_t(kMaxCode + 1) * kWidth, 0);
    // Per index, the codes of runs of it: runs[s][k - 1] is s repeated k
    // times. A run's codes are made in order of length, so a long run of one
    // index (a transparent hole, a flat area) is passed a code at a time
    // instead of an index at a time, with the very codes the walk would
    // give.
    std::array<std::vector<std::uint16_t>, kWidth> runs;
    const auto resetRuns = [&] {
        for (unsigned v = 0; v < kWidth; ++v)
            runs[v].assign(1, std::uint16_t(v));
    };
    resetRuns();

    int size = kBits + 1;
    unsigned maxCode = end;
    // Emits prefix and gives prefix + next the next code.
    const auto add = [&](unsigned prefix, unsigned next) {
        out.Put(prefix, size);
        child[prefix * kWidth + next] = std::uint16_t(++maxCode);
        if (prefix == runs[next].back())
            runs[next].push_back(std::uint16_t(maxCode));
        if (maxCode >= (1u << size) && size < 12)
            ++size;
        if (maxCode == kMaxCode) {
            out.Put(clear, size);
            std::fill(child.begin(), child.end(), std::uint16_t(0));
            resetRuns();
            size = kBits + 1;
            maxCode = end;
        }
    };
    // The prefix is the index s alone and i the position after it: takes the
    // run of s that follows and returns the prefix it ends with.
    const auto takeRun = [&](unsigned s, std::size_t& i) -> unsigned {
        std::size_t n = RunLength(indices + i, count - i, std::uint8_t(s));
        std::size_t k = 1; // the prefix is s repeated k times
        for (;;) {
            const std::size_t longest = runs[s].size();
            const std::size_t take = std::min(n, longest - k);
            k += take;
            i += take;
            n -= take;
            if (n == 0)
                return runs[s][k - 1];
            // Past the longest run there is a code for: as the walk would,
            // emit it, add it followed by s, and start again from that s.
            add(runs[s][longest - 1], s);
            k = 1;
            ++i;
            --n;
        }
    };

    out.Put(clear, size);
    if (count == 0) {
        out.Put(end, size);
        return writer.Finish(out);
    }
    std::size_t i = 1;
    unsigned prefix = takeRun(indices[0], i);
    while (i < count) {
        const unsigned next = indices[i++];
        const std::uint16_t slot = child[prefix * kWidth + next];
        if (slot != 0) {
            prefix = slot;
            continue;
        }
        add(prefix, next);
        prefix = i < count && indices[i] == next ? takeRun(next, i) : next;
    }
    out.Put(prefix, size);
    writer.MarkLastPixel(out);
    if (maxCode + 1 >= (1u << size) && size < 12)
        ++size;
    out.Put(end, size);
    return writer.Finish(out);
}

} // namespace

std::vector<std::uint8_t> LzwEncode(const std::uint8_t* indices, std::size_t count,
                                    int minCodeSize) {
    switch (minCodeSize) {
    case 2:
        return LzwEncodeDirect<2>(indices, count);
    case 3:
        return LzwEncodeDirect<3>(indices, count);
    case 4:
        return LzwEncodeDirect<4>(indices, count);
    case 5:
        return LzwEncodeDirect<5>(indices, count);
    default:
        return LzwEncodeHashed(indices, count, minCodeSize);
    }
}
