#include "core/imaging/remapper.h"

#include "core/imaging/color_sets.h"
#include "core/imaging/frame_image.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <thread>
#include <vector>

// The candidate search and the grid's bounds run over whole blocks of
// entries; where the processor has 256-bit integer vectors a block is one
// multiply or minimum per channel instead of SSE2's emulated 32-bit ones.
// The answers are the same either way.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VELMORA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VELMORA_VECTOR_CLONES
#endif

namespace {

// Each entry's nearest distance to a cell, and the least of their farthest
// distances.
VELMORA_VECTOR_CLONES std::int32_t CellBounds(int n, const std::int32_t* nr, const std::int32_t* ng,
                                              const std::int32_t* nb, const std::int32_t* fr,
                                              const std::int32_t* fg, const std::int32_t* fb,
                                              std::int32_t* nearest) {
    std::int32_t bound = 0x7FFFFFFF;
    for (int i = 0; i < n; ++i) {
        nearest[i] = nr[i] + ng[i] + nb[i];
        bound = std::min(bound, fr[i] + fg[i] + fb[i]);
    }
    return bound;
}

// Eight candidates side by side, as the search reads them. The helpers that
// take or give them are inlined into the search's clones, so the vectors
// never cross a call (whose convention would depend on the clone).
#define VELMORA_INLINE __attribute__((always_inline))
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
using Lanes16 = std::int16_t __attribute__((vector_size(16)));
using Lanes32 = std::int32_t __attribute__((vector_size(32)));
using Lanes32Half = std::int32_t __attribute__((vector_size(16)));

VELMORA_INLINE inline std::int32_t LeastLane(Lanes32 v) {
    Lanes32Half m = __builtin_shufflevector(v, v, 0, 1, 2, 3);
    const Lanes32Half high = __builtin_shufflevector(v, v, 4, 5, 6, 7);
    m = high < m ? high : m;
    const Lanes32Half swapped = __builtin_shufflevector(m, m, 2, 3, 0, 1);
    m = swapped < m ? swapped : m;
    const Lanes32Half next = __builtin_shufflevector(m, m, 1, 0, 3, 2);
    m = next < m ? next : m;
    return m[0];
}

// Built cell lists are carved from blocks of this many values.
constexpr std::size_t kBlockValues = std::size_t(1) << 16;

} // namespace

void Remapper::FreeDeleter::operator()(void* p) const {
    std::free(p);
}

Remapper::Remapper(const PaletteColors& palette, int firstUsable, Use use, int)
    : m_nFirst(std::clamp(firstUsable, 0, int(palette.size()))),
      m_nCount(int(std::min<std::size_t>(palette.size(), 256))),
      m_nCellBits(use == Use::Animation ? 5 : 4) {
    if (m_nFirst >= m_nCount)
        m_nFirst = 0; // nothing usable: fall back to every entry
    for (int i = 0; i < m_nCount; ++i) {
        m_r[i] = qRed(palette[i]);
        m_g[i] = qGreen(palette[i]);
        m_b[i] = qBlue(palette[i]);
    }
    const int cells = 1 << m_nCellBits, span = 256 / cells;
    const int n = std::max(m_nCount - m_nFirst, 0);
    m_nearAxis.assign(std::size_t(3) * cells * n, 0);
    m_farAxis.assign(m_nearAxis.size(), 0);
    const std::int32_t* channel[3] = {m_r + m_nFirst, m_g + m_nFirst, m_b + m_nFirst};
    for (int a = 0; a < 3; ++a)
        for (int c = 0; c < cells; ++c) {
            const int lo = c * span, hi = lo + span - 1;
            // Pointer arithmetic rather than indexing: with no usable entry
            // the tables are empty and nothing is read through these.
            std::int32_t* nearest = m_nearAxis.data() + (std::size_t(a) * cells + c) * n;
            std::int32_t* farthest = m_farAxis.data() + (std::size_t(a) * cells + c) * n;
            for (int i = 0; i < n; ++i) {
                const int p = channel[a][i];
                const int d = p < lo ? lo - p : p > hi ? p - hi : 0;
                const int f = std::max(std::abs(p - lo), std::abs(p - hi));
                nearest[i] = d * d;
                farthest[i] = f * f;
            }
        }
    const std::size_t cellCount = std::size_t(1) << (3 * m_nCellBits);
    m_cells.reset(new std::atomic<const std::int16_t*>[cellCount]);
    for (std::size_t c = 0; c < cellCount; ++c)
        m_cells[c].store(nullptr, std::memory_order_relaxed);
    if (use == Use::OneFrame)
        return;
    auto* table = static_cast<std::uint32_t*>(
        std::calloc(std::size_t(1) << kCacheBits, sizeof(std::uint32_t)));
    if (!table)
        throw std::bad_alloc();
    m_cache.reset(table);
}

Remapper::~Remapper() {
    std::free(m_pTable.load(std::memory_order_relaxed));
}

void Remapper::MakeTable() const {
    // Without the memory the slots go on alone.
    auto* table =
        static_cast<std::uint16_t*>(std::calloc(std::size_t(1) << 24, sizeof(std::uint16_t)));
    if (table)
        m_pTable.store(table, std::memory_order_release);
}

const std::int16_t* Remapper::BuildCell(std::size_t cell) const {
    // The search that asks for a cell is cloned for the processor's vectors,
    // and the compiler takes such clones not to throw: an exception through
    // one ends the process. So running short is a mark and an empty list,
    // whose search answers the first usable entry; the mapping that asked
    // is then given up (see ShortOfMemory).
    static constexpr std::int16_t kNoCandidates[1] = {0};
    try {
        return ListCell(cell);
    } catch (const std::bad_alloc&) {
        m_bShort.store(true, std::memory_order_relaxed);
        return kNoCandidates;
    }
}

const std::int16_t* Remapper::ListCell(std::size_t cell) const {
    // Threads that miss at once build one after the other; a cell is
    // built once, and its list is the same whoever builds it.
    std::lock_guard lock(m_buildMutex);
    if (const std::int16_t* list = m_cells[cell].load(std::memory_order_acquire))
        return list;
    const int bits = m_nCellBits, cells = 1 << bits;
    const int n = std::max(m_nCount - m_nFirst, 0);
    const int cr = int(cell >> (2 * bits)), cg = int((cell >> bits) & (cells - 1)),
              cb = int(cell & (cells - 1));
    std::int16_t picks[256 + kLanes];
    std::int32_t blockNearest[256 / kLanes + 1];
    int picked = 0;
    if (n > 0) {
        auto axis = [&](const std::vector<std::int32_t>& table, int a, int c) {
            return &table[(std::size_t(a) * cells + c) * n];
        };
        std::int32_t nearest[256];
        // No colour of the cell is farther than `bound` from its nearest
        // entry, so entries nearer than that are the candidates.
        const std::int32_t bound = CellBounds(
            n, axis(m_nearAxis, 0, cr), axis(m_nearAxis, 1, cg), axis(m_nearAxis, 2, cb),
            axis(m_farAxis, 0, cr), axis(m_farAxis, 1, cg), axis(m_farAxis, 2, cb), nearest);
        for (int i = 0; i < n; ++i) {
            picks[picked] = std::int16_t(i + m_nFirst);
            picked += nearest[i] <= bound;
        }
        // Nearest to the cell first, so that the search can stop after
        // the first block; an animation's cells serve many colours each,
        // one frame's too few to pay for the sort.
        if (m_cache) {
            std::sort(picks, picks + picked, [&](std::int16_t a, std::int16_t b) {
                const std::int32_t da = nearest[a - m_nFirst], db = nearest[b - m_nFirst];
                return da != db ? da < db : a < b;
            });
            for (int k = 0; k < picked; k += kLanes)
                blockNearest[k / kLanes] = nearest[picks[k] - m_nFirst];
        } else {
            std::fill_n(blockNearest, picked / kLanes + 1, 0);
        }
        while (picked % kLanes != 0) {
            picks[picked] = picks[picked - 1];
            ++picked;
        }
    }
    const int blocks = picked / kLanes;
    const std::size_t need = 1 + std::size_t(picked) * 4 + std::size_t(blocks);
    if (m_blocks.empty() || m_nBlockUsed + need > kBlockValues) {
        m_blocks.push_back(std::make_unique_for_overwrite<std::int16_t[]>(kBlockValues));
        m_nBlockUsed = 0;
    }
    std::int16_t* list = m_blocks.back().get() + m_nBlockUsed;
    m_nBlockUsed += need;
    list[0] = std::int16_t(picked);
    std::int16_t* r = list + 1;
    std::int16_t* g = r + picked;
    std::int16_t* b = g + picked;
    std::int16_t* index = b + picked;
    for (int k = 0; k < picked; ++k) {
        const int i = picks[k];
        r[k] = std::int16_t(m_r[i]);
        g[k] = std::int16_t(m_g[i]);
        b[k] = std::int16_t(m_b[i]);
        index[k] = std::int16_t(i);
    }
    // A bound held low (clamped to the value's range) only stops later.
    std::int16_t* nearestOfBlock = index + picked;
    for (int k = 0; k < blocks; ++k)
        nearestOfBlock[k] = std::int16_t(std::min<std::int32_t>(blockNearest[k], 0x7FFF));
    m_cells[cell].store(list, std::memory_order_release);
    return list;
}

VELMORA_VECTOR_CLONES int Remapper::Search(std::uint32_t rgb) const {
    const int r = int((rgb >> 16) & 0xFF), g = int((rgb >> 8) & 0xFF), b = int(rgb & 0xFF);
    const int bits = m_nCellBits, shift = 8 - bits;
    const std::size_t cell = (std::size_t(r >> shift) << (2 * bits)) |
                             (std::size_t(g >> shift) << bits) | std::size_t(b >> shift);
    const std::int16_t* list = Cell(cell);
    const int count = list[0];
    if (count == 0)
        return m_nFirst; // an empty palette
    const std::int16_t* cr = list + 1;
    const std::int16_t* cg = cr + count;
    const std::int16_t* cb = cg + count;
    const std::int16_t* ci = cb + count;
    const std::int16_t* nearestOfBlock = ci + count;
    // Distance and index in one key (3 x 255^2 < 2^18), so the smallest key
    // is the nearest entry, the lowest index among equals. A block of eight
    // is one step of 256-bit integer vectors (two of SSE2's).
    const auto block = [&](int k) VELMORA_INLINE {
        Lanes16 lr, lg, lb, li;
        std::memcpy(&lr, cr + k, sizeof lr);
        std::memcpy(&lg, cg + k, sizeof lg);
        std::memcpy(&lb, cb + k, sizeof lb);
        std::memcpy(&li, ci + k, sizeof li);
        const Lanes32 dr = __builtin_convertvector(lr, Lanes32) - r;
        const Lanes32 dg = __builtin_convertvector(lg, Lanes32) - g;
        const Lanes32 db = __builtin_convertvector(lb, Lanes32) - b;
        return ((dr * dr + dg * dg + db * db) << 8) | __builtin_convertvector(li, Lanes32);
    };
    Lanes32 keys = block(0);
    // Every entry past the first block is at least nearestOfBlock[1] away
    // from the whole cell: when one strictly nearer is found already, none
    // of them can be nearer or tie it. Mostly the first block decides.
    std::int32_t best = LeastLane(keys);
    if (count > kLanes && (best >> 8) >= nearestOfBlock[1]) {
        for (int k = kLanes; k < count; k += kLanes) {
            const Lanes32 more = block(k);
            keys = more < keys ? more : keys;
        }
        best = LeastLane(keys);
    }
    return best & 0xFF;
}

int Remapper::Nearest(QRgb color) const {
    const std::uint32_t key = color & 0xFFFFFFu;
    if (!m_cache)
        return Search(key);
    int searches = 0;
    const int index = Remembered(key, &searches);
    CountSearches(searches);
    return index;
}

int Remapper::Remembered(std::uint32_t key, int* searches) const {
    if (std::uint16_t* table = m_pTable.load(std::memory_order_acquire)) {
        std::atomic_ref<std::uint16_t> known(table[key]);
        std::uint16_t v = known.load(std::memory_order_relaxed);
        if (v == 0) {
            v = std::uint16_t(Search(key) + 1);
            known.store(v, std::memory_order_relaxed);
        }
        return v - 1;
    }
    std::atomic_ref<std::uint32_t> slot(m_cache.get()[(key * 2654435761u) >> (32 - kCacheBits)]);
    const std::uint32_t held = slot.load(std::memory_order_relaxed);
    if (held != 0 && (held - 1) >> 8 == key)
        return int((held - 1) & 0xFFu);
    const int index = Search(key);
    // White mapped to entry 255 would read as empty: it is searched again.
    slot.store(((key << 8) | std::uint32_t(index)) + 1, std::memory_order_relaxed);
    ++*searches;
    return index;
}

void Remapper::CountSearches(int searches) const {
    if (searches == 0)
        return;
    const std::uint32_t before =
        m_nSearches.fetch_add(std::uint32_t(searches), std::memory_order_relaxed);
    if (before < kSearchesForTable && before + std::uint32_t(searches) >= kSearchesForTable)
        MakeTable();
}

bool Remapper::RemapIndexed(const QImage& frame, std::uint8_t* out) const {
    if (frame.format() != QImage::Format_Indexed8)
        return false;
    const QList<QRgb> table = frame.colorTable();
    if (table.isEmpty() || table.size() > 256)
        return false;
    // Per index its entry, or kMissing where its colour is not in the
    // palette as it is (or the table has no colour for it): the frame is
    // given up only if a pixel holds such an index.
    constexpr std::uint16_t kMissing = 0x100;
    std::array<std::uint16_t, 256> entry;
    entry.fill(kMissing);
    for (qsizetype i = 0; i < table.size(); ++i) {
        const std::uint32_t rgb = table[i] & 0xFFFFFFu;
        const int index = Search(rgb);
        if (qRgb(m_r[index], m_g[index], m_b[index]) == (rgb | 0xFF000000u))
            entry[std::size_t(i)] = std::uint16_t(index);
    }
    const int w = frame.width();
    std::uint16_t missing = 0;
    for (int y = 0; y < frame.height(); ++y) {
        const uchar* row = frame.constScanLine(y);
        std::uint8_t* dst = out + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            const std::uint16_t e = entry[row[x]];
            dst[x] = std::uint8_t(e);
            missing |= e;
        }
    }
    return (missing & kMissing) == 0;
}

bool Remapper::Remap(const QImage& frame, bool dither, std::uint8_t* out) const {
    if (RemapIndexed(frame, out))
        return !ShortOfMemory();
    const QImage rgb = AsRgb32(frame);
    if (rgb.isNull() != frame.isNull())
        return false;
    if (!dither)
        RemapPlain(rgb, out);
    else
        RemapDithered(rgb, out);
    return !ShortOfMemory();
}

namespace {

// A small direct-mapped cache of one remap call, kept in the first-level
// cache: frames reuse few colours locally, and the shared 24-bit table is
// too large to stay close.
class LocalCache {
public:
    LocalCache() { m_keys.fill(0xFFFFFFFFu); }
    template <typename Find> int Get(std::uint32_t rgb, Find find) {
        const std::uint32_t slot = (rgb * 2654435761u) >> (32 - kBits);
        if (m_keys[slot] != rgb) {
            m_keys[slot] = rgb;
            m_values[slot] = std::uint8_t(find(rgb));
        }
        return m_values[slot];
    }

private:
    static constexpr int kBits = 12;
    std::array<std::uint32_t, 1 << kBits> m_keys;
    std::array<std::uint8_t, 1 << kBits> m_values;
};

// A row of colours the table holds (all of them in the palette as they
// are), mapped; false (dst then holds no answer) when one is not there. The
// row's changes of colour go to *changes.
bool ExactRow(const ColorSets<std::uint8_t>& exact, const QRgb* row, int w, std::uint8_t* dst,
              int* changes) {
    int missing = 0, changed = 0;
    for (int x = 0; x < w; ++x) {
        dst[x] = exact.At(exact.Find(row[x] & 0xFFFFFFu, &missing));
        changed += int(x > 0 && row[x] != row[x - 1]);
    }
    *changes = changed;
    return missing == 0;
}

} // namespace

void Remapper::RemapPlain(const QImage& frame, std::uint8_t* out) const {
    const int w = frame.width();
    const int h = frame.height();
    LocalCache cache;
    // An animation's remapper counts its searches once a row: two threads
    // adding each one to the count they share took more time than the
    // searches themselves.
    int searches = 0;
    auto remembered = [&](std::uint32_t rgb) {
        return m_cache ? Remembered(rgb, &searches) : Search(rgb);
    };
    std::vector<std::uint32_t> held(m_cache ? std::size_t(w) : 0);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        std::uint8_t* dst = out + std::size_t(y) * w;
        int changes = 0;
        if (m_cache)
            for (int x = 1; x < w; ++x)
                changes += row[x] != row[x - 1];
        // A row of few runs (stripes, flat areas, few colours) is answered
        // from the frame's small cache, a look-up a run.
        if (changes * 4 <= w) {
            QRgb last = ~row[0];
            std::uint8_t lastIndex = 0;
            for (int x = 0; x < w; ++x) {
                if (row[x] != last) {
                    last = row[x];
                    lastIndex = std::uint8_t(cache.Get(last & 0xFFFFFFu, remembered));
                }
                dst[x] = lastIndex;
            }
        } else {
            RemapBusyRow(row, w, held.data(), dst, &searches);
        }
        CountSearches(searches);
        searches = 0;
    }
}

void Remapper::RemapBusyRow(const QRgb* row, int w, std::uint32_t* held, std::uint8_t* dst,
                            int* searches) const {
    // Most pixels of a photograph differ from their neighbours, and an
    // animation's frames bring back the colours of the frames before: the
    // shared slots (or the table) answer nearly all of them. The row's
    // look-ups are made in a pass of their own, where nothing waits on them,
    // so their loads overlap; looked up pixel by pixel through the small
    // cache, each waited behind the one before, which made the plain remap
    // slower than the dithered one.
    if (std::uint16_t* table = m_pTable.load(std::memory_order_acquire)) {
        for (int x = 0; x < w; ++x)
            held[x] = std::atomic_ref<std::uint16_t>(table[row[x] & 0xFFFFFFu])
                          .load(std::memory_order_relaxed);
        for (int x = 0; x < w; ++x)
            dst[x] = std::uint8_t(held[x] != 0 ? int(held[x]) - 1
                                               : Remembered(row[x] & 0xFFFFFFu, searches));
        return;
    }
    std::uint32_t* const shared = m_cache.get();
    for (int x = 0; x < w; ++x) {
        const std::uint32_t key = row[x] & 0xFFFFFFu;
        held[x] = std::atomic_ref<std::uint32_t>(shared[(key * 2654435761u) >> (32 - kCacheBits)])
                      .load(std::memory_order_relaxed);
    }
    for (int x = 0; x < w; ++x) {
        const std::uint32_t key = row[x] & 0xFFFFFFu;
        const std::uint32_t v = held[x];
        dst[x] = std::uint8_t(v != 0 && (v - 1) >> 8 == key ? int((v - 1) & 0xFFu)
                                                            : Remembered(key, searches));
    }
}

namespace {

// Diffusion carries three quarters of a small error on, and all but three
// levels of a large one: full Floyd-Steinberg lets small errors pile up into
// a grain that costs bytes and, once the eye (or a blur) averages it, quality
// as well; the cap keeps the mean tone between far-apart palette colours.
constexpr int kDampedShare = 4;      // of sixteen
constexpr int kDampedMost = 3 * 256; // in 256ths of a level
// A carried error this small (summed over the channels) is dropped, so flat
// areas keep their own nearest colour instead of a sparse speckle, which LZW
// pays for. A wider zone saves more bytes but leaves contour bands across
// slow gradients.
constexpr int kDeadZone = 3;

// A carried error in sixteenths of a level, damped and rounded to levels.
constexpr int CarriedLevels(int sixteenths) {
    int v = sixteenths * 16;
    const int damped = std::min((v < 0 ? -v : v) * kDampedShare / 16, kDampedMost);
    v = v > 0 ? v - damped : v + damped;
    return (v + (v >= 0 ? 128 : -128)) / 256;
}

// A pixel gathers at most sixteen sixteenths of a whole-level error, which
// is at most 255 levels either way; looked up rather than worked out, since
// every channel of every dithered pixel asks.
constexpr int kMostError = 16 * 255;
struct CarriedTable {
    std::int16_t levels[2 * kMostError + 1];
    constexpr CarriedTable() : levels() {
        for (int e = -kMostError; e <= kMostError; ++e)
            levels[e + kMostError] = std::int16_t(CarriedLevels(e));
    }
};
constexpr CarriedTable kCarried;

inline int Carried(int sixteenths) {
    return kCarried.levels[sixteenths + kMostError];
}

} // namespace

void Remapper::RemapDithered(const QImage& frame, std::uint8_t* out) const {
    DitherRegion<false>(frame, frame.rect(), frame.rect(), out);
}

template <bool kHeld>
void Remapper::DitherRegion(const QImage& frame, const QRect& region, const QRect& fresh,
                            std::uint8_t* out) const {
    const int stride = frame.width();
    const int x0 = region.left(), w = region.width();
    // Errors in sixteenths of a level, so no share is lost to rounding; one
    // pixel of padding on each side, three channels interleaved.
    std::vector<int> current(std::size_t(w + 2) * 3, 0), next(std::size_t(w + 2) * 3, 0);
    LocalCache cache;
    auto search = [this](std::uint32_t rgb) { return Search(rgb); };
    // No error arrives at this row. A row whose every colour is in the
    // palette then makes no error either, so its plain mapping is its
    // dithered one: most frames of an animation with few colours, and most
    // rows of a frame where one colour missed the palette, pass here at
    // the plain mapping's speed. (Not where some indices are given: a given
    // index need not be its colour's nearest.)
    bool quiet = !kHeld;
    // The frame's colours found in the palette as they are, with their
    // entries; made for the first row that tries it.
    std::optional<ColorSets<std::uint8_t>> exact;
    bool added = false;
    bool taking = false; // colours go into the table on rows that tried it
    int changes = 0;     // of the row before
    auto exactRow = [&](const QRgb* row, std::uint8_t* dst) {
        QRgb last = ~row[0];
        std::uint8_t lastIndex = 0;
        changes = -1;
        for (int x = 0; x < w; ++x) {
            if (row[x] != last) {
                ++changes;
                last = row[x];
                lastIndex = std::uint8_t(cache.Get(last & 0xFFFFFFu, search));
                if (qRgb(m_r[lastIndex], m_g[lastIndex], m_b[lastIndex]) != (last | 0xFF000000u))
                    return false;
                if (taking)
                    added |= exact->Take(last & 0xFFFFFFu, lastIndex);
            }
            dst[x] = lastIndex;
        }
        return true;
    };
    // Rows the branch-free pass failed though they brought no new colour:
    // colours that share a set take turns there, and the pass is given up.
    // Long runs (a flat sky, stripes) go quicker by runs: the table is tried
    // on rows after a row of short ones.
    int thrashed = 0;
    auto quietRow = [&](const QRgb* row, std::uint8_t* dst) {
        const bool tried = changes * 8 > w && thrashed < 4;
        if (tried && !exact)
            exact.emplace();
        if (tried && ExactRow(*exact, row, w, dst, &changes))
            return true;
        added = false;
        taking = tried;
        if (!exactRow(row, dst))
            return false;
        thrashed += tried && !added ? 1 : 0;
        return true;
    };
    for (int y = region.top(); y <= region.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y)) + x0;
        std::uint8_t* dst = out + std::size_t(y) * stride + x0;
        if (!kHeld && quiet && quietRow(row, dst))
            continue;
        const bool freshRow = y >= fresh.top() && y <= fresh.bottom();
        const int fx0 = fresh.left() - x0, fx1 = fresh.right() - x0;
        // Serpentine order keeps the diffusion from drifting to one side.
        const bool forward = (y & 1) == 0;
        QRgb lastSource = ~row[0];
        int lastIndex = 0;
        const int step = forward ? 1 : -1;
        int x = forward ? 0 : w - 1;
        // The error each pixel passes on is held in registers until its
        // destination is complete, so the step from one pixel to the next
        // waits on no memory. 7/16 goes to the pixel ahead. The slot below
        // and behind gathers 1/16 and 5/16 from the two pixels before this
        // one and 3/16 from this one, and is then stored, once: every slot
        // of the next row is, its padding too.
        int aheadR = 0, aheadG = 0, aheadB = 0;
        int behindR = 0, behindG = 0, behindB = 0;
        int belowR = 0, belowG = 0, belowB = 0;
        for (int n = 0; n < w; ++n, x += step) {
            const QRgb src = row[x];
            const int* e = &current[std::size_t(x + 1) * 3];
            int cr = Carried(e[0] + aheadR), cg = Carried(e[1] + aheadG),
                cb = Carried(e[2] + aheadB);
            if (std::abs(cr) + std::abs(cg) + std::abs(cb) <= kDeadZone)
                cr = cg = cb = 0;
            int index, r, g, b;
            if (kHeld && !(freshRow && x >= fx0 && x <= fx1)) {
                // A given index passes on the error it makes, so the new
                // pixels beside it continue its pattern.
                index = dst[x];
                r = std::clamp(qRed(src) + cr, 0, 255);
                g = std::clamp(qGreen(src) + cg, 0, 255);
                b = std::clamp(qBlue(src) + cb, 0, 255);
            } else if ((cr | cg | cb) == 0) {
                // Without a carried error the pixel's own colour decides, and
                // flat areas repeat it: the cache answers those at once.
                if (src != lastSource) {
                    lastSource = src;
                    lastIndex = cache.Get(src & 0xFFFFFFu, search);
                }
                index = lastIndex;
                r = qRed(src), g = qGreen(src), b = qBlue(src);
            } else {
                r = std::clamp(qRed(src) + cr, 0, 255);
                g = std::clamp(qGreen(src) + cg, 0, 255);
                b = std::clamp(qBlue(src) + cb, 0, 255);
                index = cache.Get(std::uint32_t((r << 16) | (g << 8) | b), search);
            }
            dst[x] = std::uint8_t(index);
            const int er = r - m_r[index], eg = g - m_g[index], eb = b - m_b[index];
            aheadR = er * 7, aheadG = eg * 7, aheadB = eb * 7;
            int* done = &next[std::size_t(x + 1 - step) * 3];
            done[0] = behindR + er * 3, done[1] = behindG + eg * 3, done[2] = behindB + eb * 3;
            behindR = belowR + er * 5, behindG = belowG + eg * 5, behindB = belowB + eb * 5;
            belowR = er, belowG = eg, belowB = eb;
        }
        x -= step; // the row's last pixel
        int* last = &next[std::size_t(x + 1) * 3];
        last[0] = behindR, last[1] = behindG, last[2] = behindB;
        int* pad = &next[std::size_t(x + 1 + step) * 3];
        pad[0] = belowR, pad[1] = belowG, pad[2] = belowB;
        current.swap(next);
        if (!kHeld)
            quiet = std::all_of(current.begin(), current.end(), [](int e) { return e == 0; });
    }
}

bool Remapper::RemapPart(const QImage& frame, bool dither, const QRect& region, const QRect& fresh,
                         std::uint8_t* out) const {
    const QImage rgb = AsRgb32(frame);
    if (rgb.isNull() != frame.isNull())
        return false;
    const QRect part = fresh & rgb.rect();
    if (part.isEmpty())
        return true;
    if (dither) {
        DitherRegion<true>(rgb, (region | part) & rgb.rect(), part, out);
        return !ShortOfMemory();
    }
    // Each pixel's nearest entry is its own business: the part alone, seen
    // through a window on the frame's memory.
    const QImage window(rgb.constScanLine(part.top()) + std::size_t(part.left()) * 4, part.width(),
                        part.height(), rgb.bytesPerLine(), QImage::Format_RGB32);
    std::vector<std::uint8_t> indices(std::size_t(part.width()) * std::size_t(part.height()));
    RemapPlain(window, indices.data());
    for (int y = 0; y < part.height(); ++y)
        std::memcpy(out + std::size_t(part.top() + y) * rgb.width() + part.left(),
                    indices.data() + std::size_t(y) * part.width(), std::size_t(part.width()));
    return !ShortOfMemory();
}
