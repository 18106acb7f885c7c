// The palette stage of a save: the global palette chosen from the sampled
// colours, whether frames are dithered, which entry (if any) marks the pixels
// a frame leaves as they were, and the remapper every frame of the global
// palette shares.
#pragma once

#include "imaging/encode_control.h"
#include "imaging/frame_encoder.h"
#include "imaging/palette_sampler.h"
#include "imaging/remapper.h"

#include <memory>

class PalettePlan {
public:
    explicit PalettePlan(EncodeControl& control);
    ~PalettePlan();

    // interframe: frames after the first store only what changed;
    // allSampled: the sampler saw every frame.
    Status Choose(PaletteSampler& sampler, FrameSource& source, const EncodeOptions& options,
                  bool interframe, bool allSampled);

    const PaletteColors& Global() const { return m_global; }
    const Remapper& GlobalRemapper() const { return *m_pRemapper; }
    bool Dither() const { return m_bDither; }
    // Entry 0 is the mask's transparent colour with a mask.
    int FirstUsable() const { return m_nFirstUsable; }
    // The index unchanged pixels take, -1 when there is none.
    int Unchanged() const { return m_nUnchanged; }

private:
    EncodeControl& m_control;
    PaletteColors m_global;
    std::unique_ptr<Remapper> m_pRemapper;
    bool m_bDither = true;
    int m_nFirstUsable = 0;
    int m_nUnchanged = -1;
};

// Share of pixels two frames have in common (0 when either is missing).
double StillShare(const QImage& a, const QImage& b);
