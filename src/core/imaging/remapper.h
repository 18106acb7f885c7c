// Maps 32-bit frames to a fixed palette: nearest colour, or Floyd–Steinberg
// error diffusion. One Remapper serves every frame of an animation and may be
// used from several threads at once.
#pragma once

#include "core/imaging/indexed_image.h"

#include <QImage>
#include <QRect>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class Remapper {
public:
    // An animation's remapper serves many frames: it has a fine candidate
    // grid and remembers the nearest entries of colours it looked up. One
    // frame's (a local palette) is quicker to build.
    enum class Use { Animation, OneFrame };
    // Entries before firstUsable (the reserved transparent entry) are never
    // chosen. threads: kept for callers; the grid is built as it is used.
    explicit Remapper(const PaletteColors& palette, int firstUsable = 0, Use use = Use::Animation,
                      int threads = 1);
    ~Remapper();
    Remapper(const Remapper&) = delete;
    Remapper& operator=(const Remapper&) = delete;

    // frame: any format, converted to RGB32 when needed; out: width * height.
    // False when there was no memory for the conversion.
    bool Remap(const QImage& frame, bool dither, std::uint8_t* out) const;
    // Maps only the pixels inside `fresh`; out holds the whole frame's
    // indices (width * height), the others already in place. Dithered, the
    // diffusion runs over `region` (around fresh), whose other pixels keep
    // their indices and pass on the error those make, so the new pixels'
    // pattern continues theirs. False as Remap.
    bool RemapPart(const QImage& frame, bool dither, const QRect& region, const QRect& fresh,
                   std::uint8_t* out) const;

    // Index of the palette entry nearest to color (squared RGB distance).
    // Meaningful only while !ShortOfMemory().
    int Nearest(QRgb color) const;

    // Memory ran out for a look-up: answers since may be wrong, and every
    // mapping from now on reports failure. Callers of Nearest check it.
    bool ShortOfMemory() const { return m_bShort.load(std::memory_order_relaxed); }

private:
    int Search(std::uint32_t rgb) const;
    // An animation's remembered answer for a colour, searched for and
    // remembered when there is none (adding one to *searches).
    int Remembered(std::uint32_t key, int* searches) const;
    // Counts searches towards kSearchesForTable; makes the table on the
    // count that reaches it.
    void CountSearches(int searches) const;
    void RemapPlain(const QImage& frame, std::uint8_t* out) const;
    // One row of many colours for an animation's remapper; held: w words.
    void RemapBusyRow(const QRgb* row, int w, std::uint32_t* held, std::uint8_t* dst,
                      int* searches) const;
    void RemapDithered(const QImage& frame, std::uint8_t* out) const;
    // Error diffusion over `region`; with kHeld only the pixels of `fresh`
    // are chosen, the others keep the indices in out.
    template <bool kHeld>
    void DitherRegion(const QImage& frame, const QRect& region, const QRect& fresh,
                      std::uint8_t* out) const;

    // An Indexed8 frame whose colours are all in the palette as they are
    // maps each index once: plainly and dithered alike, as exact colours make
    // no error to pass on. False (out then holds nothing) for any other.
    bool RemapIndexed(const QImage& frame, std::uint8_t* out) const;

    // A cell's candidate list, worked out the first time a colour inside
    // it is looked up: a frame's colours (and the errors diffusion adds to
    // them) reach a small part of the cube, and building every cell up
    // front touched megabytes a small save never read.
    const std::int16_t* Cell(std::size_t cell) const {
        const std::int16_t* list = m_cells[cell].load(std::memory_order_acquire);
        return list ? list : BuildCell(cell);
    }
    const std::int16_t* BuildCell(std::size_t cell) const; // never throws
    const std::int16_t* ListCell(std::size_t cell) const;
    mutable std::atomic<bool> m_bShort{false};

    int m_nFirst;
    int m_nCount;
    std::int32_t m_r[256], m_g[256], m_b[256];
    // The colour cube in 32 x 32 x 32 cells (16 x 16 x 16 for one frame);
    // each cell lists the palette entries that can be nearest to some colour
    // inside it, so a search looks at a handful of entries instead of all.
    int m_nCellBits;
    // Per axis and cell coordinate, each usable entry's nearest and farthest
    // squared distance to the cell's span, so that a cell's bounds are sums.
    std::vector<std::int32_t> m_nearAxis, m_farAxis;
    // Each built cell's list: its length, then the candidates' red, green,
    // blue and index side by side, padded to a multiple of kLanes (the
    // padding repeats the last candidate), so the search runs over whole
    // blocks the compiler turns into vector code; then each block's least
    // squared distance to the cell. Candidates go nearest to the cell
    // first, so a search mostly ends after one block. Null until built.
    static constexpr int kLanes = 8;
    std::unique_ptr<std::atomic<const std::int16_t*>[]> m_cells;
    // Built lists live in blocks that never move while the remapper lives.
    mutable std::mutex m_buildMutex;
    mutable std::vector<std::unique_ptr<std::int16_t[]>> m_blocks;
    mutable std::size_t m_nBlockUsed = 0;
    // Colours looked up and their nearest entries (none for one frame):
    // each slot holds one colour and its index in one word, (colour << 8 |
    // index) + 1, 0 while empty, so threads that race on a slot each leave a
    // whole answer. A colour's slot is picked by a hash of it; 64 Ki slots
    // stay in the second-level cache.
    static constexpr int kCacheBits = 16;
    struct FreeDeleter {
        void operator()(void* p) const;
    };
    std::unique_ptr<std::uint32_t, FreeDeleter> m_cache;
    // In place of the slots once kSearchesForTable colours have been
    // searched for: the nearest index + 1 of every 24-bit colour, 0 while
    // unknown (allocated zeroed, its pages touched only for colours that
    // occur). It answers every colour after its first search, but its 32 MB
    // are new memory, which a short save's colours never pay back.
    static constexpr std::uint32_t kSearchesForTable = 1u << 20;
    void MakeTable() const; // on the search that reaches kSearchesForTable
    mutable std::atomic<std::uint32_t> m_nSearches{0};
    mutable std::atomic<std::uint16_t*> m_pTable{nullptr};
};
