#include "imaging/palette_plan.h"

#include "imaging/palette.h"

#include <algorithm>

PalettePlan::PalettePlan(EncodeControl& control) : m_control(control) {}

PalettePlan::~PalettePlan() = default;

double StillShare(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32),
                 y = b.convertToFormat(QImage::Format_RGB32);
    if (x.isNull() || y.isNull())
        return 0; // no memory to compare: assume the picture moves
    std::size_t same = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            same += ((p[col] ^ q[col]) & 0xFFFFFFu) == 0;
    }
    return double(same) / (double(x.width()) * x.height());
}

Status PalettePlan::Choose(PaletteSampler& sampler, FrameSource& source,
                           const EncodeOptions& options, bool interframe, bool allSampled) {
    EncodeControl::Timer timer(m_control, EncodeControl::Stage::Palette);
    const ColorHistogram& histogram = sampler.Histogram();
    const int count = source.FrameCount();
    const bool masked = options.mask && !options.mask->IsEmpty();
    m_nFirstUsable = masked ? 1 : 0;
    if (Status s = ChoosePalette(histogram, options.maxColors, masked, options.transparentColor,
                                 &m_global);
        !s)
        return s;
    // When the palette holds every colour of every frame, error diffusion
    // has no error to spread: the plain remap gives the same indices faster.
    m_bDither = options.dither && !(allSampled && histogram.IsExact() &&
                                    histogram.ColorCount() + (masked ? 1 : 0) <= m_global.size());
    // Pixels a frame shares with the one before can be left transparent:
    // with a mask, entry 0 already is; otherwise only a palette with room to
    // spare gets an entry for it, as taking one from a full palette would
    // cost every frame some quality.
    m_nUnchanged = -1;
    if (interframe && masked) {
        m_nUnchanged = 0;
    } else if (interframe && m_global.size() >= 2) {
        const int limit = std::min(options.maxColors, 256);
        bool reserve = int(m_global.size()) < limit;
        if (!reserve && count > 1) {
            // A full palette gives up its last colour only for a picture
            // that mostly stays.
            QImage second = sampler.First(1);
            if (second.isNull() && source.IsRandomAccess()) {
                EncodeControl::Timer draw(m_control, EncodeControl::Stage::Draw);
                if (!source.DrawFrame(1, &second))
                    second = QImage(); // judged as moving; the remap stage reports the failure
            }
            reserve = StillShare(sampler.First(0), second) >= 0.5;
            if (reserve) {
                if (Status s = ChoosePalette(histogram, limit - 1, false, options.transparentColor,
                                             &m_global);
                    !s)
                    return s;
            }
        }
        if (reserve) {
            m_nUnchanged = int(m_global.size());
            m_global.push_back(qRgb(0, 0, 0));
        }
    }
    // The reserved entry is never a pixel's nearest colour.
    PaletteColors usable(m_global.begin(), m_global.end() - (m_nUnchanged > 0 ? 1 : 0));
    m_pRemapper = std::make_unique<Remapper>(usable, m_nFirstUsable);
    return Status::Ok();
}
