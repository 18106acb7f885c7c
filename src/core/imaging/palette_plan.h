// The palette stage of a save: the global palette chosen from the sampled
// colours, whether frames are dithered, which entry (if any) marks the pixels
// a frame leaves as they were, and the remapper every frame of the global
// palette shares. Where frames get palettes of their own, a chain on its own
// thread works them out in frame order, each seeded from the one before so
// that still areas keep their colours, while the remap workers use the
// palettes already done.
#pragma once

#include "core/imaging/encode_control.h"
#include "core/imaging/frame_encoder.h"
#include "core/imaging/palette_sampler.h"
#include "core/imaging/remapper.h"

#include <memory>
#include <thread>
#include <vector>

class PalettePlan {
public:
    explicit PalettePlan(EncodeControl& control);
    ~PalettePlan(); // ends and joins the chain
    PalettePlan(const PalettePlan&) = delete;
    PalettePlan& operator=(const PalettePlan&) = delete;

    // interframe: frames after the first store only what changed;
    // allSampled: the sampler saw every frame.
    Status Choose(PaletteSampler& sampler, FrameSource& source, const EncodeOptions& options,
                  bool interframe, bool allSampled);

    const PaletteColors& Global() const { return m_global; }
    const Remapper& GlobalRemapper() const { return *m_pRemapper; }
    bool Dither() const { return m_bDither; }
    // The global palette holds every colour of every frame.
    bool Exact() const { return m_bExact; }
    // Entry 0 is the mask's transparent colour with a mask.
    int FirstUsable() const { return m_nFirstUsable; }
    // The index unchanged pixels take, -1 when there is none.
    int Unchanged() const { return m_nUnchanged; }

    // Starts the chain of frames' own palettes when the mode and the
    // animation call for them. The chain reads the kept frames (under the
    // control's lock) until it has done them.
    // With no frame kept, the chain draws the frames again itself.
    void StartLocal(const PaletteSampler& sampler, std::vector<QImage>& kept, FrameSource& source,
                    const EncodeOptions& options);
    // Frame i's own palette (in the global one's layout), or null for the
    // global palette. Waits for the chain; null on abort too.
    std::shared_ptr<const PaletteColors> LocalPalette(int index);
    // Frames given their own palette so far.
    int LocalCount();
    void StopLocal();

private:
    void RunChain(std::vector<QImage>& kept, FrameSource& source, PaletteMode mode);
    EncodeControl& m_control;
    PaletteColors m_global;
    std::unique_ptr<Remapper> m_pRemapper;
    bool m_bDither = true;
    bool m_bExact = false;
    int m_nFirstUsable = 0;
    int m_nUnchanged = -1;
    int m_nUsable = 0; // colours a palette may choose (without reserved entries)
    std::thread m_chain;
    // Under the control's lock:
    std::vector<std::shared_ptr<const PaletteColors>> m_local;
    int m_nLocalDone = 0;
    int m_nLocalCount = 0;
};

// Share of pixels two frames have in common (0 when either is missing).
double StillShare(const QImage& a, const QImage& b);
