// Maps 32-bit frames to a fixed palette: nearest colour, or Floyd–Steinberg
// error diffusion. One Remapper serves every frame of an animation and may be
// used from several threads at once.
#pragma once

#include "core/imaging/indexed_image.h"

#include <QImage>
#include <cstdint>
#include <memory>
#include <vector>

class Remapper {
public:
    // An animation's remapper serves many frames: it has a fine candidate
    // grid and remembers every colour's nearest entry. One frame's (a local
    // palette) is quicker to build.
    enum class Use { Animation, OneFrame };
    // Entries before firstUsable (the reserved transparent entry) are never
    // chosen. threads: how many may build the candidate grid.
    explicit Remapper(const PaletteColors& palette, int firstUsable = 0, Use use = Use::Animation,
                      int threads = 1);
    ~Remapper();
    Remapper(const Remapper&) = delete;
    Remapper& operator=(const Remapper&) = delete;

    // frame: any format, converted to RGB32 when needed; out: width * height.
    // False when there was no memory for the conversion.
    bool Remap(const QImage& frame, bool dither, std::uint8_t* out) const;

    // Index of the palette entry nearest to color (squared RGB distance).
    int Nearest(QRgb color) const;

private:
    int Search(std::uint32_t rgb) const;
    // With exactOnly, stops and returns false at the first colour that the
    // palette does not hold exactly.
    bool RemapPlain(const QImage& frame, std::uint8_t* out, bool exactOnly) const;
    void RemapDithered(const QImage& frame, std::uint8_t* out) const;

    void BuildCandidateGrid(int threads);
    void AddCandidates(const std::int16_t* indices, int count);

    int m_nFirst;
    int m_nCount;
    std::int32_t m_r[256], m_g[256], m_b[256];
    // The colour cube in 32 x 32 x 32 cells (16 x 16 x 16 for one frame);
    // each cell lists the palette entries that can be nearest to some colour
    // inside it, so a search looks at a handful of entries instead of all.
    int m_nCellBits;
    std::vector<std::uint32_t> m_cellStart; // one offset per cell into the lists, and the end
    // Each cell's candidates as colour channels side by side, with the
    // entry's index, padded to a multiple of kLanes (the padding repeats the
    // last candidate): the search runs over whole blocks the compiler turns
    // into vector code.
    static constexpr int kLanes = 8;
    std::vector<std::int16_t> m_candR, m_candG, m_candB, m_candIndex;
    // Nearest index + 1 per 24-bit colour, 0 while unknown (none for one
    // frame). Allocated zeroed
    // (the pages are only touched for colours that occur), filled lazily;
    // threads that race on an entry write the same value.
    struct FreeDeleter {
        void operator()(std::uint16_t* p) const;
    };
    std::unique_ptr<std::uint16_t, FreeDeleter> m_cache;
};
