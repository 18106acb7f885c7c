#include "core/animation/stripes_renderer_base.h"

#include "core/base/limits.h"

#include <algorithm>
#include <climits>
#include <cmath>

void StripesRendererBase::SetNumberOfColors(int n) {
    m_stripes.colors = std::clamp(n, 1, 5);
}
void StripesRendererBase::SetStripeWidth(int w) {
    m_stripes.stripeWidth = std::max(w, 1);
}
void StripesRendererBase::SetStripeDistance(int g) {
    m_stripes.stripeDistance = std::max(g, 0);
}
void StripesRendererBase::SetSpeed(int speed) {
    m_nSpeed = std::max(speed, 1);
}

void StripesRendererBase::SetStripeColor(int index, COLORREF c) {
    if (index >= 0 && index < 5)
        m_stripes.stripeColors[std::size_t(index)] = c;
}

void StripesRendererBase::SetFrameCount(std::int64_t wanted, int* frames) {
    m_nWantedFrames = wanted;
    *frames = int(std::clamp<std::int64_t>(wanted, 1, kMaxStripesFrames));
}

QStringList StripesRendererBase::SaveNotes() const {
    if (m_nWantedFrames <= kMaxStripesFrames)
        return {};
    return {QStringLiteral("The animation stops at %1 frames, short of the %2 a whole stripe "
                           "cycle takes, so its loop is not seamless.")
                .arg(kMaxStripesFrames)
                .arg(m_nWantedFrames)};
}

int StripesRendererBase::SaturatedInt(double v) {
    if (!(v < double(INT_MAX))) // also NaN
        return INT_MAX;
    if (v <= double(INT_MIN))
        return INT_MIN;
    return int(v);
}
