// The few-colour lossless WebP frame: palette, packed indices, LZ77 whose
// copies from nearby pixels take the short codes, and length-limited
// canonical prefix codes, one set per group of alike tiles.
#include "core/imaging/vp8l_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <queue>

namespace {

constexpr int kMaxSide = 16384;
constexpr int kMaxCodeLength = 15;
constexpr int kMaxCodeLengthCodeLength = 7; // its lengths are written in 3 bits
constexpr int kLiteralCount = 256;
constexpr int kLengthCodes = 24;
constexpr int kDistanceCodes = 40;
constexpr int kMaxCopy = 4096;
constexpr int kMinCopy = 3;
// A plain distance takes ten or more bits beyond its code on a wide frame:
// shorter copies from one cost more than their literals. Measured, 5 gave
// the smallest files of 3-6.
constexpr int kMinPlainCopy = 5;
// Plain distances are written as distance + 120 (the first 120 codes name
// nearby pixels), and the largest value the 40 distance codes carry is 2^20.
constexpr int kPlainDistanceBias = 120;
constexpr int kMaxDistance = (1 << 20) - kPlainDistanceBias;
// Distance codes 1-120 name pixels nearby, (x, y) meaning x pixels to the
// left and y rows up, roughly nearest first; a copy from one costs a few
// bits, a plain distance ten or more on a wide frame.
struct Neighbour {
    int x, y;
};
constexpr std::array<Neighbour, 120> kNeighbours = {
    {{0, 1},  {1, 0},  {1, 1},  {-1, 1}, {0, 2},  {2, 0},  {1, 2},  {-1, 2}, {2, 1},  {-2, 1},
     {2, 2},  {-2, 2}, {0, 3},  {3, 0},  {1, 3},  {-1, 3}, {3, 1},  {-3, 1}, {2, 3},  {-2, 3},
     {3, 2},  {-3, 2}, {0, 4},  {4, 0},  {1, 4},  {-1, 4}, {4, 1},  {-4, 1}, {3, 3},  {-3, 3},
     {2, 4},  {-2, 4}, {4, 2},  {-4, 2}, {0, 5},  {3, 4},  {-3, 4}, {4, 3},  {-4, 3}, {5, 0},
     {1, 5},  {-1, 5}, {5, 1},  {-5, 1}, {2, 5},  {-2, 5}, {5, 2},  {-5, 2}, {4, 4},  {-4, 4},
     {3, 5},  {-3, 5}, {5, 3},  {-5, 3}, {0, 6},  {6, 0},  {1, 6},  {-1, 6}, {6, 1},  {-6, 1},
     {2, 6},  {-2, 6}, {6, 2},  {-6, 2}, {4, 5},  {-4, 5}, {5, 4},  {-5, 4}, {3, 6},  {-3, 6},
     {6, 3},  {-6, 3}, {0, 7},  {7, 0},  {1, 7},  {-1, 7}, {5, 5},  {-5, 5}, {7, 1},  {-7, 1},
     {4, 6},  {-4, 6}, {6, 4},  {-6, 4}, {2, 7},  {-2, 7}, {7, 2},  {-7, 2}, {3, 7},  {-3, 7},
     {7, 3},  {-7, 3}, {5, 6},  {-5, 6}, {6, 5},  {-6, 5}, {8, 0},  {4, 7},  {-4, 7}, {7, 4},
     {-7, 4}, {8, 1},  {8, 2},  {6, 6},  {-6, 6}, {8, 3},  {5, 7},  {-5, 7}, {7, 5},  {-7, 5},
     {8, 4},  {6, 7},  {-6, 7}, {7, 6},  {-7, 6}, {8, 5},  {7, 7},  {-7, 7}, {8, 6},  {8, 7}}};
// Candidates tried a position, and the copy length under which the next
// position is tried too. Measured on the types' frames: 16 and 32 are within
// 1% of 32 and 64 in size at 5-15% less time; 2 candidates and no second try
// grew the files by 5-10%.
constexpr int kMaxChain = 16;
// Nearby-pixel codes tried at every position before the hash chain, which
// finds the others only where few positions since share their bytes.
// Measured on 1200 x 800 frames: 16 against 10 made curved bands 2.5% smaller,
// 24 another 3% for 7% more time.
constexpr int kNeighboursTried = 16;
// A copy from a nearby pixel this long is kept without a search.
constexpr int kNiceCopy = 16;
constexpr int kLazyBelow = 32;
constexpr int kHashBits = 15;
constexpr int kColorIndexingTransform = 3;
// A tile's or group's counts: green (literals, then copy lengths), then
// distances; red, blue and alpha are always 0 in an index image.
constexpr int kGreenSymbols = kLiteralCount + kLengthCodes;
constexpr int kBins = kGreenSymbols + kDistanceCodes;
// Tiles of 2^kTileBits packed pixels a side take one group's codes each.
// Measured on the types' 1200 x 800 frames: 32 gives the smallest files,
// 16 and 128 a few percent larger. Frames of fewer tiles stay one group:
// at 200 x 200 (49 tiles) groups saved under 0.5% for 8% more time.
constexpr int kTileBits = 5;
constexpr int kMinTiles = 64;
constexpr int kMaxTiles = 4096;
constexpr int kMaxTileBits = 9; // the most the stream can say
constexpr int kMaxGroups = 16;
// A tile that would save fewer bits than this with codes of its own does
// not start a group. Lower, groups whose tables cost more than the merge
// guessed survive it (a blinking frame grew by 10% at 32 bits).
constexpr float kMinSeedGain = 128.0f;
// What a symbol a group's codes lack is guessed to cost a tile moved into
// the group: a little more than the group's rarest symbol.
constexpr float kMissingSymbolBits = 2.0f;
constexpr std::array<int, 19> kCodeLengthOrder = {17, 18, 0, 1,  2,  3,  4,  5,  16, 6,
                                                  7,  8,  9, 10, 11, 12, 13, 14, 15};

// Bits go out least significant first, as the stream is read.
class BitSink {
public:
    void Put(std::uint32_t value, int bits) {
        if (bits == 0)
            return;
        m_acc |= std::uint64_t(value) << m_used;
        m_used += bits;
        while (m_used >= 8) {
            m_bytes.push_back(char(m_acc & 0xff));
            m_acc >>= 8;
            m_used -= 8;
        }
    }
    QByteArray Finish() {
        if (m_used > 0)
            m_bytes.push_back(char(m_acc & 0xff));
        m_acc = 0;
        m_used = 0;
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    std::uint64_t m_acc = 0;
    int m_used = 0;
};

// Lengths of a prefix code for `counts`, none over maxLength. The code is
// always complete (decoders refuse others): a lone used symbol is paired
// with an unused one. Where the plain code is too deep, small counts are
// raised until it fits, which keeps it a true prefix code.
std::vector<std::uint8_t> CodeLengths(const std::vector<std::uint32_t>& counts, int maxLength) {
    const int n = int(counts.size());
    std::vector<std::uint8_t> lengths(std::size_t(n), 0);
    std::vector<int> used;
    for (int s = 0; s < n; ++s)
        if (counts[std::size_t(s)] > 0)
            used.push_back(s);
    if (used.empty())
        return lengths;
    if (used.size() == 1) {
        lengths[std::size_t(used[0])] = 1;
        lengths[std::size_t(used[0] == 0 ? 1 : 0)] = 1;
        return lengths;
    }
    for (std::uint32_t floor = 1;; floor *= 2) {
        struct Node {
            std::uint64_t weight;
            int parent;
        };
        std::vector<Node> nodes;
        nodes.reserve(used.size() * 2);
        using Entry = std::pair<std::uint64_t, int>; // weight, node; ties by node keep it stable
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> heap;
        for (int s : used) {
            const std::uint64_t w = std::max(counts[std::size_t(s)], floor);
            heap.push({w, int(nodes.size())});
            nodes.push_back({w, -1});
        }
        while (heap.size() > 1) {
            const Entry a = heap.top();
            heap.pop();
            const Entry b = heap.top();
            heap.pop();
            const int parent = int(nodes.size());
            nodes.push_back({a.first + b.first, -1});
            nodes[std::size_t(a.second)].parent = parent;
            nodes[std::size_t(b.second)].parent = parent;
            heap.push({a.first + b.first, parent});
        }
        // Parents come after their children, so depths fill from the root down.
        std::vector<int> depth(nodes.size(), 0);
        for (int i = int(nodes.size()) - 2; i >= 0; --i)
            depth[std::size_t(i)] = depth[std::size_t(nodes[std::size_t(i)].parent)] + 1;
        int deepest = 0;
        for (std::size_t i = 0; i < used.size(); ++i)
            deepest = std::max(deepest, depth[i]);
        if (deepest <= maxLength) {
            for (std::size_t i = 0; i < used.size(); ++i)
                lengths[std::size_t(used[i])] = std::uint8_t(depth[i]);
            return lengths;
        }
    }
}

// Canonical codes for the lengths, bit-reversed since the stream is read
// least significant bit first while codes are matched from their top bit.
std::vector<std::uint16_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
    std::array<int, kMaxCodeLength + 2> count{};
    for (std::uint8_t l : lengths)
        ++count[l];
    count[0] = 0;
    std::array<int, kMaxCodeLength + 2> next{};
    int code = 0;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        code = (code + count[std::size_t(l - 1)]) << 1;
        next[std::size_t(l)] = code;
    }
    std::vector<std::uint16_t> codes(lengths.size(), 0);
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        const int l = lengths[s];
        if (l == 0)
            continue;
        const int c = next[std::size_t(l)]++;
        int reversed = 0;
        for (int b = 0; b < l; ++b)
            reversed |= ((c >> b) & 1) << (l - 1 - b);
        codes[s] = std::uint16_t(reversed);
    }
    return codes;
}

struct PrefixCode {
    std::vector<std::uint8_t> lengths;
    std::vector<std::uint16_t> codes;
    void Put(BitSink* out, int symbol) const {
        out->Put(codes[std::size_t(symbol)], lengths[std::size_t(symbol)]);
    }
};

// Writes the code for `counts` and returns it. One or two used symbols
// under 256 take the short form (a lone symbol then costs no bits at all).
PrefixCode WriteCode(BitSink* out, const std::vector<std::uint32_t>& counts) {
    PrefixCode code;
    code.lengths.assign(counts.size(), 0);
    std::vector<int> used;
    for (int s = 0; s < int(counts.size()) && used.size() < 3; ++s)
        if (counts[std::size_t(s)] > 0)
            used.push_back(s);
    if (used.empty())
        used.push_back(0);
    if (used.size() <= 2 && used.back() < kLiteralCount) {
        out->Put(1, 1);
        out->Put(std::uint32_t(used.size() - 1), 1);
        if (used[0] < 2) {
            out->Put(0, 1);
            out->Put(std::uint32_t(used[0]), 1);
        } else {
            out->Put(1, 1);
            out->Put(std::uint32_t(used[0]), 8);
        }
        if (used.size() == 2) {
            out->Put(std::uint32_t(used[1]), 8);
            code.lengths[std::size_t(used[0])] = 1;
            code.lengths[std::size_t(used[1])] = 1;
        }
        code.codes = CanonicalCodes(code.lengths);
        return code;
    }

    code.lengths = CodeLengths(counts, kMaxCodeLength);
    code.codes = CanonicalCodes(code.lengths);
    // The lengths themselves, run-length coded: 16 repeats the last non-zero
    // length 3-6 times, 17 and 18 give 3-10 and 11-138 zeros.
    struct Run {
        int symbol;
        int extra;
    };
    std::vector<Run> runs;
    const int n = int(code.lengths.size());
    for (int i = 0; i < n;) {
        const int value = code.lengths[std::size_t(i)];
        int j = i;
        while (j < n && code.lengths[std::size_t(j)] == value)
            ++j;
        int left = j - i;
        if (value == 0) {
            while (left >= 11) {
                const int r = std::min(left, 138);
                runs.push_back({18, r - 11});
                left -= r;
            }
            if (left >= 3) {
                runs.push_back({17, left - 3});
                left = 0;
            }
        } else {
            runs.push_back({value, 0});
            --left;
            while (left >= 3) {
                const int r = std::min(left, 6);
                runs.push_back({16, r - 3});
                left -= r;
            }
        }
        for (; left > 0; --left)
            runs.push_back({value, 0});
        i = j;
    }
    std::vector<std::uint32_t> runCounts(19, 0);
    for (const Run& r : runs)
        ++runCounts[std::size_t(r.symbol)];
    PrefixCode lengthCode;
    lengthCode.lengths = CodeLengths(runCounts, kMaxCodeLengthCodeLength);
    lengthCode.codes = CanonicalCodes(lengthCode.lengths);
    int written = int(kCodeLengthOrder.size());
    while (written > 4 &&
           lengthCode.lengths[std::size_t(kCodeLengthOrder[std::size_t(written - 1)])] == 0)
        --written;
    out->Put(0, 1);
    out->Put(std::uint32_t(written - 4), 4);
    for (int i = 0; i < written; ++i)
        out->Put(lengthCode.lengths[std::size_t(kCodeLengthOrder[std::size_t(i)])], 3);
    out->Put(0, 1); // every symbol's length follows
    for (const Run& r : runs) {
        lengthCode.Put(out, r.symbol);
        if (r.symbol == 16)
            out->Put(std::uint32_t(r.extra), 2);
        else if (r.symbol == 17)
            out->Put(std::uint32_t(r.extra), 3);
        else if (r.symbol == 18)
            out->Put(std::uint32_t(r.extra), 7);
    }
    return code;
}

// Lengths and distances (1 and up) as a prefix symbol and extra bits.
struct Prefixed {
    int symbol;
    int extraBits;
    std::uint32_t extra;
};
Prefixed PrefixOf(std::uint32_t value) {
    if (value <= 4)
        return {int(value) - 1, 0, 0};
    const std::uint32_t v = value - 1;
    const int high = std::bit_width(v) - 1;
    const int second = int((v >> (high - 1)) & 1);
    const int extraBits = high - 1;
    return {2 * high + second, extraBits, v & ((1u << extraBits) - 1)};
}

// c * log2(c), from a table for the counts a tile holds.
float CLogC(std::uint32_t c) {
    static const std::array<float, 4096> table = [] {
        std::array<float, 4096> t{};
        for (std::size_t i = 1; i < t.size(); ++i)
            t[i] = float(double(i) * std::log2(double(i)));
        return t;
    }();
    return c < table.size() ? table[c] : float(double(c) * std::log2(double(c)));
}

// Bits of the counts a + b (b may be null) under their own codes, with a
// guess at what the codes' tables take: a few bits a used symbol, a few
// more for each run of unused ones.
float GroupBits(const std::uint32_t* a, const std::uint32_t* b) {
    float bits = 0;
    for (const auto& [first, last] :
         {std::pair{0, kGreenSymbols}, std::pair{kGreenSymbols, kBins}}) {
        std::uint32_t total = 0;
        float sum = 0;
        int used = 0, gaps = 0;
        bool inGap = false;
        for (int s = first; s < last; ++s) {
            const std::uint32_t c = a[s] + (b ? b[s] : 0);
            if (c == 0) {
                gaps += inGap ? 0 : 1;
                inGap = true;
                continue;
            }
            inGap = false;
            total += c;
            sum += CLogC(c);
            ++used;
        }
        bits += CLogC(total) - sum;
        bits += used <= 2 ? 20.0f : 40.0f + 3.5f * float(used) + 6.0f * float(gaps);
    }
    return bits;
}

void PutLe32(QByteArray* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out->push_back(char((v >> (8 * i)) & 0xff));
}

} // namespace

bool Vp8lEncoder::CollectPalette(const std::uint32_t* pixels, int width, int height,
                                 std::ptrdiff_t stride) {
    m_palette.clear();
    // A small open-addressed set: more than 256 colours end the search.
    m_slotFull.fill(false);
    bool any = false;
    std::uint32_t last = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + y * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = row[x];
            if (any && c == last)
                continue;
            any = true;
            last = c;
            std::size_t slot = SlotOf(c);
            while (m_slotFull[slot] && m_slotColor[slot] != c)
                slot = (slot + 1) & (kSlots - 1);
            if (m_slotFull[slot])
                continue;
            if (int(m_palette.size()) == kMaxColors)
                return false;
            m_slotFull[slot] = true;
            m_slotColor[slot] = c;
            m_palette.push_back(c);
        }
    }
    std::sort(m_palette.begin(), m_palette.end());
    for (std::size_t i = 0; i < m_palette.size(); ++i)
        m_slotIndex[FindSlot(m_palette[i])] = std::uint8_t(i);
    return true;
}

std::size_t Vp8lEncoder::FindSlot(std::uint32_t color) const {
    std::size_t slot = SlotOf(color);
    while (m_slotColor[slot] != color)
        slot = (slot + 1) & (kSlots - 1);
    return slot;
}

void Vp8lEncoder::PackIndices(const std::uint32_t* pixels, int width, int height,
                              std::ptrdiff_t stride, int widthBits) {
    const int packedWidth = (width + (1 << widthBits) - 1) >> widthBits;
    m_packed.assign(std::size_t(packedWidth) * std::size_t(height), 0);
    std::uint32_t last = m_palette[0];
    int lastIndex = 0;
    // One loop for each packing, its shifts constants: this runs once a pixel.
    const auto pack = [&]<int kWidthBits>() {
        constexpr int kMask = (1 << kWidthBits) - 1;
        constexpr int kBits = 8 >> kWidthBits;
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* row = pixels + y * stride;
            std::uint8_t* out = m_packed.data() + std::size_t(y) * std::size_t(packedWidth);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = row[x];
                if (c != last) {
                    last = c;
                    lastIndex = m_slotIndex[FindSlot(c)];
                }
                // The first pixel of a bundle takes the lowest bits.
                out[x >> kWidthBits] |= std::uint8_t(lastIndex << ((x & kMask) * kBits));
            }
        }
    };
    switch (widthBits) {
    case 0:
        pack.operator()<0>();
        break;
    case 1:
        pack.operator()<1>();
        break;
    case 2:
        pack.operator()<2>();
        break;
    default:
        pack.operator()<3>();
        break;
    }
}

void Vp8lEncoder::FindCopies(int packedWidth) {
    const std::uint8_t* s = m_packed.data();
    const int n = int(m_packed.size());
    m_tokens.clear();
    m_head.assign(std::size_t(1) << kHashBits, -1);
    m_chain.assign(std::size_t(n), -1);
    const auto hash = [s](int i) {
        const std::uint32_t v =
            std::uint32_t(s[i]) | std::uint32_t(s[i + 1]) << 8 | std::uint32_t(s[i + 2]) << 16;
        return int((v * 0x9E3779B1u) >> (32 - kHashBits));
    };
    const auto insert = [&](int i) {
        if (i + 2 < n) {
            const int h = hash(i);
            m_chain[std::size_t(i)] = m_head[std::size_t(h)];
            m_head[std::size_t(h)] = i;
        }
    };
    const auto matchLength = [s](int i, int from, int limit) {
        int l = 0;
        // Eight bytes at a time: the first that differs is the lowest set
        // bit of their difference, bytes being read little-endian.
        for (; l + 8 <= limit; l += 8) {
            std::uint64_t a, b;
            std::memcpy(&a, s + i + l, 8);
            std::memcpy(&b, s + from + l, 8);
            if (a != b) {
                if constexpr (std::endian::native == std::endian::little)
                    return l + std::countr_zero(a ^ b) / 8;
                break;
            }
        }
        while (l < limit && s[i + l] == s[from + l])
            ++l;
        return l;
    };
    // Every distance a nearby-pixel code names, to its smallest code: a copy
    // the hash chain finds there takes that code instead of a plain one.
    const int nearLimit = 8 * packedWidth + 9;
    m_nearCode.assign(std::size_t(nearLimit), 0);
    for (int c = int(kNeighbours.size()) - 1; c >= 0; --c)
        m_nearCode[std::size_t(std::max(1, kNeighbours[std::size_t(c)].x +
                                               kNeighbours[std::size_t(c)].y * packedWidth))] =
            std::uint8_t(c + 1);
    std::array<int, kNeighboursTried> tried{};
    for (int c = 0; c < kNeighboursTried; ++c)
        tried[std::size_t(c)] = std::max(1, kNeighbours[std::size_t(c)].x +
                                                kNeighbours[std::size_t(c)].y * packedWidth);
    // The longest copy at i, preferring the short codes of the pixel above
    // and the one to the left, then the nearest plain distance.
    const auto longest = [&](int i, std::uint32_t* code) {
        const int limit = std::min(kMaxCopy, n - i);
        int best = 0;
        if (limit < kMinCopy)
            return 0;
        // Past the first rows every nearby pixel exists; the loop is the
        // encoder's hottest, so it tests only the byte a longer copy needs.
        const std::uint8_t* here = s + i;
        const bool edge = i < nearLimit;
        std::uint8_t next = here[0];
        for (int c = 0; c < kNeighboursTried; ++c) {
            const int distance = tried[std::size_t(c)];
            if ((edge && distance > i) || here[best - distance] != next)
                continue;
            const int l = matchLength(i, i - distance, limit);
            if (l > best) {
                best = l;
                *code = std::uint32_t(c + 1);
                if (best == limit)
                    break;
                next = here[best];
            }
        }
        // A plain distance costs several bits more, so it must copy more.
        const int neighbourBest = best;
        if (best < limit && best < kNiceCopy && i + 2 < n) {
            int candidate = m_head[std::size_t(hash(i))];
            for (int step = 0; step < kMaxChain && candidate >= 0 && i - candidate <= kMaxDistance;
                 ++step, candidate = m_chain[std::size_t(candidate)]) {
                if (s[candidate + best] != s[i + best])
                    continue;
                const int l = matchLength(i, candidate, limit);
                const int distance = i - candidate;
                const int near = distance < nearLimit ? m_nearCode[std::size_t(distance)] : 0;
                if (l > best && l > neighbourBest + (near ? 0 : 1) &&
                    (near || l >= kMinPlainCopy)) {
                    best = l;
                    *code =
                        near ? std::uint32_t(near) : std::uint32_t(distance) + kPlainDistanceBias;
                    if (best == limit)
                        break;
                }
            }
        }
        return best;
    };
    std::uint32_t code = 0;
    int best = longest(0, &code);
    for (int i = 0; i < n;) {
        if (best >= kMinCopy && best < kLazyBelow && i + 1 < n) {
            // A longer copy one byte on is worth a literal here.
            insert(i);
            std::uint32_t nextCode = 0;
            const int next = longest(i + 1, &nextCode);
            if (next > best + 1) {
                m_tokens.push_back({0, s[i], 0});
                ++i;
                best = next;
                code = nextCode;
                continue;
            }
            m_tokens.push_back({std::uint16_t(best), 0, code});
            for (int k = 1; k < best; ++k)
                insert(i + k);
            i += best;
        } else if (best >= kMinCopy) {
            m_tokens.push_back({std::uint16_t(best), 0, code});
            for (int k = 0; k < best; ++k)
                insert(i + k);
            i += best;
        } else {
            m_tokens.push_back({0, s[i], 0});
            insert(i);
            ++i;
        }
        if (i < n)
            best = longest(i, &code);
    }
}

int Vp8lEncoder::GroupTiles(int packedWidth, int height, int tileBits) {
    const int tilesWide = ((packedWidth - 1) >> tileBits) + 1;
    const int tiles = tilesWide * (((height - 1) >> tileBits) + 1);
    m_tileCounts.assign(std::size_t(tiles) * kBins, 0);
    int x = 0, y = 0;
    for (const Token& t : m_tokens) {
        std::uint32_t* h =
            &m_tileCounts[std::size_t((y >> tileBits) * tilesWide + (x >> tileBits)) * kBins];
        if (t.length == 0) {
            ++h[t.literal];
            ++x;
        } else {
            ++h[kLiteralCount + PrefixOf(t.length).symbol];
            ++h[kGreenSymbols + PrefixOf(t.distanceCode).symbol];
            x += t.length;
        }
        if (x >= packedWidth) {
            y += x / packedWidth;
            x %= packedWidth;
        }
    }
    m_tileGroup.assign(std::size_t(tiles), 0);
    if (tiles < kMinTiles)
        return 1;
    // Tiles are mostly sparse: a few colours and copy codes each.
    m_binStart.assign(std::size_t(tiles) + 1, 0);
    m_bins.clear();
    std::vector<float> ownBits(std::size_t(tiles), 0);
    for (int t = 0; t < tiles; ++t) {
        const std::uint32_t* h = &m_tileCounts[std::size_t(t) * kBins];
        std::uint32_t green = 0, distance = 0;
        float sum = 0;
        for (int s = 0; s < kBins; ++s)
            if (h[s]) {
                m_bins.push_back({std::uint16_t(s), h[s]});
                (s < kGreenSymbols ? green : distance) += h[s];
                sum += CLogC(h[s]);
            }
        m_binStart[std::size_t(t) + 1] = std::uint32_t(m_bins.size());
        ownBits[std::size_t(t)] = CLogC(green) + CLogC(distance) - sum;
    }

    std::vector<std::uint32_t> counts(std::size_t(kMaxGroups) * kBins, 0);
    std::vector<float> symbolBits(std::size_t(kMaxGroups) * kBins, 0);
    const auto addTile = [&](int g, int t) {
        std::uint32_t* h = &counts[std::size_t(g) * kBins];
        for (std::uint32_t i = m_binStart[std::size_t(t)]; i < m_binStart[std::size_t(t) + 1]; ++i)
            h[m_bins[i].first] += m_bins[i].second;
    };
    // Each symbol's cost under group g's codes, from its share of the counts.
    const auto priceSymbols = [&](int g) {
        const std::uint32_t* h = &counts[std::size_t(g) * kBins];
        float* bits = &symbolBits[std::size_t(g) * kBins];
        for (const auto& [first, last] :
             {std::pair{0, kGreenSymbols}, std::pair{kGreenSymbols, kBins}}) {
            std::uint32_t total = 0;
            for (int s = first; s < last; ++s)
                total += h[s];
            const float all = std::log2(float(std::max(total, 1u)));
            for (int s = first; s < last; ++s)
                bits[s] = h[s] ? all - std::log2(float(h[s])) : all + kMissingSymbolBits;
        }
    };
    const auto tileBitsIn = [&](int t, int g) {
        const float* bits = &symbolBits[std::size_t(g) * kBins];
        float sum = 0;
        for (std::uint32_t i = m_binStart[std::size_t(t)]; i < m_binStart[std::size_t(t) + 1]; ++i)
            sum += float(m_bins[i].second) * bits[m_bins[i].first];
        return sum;
    };

    // Seeds first: each new group starts from the tile the groups so far
    // fit worst, and takes every tile it fits better.
    for (int t = 0; t < tiles; ++t)
        addTile(0, t);
    priceSymbols(0);
    std::vector<float> cost(static_cast<std::size_t>(tiles));
    for (int t = 0; t < tiles; ++t)
        cost[std::size_t(t)] = tileBitsIn(t, 0);
    int groups = 1;
    while (groups < kMaxGroups) {
        int seed = 0;
        for (int t = 1; t < tiles; ++t)
            if (cost[std::size_t(t)] - ownBits[std::size_t(t)] >
                cost[std::size_t(seed)] - ownBits[std::size_t(seed)])
                seed = t;
        if (cost[std::size_t(seed)] - ownBits[std::size_t(seed)] < kMinSeedGain)
            break;
        const int g = groups++;
        std::fill_n(&counts[std::size_t(g) * kBins], kBins, 0u);
        addTile(g, seed);
        priceSymbols(g);
        for (int t = 0; t < tiles; ++t)
            if (const float c = tileBitsIn(t, g); c < cost[std::size_t(t)]) {
                cost[std::size_t(t)] = c;
                m_tileGroup[std::size_t(t)] = std::uint8_t(g);
            }
    }

    // Then each group's codes from all its tiles, and each tile to the
    // group it fits best. Measured: a second round gained 0.2% for a few
    // percent more time.
    const auto recount = [&] {
        std::fill(counts.begin(), counts.end(), 0u);
        for (int t = 0; t < tiles; ++t)
            addTile(m_tileGroup[std::size_t(t)], t);
    };
    if (groups > 1) {
        recount();
        for (int g = 0; g < groups; ++g)
            priceSymbols(g);
        for (int t = 0; t < tiles; ++t) {
            int best = m_tileGroup[std::size_t(t)];
            float bestBits = tileBitsIn(t, best);
            for (int g = 0; g < groups; ++g)
                if (const float c = tileBitsIn(t, g); c < bestBits) {
                    bestBits = c;
                    best = g;
                }
            m_tileGroup[std::size_t(t)] = std::uint8_t(best);
        }
    }

    // Last, groups whose tables cost more than they save merge, the pair
    // that saves most first.
    recount();
    std::vector<bool> alive(std::size_t(groups), true);
    std::vector<float> own(static_cast<std::size_t>(groups));
    for (int g = 0; g < groups; ++g)
        own[std::size_t(g)] = GroupBits(&counts[std::size_t(g) * kBins], nullptr);
    std::vector<float> saving(std::size_t(groups * groups), 0);
    const auto price = [&](int a, int b) {
        saving[std::size_t(a * groups + b)] =
            own[std::size_t(a)] + own[std::size_t(b)] -
            GroupBits(&counts[std::size_t(a) * kBins], &counts[std::size_t(b) * kBins]);
    };
    for (int a = 0; a < groups; ++a)
        for (int b = a + 1; b < groups; ++b)
            price(a, b);
    std::vector<int> into(static_cast<std::size_t>(groups));
    for (int g = 0; g < groups; ++g)
        into[std::size_t(g)] = g;
    for (;;) {
        int bestA = -1, bestB = -1;
        float best = 0;
        for (int a = 0; a < groups; ++a)
            for (int b = a + 1; b < groups && alive[std::size_t(a)]; ++b)
                if (alive[std::size_t(b)] && saving[std::size_t(a * groups + b)] > best) {
                    best = saving[std::size_t(a * groups + b)];
                    bestA = a;
                    bestB = b;
                }
        if (bestA < 0)
            break;
        std::uint32_t* a = &counts[std::size_t(bestA) * kBins];
        const std::uint32_t* b = &counts[std::size_t(bestB) * kBins];
        for (int s = 0; s < kBins; ++s)
            a[s] += b[s];
        own[std::size_t(bestA)] = GroupBits(a, nullptr);
        alive[std::size_t(bestB)] = false;
        for (int g = 0; g < groups; ++g)
            if (into[std::size_t(g)] == bestB)
                into[std::size_t(g)] = bestA;
        for (int g = 0; g < groups; ++g)
            if (alive[std::size_t(g)] && g != bestA)
                price(std::min(g, bestA), std::max(g, bestA));
    }
    // Numbered in the order tiles first use them, so equal frames give
    // equal bytes however the groups were found.
    std::vector<int> number(std::size_t(groups), -1);
    int used = 0;
    for (int t = 0; t < tiles; ++t) {
        const int g = into[m_tileGroup[std::size_t(t)]];
        if (number[std::size_t(g)] < 0)
            number[std::size_t(g)] = used++;
        m_tileGroup[std::size_t(t)] = std::uint8_t(number[std::size_t(g)]);
    }
    return used;
}

bool Vp8lEncoder::Encode(const std::uint32_t* pixels, int width, int height, std::ptrdiff_t stride,
                         QByteArray* webp) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return false;
    if (!CollectPalette(pixels, width, height, stride))
        return false;
    const int colors = int(m_palette.size());
    const int widthBits = colors <= 2 ? 3 : colors <= 4 ? 2 : colors <= 16 ? 1 : 0;
    const int packedWidth = (width + (1 << widthBits) - 1) >> widthBits;
    PackIndices(pixels, width, height, stride, widthBits);
    FindCopies(packedWidth);

    bool alpha = false;
    for (std::uint32_t c : m_palette)
        alpha = alpha || (c >> 24) != 0xff;
    BitSink out;
    out.Put(0x2f, 8);
    out.Put(std::uint32_t(width - 1), 14);
    out.Put(std::uint32_t(height - 1), 14);
    out.Put(alpha ? 1 : 0, 1);
    out.Put(0, 3); // version

    // The palette, each colour as its difference from the one before.
    out.Put(1, 1);
    out.Put(kColorIndexingTransform, 2);
    out.Put(std::uint32_t(colors - 1), 8);
    out.Put(0, 1);                                         // no colour cache
    std::array<std::vector<std::uint32_t>, 4> tableCounts; // green, red, blue, alpha
    for (auto& c : tableCounts)
        c.assign(kLiteralCount, 0);
    // Green's alphabet holds the copy lengths in every image, this one too.
    tableCounts[0].resize(kLiteralCount + kLengthCodes, 0);
    std::vector<std::array<int, 4>> deltas(static_cast<std::size_t>(colors));
    std::uint32_t previous = 0;
    for (int i = 0; i < colors; ++i) {
        const std::uint32_t c = m_palette[std::size_t(i)];
        const auto delta = [&](int shift) {
            return int(((c >> shift) - (previous >> shift)) & 0xff);
        };
        deltas[std::size_t(i)] = {delta(8), delta(16), delta(0), delta(24)};
        for (int k = 0; k < 4; ++k)
            ++tableCounts[std::size_t(k)][std::size_t(deltas[std::size_t(i)][std::size_t(k)])];
        previous = c;
    }
    std::array<PrefixCode, 4> tableCodes;
    for (int k = 0; k < 4; ++k)
        tableCodes[std::size_t(k)] = WriteCode(&out, tableCounts[std::size_t(k)]);
    WriteCode(&out, std::vector<std::uint32_t>(kDistanceCodes, 0));
    for (const auto& d : deltas)
        for (int k = 0; k < 4; ++k)
            tableCodes[std::size_t(k)].Put(&out, d[std::size_t(k)]);
    out.Put(0, 1); // no more transforms

    // The index image: only green varies, so red, blue and alpha cost no bits.
    out.Put(0, 1); // no colour cache: measured, it only grew these images
    // Larger tiles on huge frames keep the counts (320 a tile) and the
    // grouping's time in bounds.
    int tileBits = kTileBits;
    while (tileBits < kMaxTileBits &&
           (((packedWidth - 1) >> tileBits) + 1) * (((height - 1) >> tileBits) + 1) > kMaxTiles)
        ++tileBits;
    const int groups = GroupTiles(packedWidth, height, tileBits);
    const std::vector<std::uint32_t> zeros(kLiteralCount, 0);
    const std::vector<std::uint32_t> noDistances(kDistanceCodes, 0);
    if (groups > 1) {
        // Which group each tile takes, as a small image of its own whose
        // green is the group number.
        out.Put(1, 1);
        out.Put(std::uint32_t(tileBits - 2), 3);
        out.Put(0, 1); // no colour cache
        std::vector<std::uint32_t> numbers(kGreenSymbols, 0);
        for (std::uint8_t g : m_tileGroup)
            ++numbers[g];
        const PrefixCode numberCode = WriteCode(&out, numbers);
        WriteCode(&out, zeros);
        WriteCode(&out, zeros);
        WriteCode(&out, zeros);
        WriteCode(&out, noDistances);
        for (std::uint8_t g : m_tileGroup)
            numberCode.Put(&out, g);
    } else {
        out.Put(0, 1);
    }
    std::vector<std::uint32_t> groupCounts(std::size_t(groups) * kBins, 0);
    for (std::size_t t = 0; t < m_tileGroup.size(); ++t) {
        std::uint32_t* h = &groupCounts[std::size_t(m_tileGroup[t]) * kBins];
        const std::uint32_t* tile = &m_tileCounts[t * kBins];
        for (int s = 0; s < kBins; ++s)
            h[s] += tile[s];
    }
    std::vector<PrefixCode> greenCodes(static_cast<std::size_t>(groups));
    std::vector<PrefixCode> distanceCodes(static_cast<std::size_t>(groups));
    for (int g = 0; g < groups; ++g) {
        const auto first = groupCounts.begin() + std::ptrdiff_t(g) * kBins;
        greenCodes[std::size_t(g)] =
            WriteCode(&out, std::vector<std::uint32_t>(first, first + kGreenSymbols));
        // Red, blue and alpha are always 0: a one-symbol code of no bits.
        WriteCode(&out, zeros);
        WriteCode(&out, zeros);
        WriteCode(&out, zeros);
        distanceCodes[std::size_t(g)] =
            WriteCode(&out, std::vector<std::uint32_t>(first + kGreenSymbols, first + kBins));
    }
    // A token takes the codes of the tile it starts in, as the decoder
    // looks them up.
    const int tilesWide = ((packedWidth - 1) >> tileBits) + 1;
    int x = 0, y = 0;
    for (const Token& t : m_tokens) {
        const int g = m_tileGroup[std::size_t((y >> tileBits) * tilesWide + (x >> tileBits))];
        const PrefixCode& greenCode = greenCodes[std::size_t(g)];
        if (t.length == 0) {
            greenCode.Put(&out, t.literal);
            ++x;
        } else {
            const Prefixed length = PrefixOf(t.length);
            greenCode.Put(&out, kLiteralCount + length.symbol);
            out.Put(length.extra, length.extraBits);
            const Prefixed d = PrefixOf(t.distanceCode);
            distanceCodes[std::size_t(g)].Put(&out, d.symbol);
            out.Put(d.extra, d.extraBits);
            x += t.length;
        }
        if (x >= packedWidth) {
            y += x / packedWidth;
            x %= packedWidth;
        }
    }
    const QByteArray stream = out.Finish();

    const std::uint32_t chunk = std::uint32_t(stream.size());
    const std::uint32_t padded = chunk + (chunk & 1);
    QByteArray file;
    file.reserve(qsizetype(20 + padded));
    file.append("RIFF", 4);
    PutLe32(&file, 4 + 8 + padded);
    file.append("WEBPVP8L", 8);
    PutLe32(&file, chunk);
    file.append(stream);
    if (chunk & 1)
        file.push_back('\0');
    *webp = std::move(file);
    return true;
}
