#include "core/imaging/lzw_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

int GifMinCodeSize(int colors) {
    int bits = 1;
    while ((1 << bits) < colors && bits < 8)
        ++bits;
    return std::max(2, bits);
}

namespace {

// Packs codes least significant bit first into 255-byte sub-blocks.
class CodeWriter {
public:
    explicit CodeWriter(std::size_t reserve) {
        m_out.reserve(reserve);
        m_out.push_back(0);
    }
    void Put(unsigned code, int size) {
        m_bits |= std::uint64_t(code) << m_nCount;
        m_nCount += size;
        while (m_nCount >= 8) {
            PutByte(std::uint8_t(m_bits & 0xFF));
            m_bits >>= 8;
            m_nCount -= 8;
        }
    }
    // Notes where the code that completes the image ends.
    void MarkLastPixel() { m_nMarkBits = m_nBytes * 8 + std::size_t(m_nCount); }
    std::vector<std::uint8_t> Finish() {
        if (m_nCount > 0)
            PutByte(std::uint8_t(m_bits & 0xFF));
        if (m_out[m_nBlockStart] == 0)
            m_out.pop_back(); // no empty block before the terminator
        KeepEndWithLastPixel();
        return std::move(m_out);
    }

private:
    void PutByte(std::uint8_t byte) {
        if (m_out[m_nBlockStart] == 255) {
            m_nBlockStart = m_out.size();
            m_out.push_back(0);
        }
        m_out.push_back(byte);
        ++m_out[m_nBlockStart];
        ++m_nBytes;
    }
    // Some decoders (ImageMagick 6) stop reading at the last pixel and take
    // whatever sub-block is left for the start of the next block of the file.
    // When the end code would start a sub-block of its own, the one before
    // gives up its last bytes, so that the final sub-block also holds the end
    // of the last pixel's code.
    void KeepEndWithLastPixel() {
        if (m_nMarkBits == 0 || m_nBlockStart == 0)
            return;
        const std::size_t markByte = (m_nMarkBits - 1) / 8;
        const std::size_t lastStart = (m_nBytes - 1) / 255 * 255; // data offset of the last block
        if (markByte >= lastStart)
            return;
        const std::size_t move = lastStart - markByte;
        const std::size_t header = m_nBlockStart;
        const std::size_t lastLength = m_out[header];
        // The previous block is full (255 bytes) and the tail is a few bytes.
        std::rotate(m_out.begin() + std::ptrdiff_t(header - move),
                    m_out.begin() + std::ptrdiff_t(header),
                    m_out.begin() + std::ptrdiff_t(header + 1));
        m_nBlockStart = header - move;
        m_out[m_nBlockStart] = std::uint8_t(lastLength + move);
        m_out[header - 256] = std::uint8_t(255 - move); // the previous header
    }

    std::vector<std::uint8_t> m_out;
    std::size_t m_nBlockStart = 0;
    std::size_t m_nBytes = 0; // data bytes, without the length bytes
    std::size_t m_nMarkBits = 0;
    std::uint64_t m_bits = 0;
    int m_nCount = 0;
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
    CodeWriter out(count / 2 + 64);
    // (prefix code << 8 | next index) -> code, open addressing; key and code
    // share one word (key << 12 | code) so a probe is one load. No entry can
    // be all ones: its prefix would have to be the last code itself.
    std::vector<std::uint32_t> table(kTableSize, kEmpty);

    int size = minCodeSize + 1;
    unsigned maxCode = end;
    out.Put(clear, size);
    if (count == 0) {
        out.Put(end, size);
        return out.Finish();
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
    out.MarkLastPixel();
    // The decoder adds a table entry for every code but the first after a
    // clear, this last one too, and widens when its table reaches the next
    // power of two: the end code comes at the width it has then. (No
    // trailing clear: a decoder that stops at the last pixel never reads it,
    // and one that does must agree on its width all the same.)
    if (maxCode + 1 >= (1u << size) && size < 12)
        ++size;
    out.Put(end, size);
    return out.Finish();
}

namespace {

// With 32 colours or fewer a code's children fit a row of a table indexed
// directly by (code, next index): no hashing and no probing, and the whole
// table (at most 256 KiB) stays in the second-level cache. (With 64 the
// table's clearing after every 4096 codes costs what the probes save on
// noisy frames.) The dictionary is
// the same as the hashed one's, so the code stream is too.
// How many of the n indices from p are s.
std::size_t RunLength(const std::uint8_t* p, std::size_t n, std::uint8_t s) {
    const std::uint64_t all = 0x0101010101010101ull * s;
    std::size_t k = 0;
    for (std::uint64_t word; k + 8 <= n; k += 8) {
        std::memcpy(&word, p + k, 8);
        if (word != all)
            break;
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
    CodeWriter out(count / 2 + 64);
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
        return out.Finish();
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
    out.MarkLastPixel();
    if (maxCode + 1 >= (1u << size) && size < 12)
        ++size;
    out.Put(end, size);
    return out.Finish();
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
