#include "animation/stripes_renderer_base.h"

#include <algorithm>

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
