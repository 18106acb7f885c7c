#include "animation/renderer_parameters.h"

#include "animation/moving_stripes_renderer.h"
#include "animation/rotating_stripes_renderer.h"

namespace {

template <typename R> R& As(AnimationRenderer& r) {
    return static_cast<R&>(r);
}
template <typename R> const R& As(const AnimationRenderer& r) {
    return static_cast<const R&>(r);
}

std::vector<RendererParameter> CommonParameters() {
    return {
        {QStringLiteral("width"), RendererParameter::Integer,
         QStringLiteral("frame width in pixels (at least 5)"),
         [](AnimationRenderer& r, int v) { r.SetFrameWidth(v); },
         [](const AnimationRenderer& r) { return r.GetFrameWidth(); }},
        {QStringLiteral("height"), RendererParameter::Integer,
         QStringLiteral("frame height in pixels (at least 5)"),
         [](AnimationRenderer& r, int v) { r.SetFrameHeight(v); },
         [](const AnimationRenderer& r) { return r.GetFrameHeight(); }},
        {QStringLiteral("dither"), RendererParameter::Boolean,
         QStringLiteral("diffuse the colour error (1) or map to the nearest colour (0)"),
         [](AnimationRenderer& r, int v) { r.SetDither(v != 0); },
         [](const AnimationRenderer& r) { return r.GetDither() ? 1 : 0; }},
    };
}

// The parameters the two stripe renderers share.
std::vector<RendererParameter> StripeParameters() {
    using R = StripesRendererBase;
    std::vector<RendererParameter> p = {
        {QStringLiteral("colors"), RendererParameter::Integer,
         QStringLiteral("stripe colours in use (1 to 5)"),
         [](AnimationRenderer& r, int v) { As<R>(r).SetNumberOfColors(v); },
         [](const AnimationRenderer& r) { return As<R>(r).GetNumberOfColors(); }},
        {QStringLiteral("stripe-width"), RendererParameter::Integer,
         QStringLiteral("lines in each solid stripe (at least 1)"),
         [](AnimationRenderer& r, int v) { As<R>(r).SetStripeWidth(v); },
         [](const AnimationRenderer& r) { return As<R>(r).GetStripeWidth(); }},
        {QStringLiteral("stripe-distance"), RendererParameter::Integer,
         QStringLiteral("lines in each gradient between stripes (at least 0)"),
         [](AnimationRenderer& r, int v) { As<R>(r).SetStripeDistance(v); },
         [](const AnimationRenderer& r) { return As<R>(r).GetStripeDistance(); }},
        {QStringLiteral("background-color"), RendererParameter::Color,
         QStringLiteral("colour of the background stripe"),
         [](AnimationRenderer& r, int v) { As<R>(r).SetBackgroundColor(COLORREF(v)); },
         [](const AnimationRenderer& r) { return int(As<R>(r).GetBackgroundColor()); }},
        {QStringLiteral("background-stripes"), RendererParameter::Boolean,
         QStringLiteral("a background stripe after every colour stripe"),
         [](AnimationRenderer& r, int v) { As<R>(r).SetBackgroundStripes(v != 0); },
         [](const AnimationRenderer& r) { return As<R>(r).GetBackgroundStripes() ? 1 : 0; }},
        {QStringLiteral("speed"), RendererParameter::Integer,
         QStringLiteral("animation speed, about pixels per second (at least 1)"),
         [](AnimationRenderer& r, int v) { As<R>(r).SetSpeed(v); },
         [](const AnimationRenderer& r) { return As<R>(r).GetSpeed(); }},
    };
    for (int i = 0; i < 5; ++i) {
        p.push_back({QStringLiteral("color%1").arg(i + 1), RendererParameter::Color,
                     QStringLiteral("stripe colour %1").arg(i + 1),
                     [i](AnimationRenderer& r, int v) { As<R>(r).SetStripeColor(i, COLORREF(v)); },
                     [i](const AnimationRenderer& r) { return int(As<R>(r).GetStripeColor(i)); }});
    }
    return p;
}

} // namespace

QStringList RendererTypeNames() {
    return {QStringLiteral("moving-stripes"), QStringLiteral("rotating-stripes")};
}

std::unique_ptr<AnimationRenderer> CreateRendererByName(const QString& type) {
    if (type == QLatin1String("moving-stripes"))
        return std::make_unique<MovingStripesRenderer>();
    if (type == QLatin1String("rotating-stripes")) {
        auto r = std::make_unique<RotatingStripesRenderer>();
        // The dialog starts its boxes at 120 x 120, which every user sees.
        r->SetFrameWidth(120);
        r->SetFrameHeight(120);
        return r;
    }
    return nullptr;
}

std::vector<RendererParameter> RendererParameters(const QString& type) {
    std::vector<RendererParameter> p = CommonParameters();
    if (type == QLatin1String("moving-stripes")) {
        auto stripes = StripeParameters();
        p.insert(p.end(), stripes.begin(), stripes.end());
        p.push_back(
            {QStringLiteral("angle"), RendererParameter::Integer,
             QStringLiteral("direction of motion in degrees, 0 right, 90 up (at least 0)"),
             [](AnimationRenderer& r, int v) { As<MovingStripesRenderer>(r).SetAngle(v); },
             [](const AnimationRenderer& r) { return As<MovingStripesRenderer>(r).GetAngle(); }});
    } else if (type == QLatin1String("rotating-stripes")) {
        auto stripes = StripeParameters();
        p.insert(p.end(), stripes.begin(), stripes.end());
    } else {
        return {};
    }
    return p;
}
