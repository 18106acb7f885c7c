#include "animation/renderer_parameters.h"

#include "animation/animation_types.h"
#include "animation/moving_stripes_renderer.h"
#include "animation/rotating_stripes_renderer.h"

namespace {

template <typename R> R& As(AnimationRenderer& r) {
    return static_cast<R&>(r);
}
template <typename R> const R& As(const AnimationRenderer& r) {
    return static_cast<const R&>(r);
}

RendererParameter Limited(RendererParameter p, int minimum, int maximum) {
    p.minimum = minimum;
    p.maximum = maximum;
    return p;
}

} // namespace

std::vector<RendererParameter> CommonParameters() {
    return {
        Limited({QStringLiteral("width"), RendererParameter::Integer,
                 QStringLiteral("frame width in pixels (at least 5)"),
                 [](AnimationRenderer& r, int v) { r.SetFrameWidth(v); },
                 [](const AnimationRenderer& r) { return r.GetFrameWidth(); }},
                5, std::numeric_limits<int>::max()),
        Limited({QStringLiteral("height"), RendererParameter::Integer,
                 QStringLiteral("frame height in pixels (at least 5)"),
                 [](AnimationRenderer& r, int v) { r.SetFrameHeight(v); },
                 [](const AnimationRenderer& r) { return r.GetFrameHeight(); }},
                5, std::numeric_limits<int>::max()),
        Limited({QStringLiteral("dither"), RendererParameter::Boolean,
                 QStringLiteral("diffuse the colour error (1) or map to the nearest colour (0)"),
                 [](AnimationRenderer& r, int v) { r.SetDither(v != 0); },
                 [](const AnimationRenderer& r) { return r.GetDither() ? 1 : 0; }},
                0, 1),
    };
}

std::vector<RendererParameter> StripeParameters() {
    using R = StripesRendererBase;
    constexpr int kMax = std::numeric_limits<int>::max();
    std::vector<RendererParameter> p = CommonParameters();
    p.push_back(Limited({QStringLiteral("colors"), RendererParameter::Integer,
                         QStringLiteral("stripe colours in use (1 to 5)"),
                         [](AnimationRenderer& r, int v) { As<R>(r).SetNumberOfColors(v); },
                         [](const AnimationRenderer& r) { return As<R>(r).GetNumberOfColors(); }},
                        1, 5));
    p.push_back(Limited({QStringLiteral("stripe-width"), RendererParameter::Integer,
                         QStringLiteral("lines in each solid stripe (at least 1)"),
                         [](AnimationRenderer& r, int v) { As<R>(r).SetStripeWidth(v); },
                         [](const AnimationRenderer& r) { return As<R>(r).GetStripeWidth(); }},
                        1, kMax));
    p.push_back(Limited({QStringLiteral("stripe-distance"), RendererParameter::Integer,
                         QStringLiteral("lines in each gradient between stripes (at least 0)"),
                         [](AnimationRenderer& r, int v) { As<R>(r).SetStripeDistance(v); },
                         [](const AnimationRenderer& r) { return As<R>(r).GetStripeDistance(); }},
                        0, kMax));
    p.push_back({QStringLiteral("background-color"), RendererParameter::Color,
                 QStringLiteral("colour of the background stripe"),
                 [](AnimationRenderer& r, int v) { As<R>(r).SetBackgroundColor(COLORREF(v)); },
                 [](const AnimationRenderer& r) { return int(As<R>(r).GetBackgroundColor()); }});
    p.push_back(Limited(
        {QStringLiteral("background-stripes"), RendererParameter::Boolean,
         QStringLiteral("a background stripe after every colour stripe"),
         [](AnimationRenderer& r, int v) { As<R>(r).SetBackgroundStripes(v != 0); },
         [](const AnimationRenderer& r) { return As<R>(r).GetBackgroundStripes() ? 1 : 0; }},
        0, 1));
    p.push_back(Limited({QStringLiteral("speed"), RendererParameter::Integer,
                         QStringLiteral("animation speed, about pixels per second (at least 1)"),
                         [](AnimationRenderer& r, int v) { As<R>(r).SetSpeed(v); },
                         [](const AnimationRenderer& r) { return As<R>(r).GetSpeed(); }},
                        1, kMax));
    for (int i = 0; i < 5; ++i) {
        p.push_back({QStringLiteral("color%1").arg(i + 1), RendererParameter::Color,
                     QStringLiteral("stripe colour %1").arg(i + 1),
                     [i](AnimationRenderer& r, int v) { As<R>(r).SetStripeColor(i, COLORREF(v)); },
                     [i](const AnimationRenderer& r) { return int(As<R>(r).GetStripeColor(i)); }});
    }
    return p;
}

std::vector<RendererParameter> MovingStripesParameters() {
    using R = MovingStripesRenderer;
    std::vector<RendererParameter> p = StripeParameters();
    p.push_back(
        Limited({QStringLiteral("angle"), RendererParameter::Integer,
                 QStringLiteral("direction of motion in degrees, 0 right, 90 up (at least 0)"),
                 [](AnimationRenderer& r, int v) { As<R>(r).SetAngle(v); },
                 [](const AnimationRenderer& r) { return As<R>(r).GetAngle(); }},
                0, std::numeric_limits<int>::max()));
    RendererParameter tile =
        Limited({QStringLiteral("tile"), RendererParameter::Boolean,
                 QStringLiteral("make the frame one tile of the pattern before saving"),
                 [](AnimationRenderer& r, int v) {
                     if (v)
                         As<R>(r).Tile();
                 },
                 [](const AnimationRenderer&) { return 0; }},
                0, 1);
    tile.deferred = true;
    p.push_back(std::move(tile));
    return p;
}

std::vector<RendererParameter> RotatingStripesParameters() {
    using R = RotatingStripesRenderer;
    std::vector<RendererParameter> p = StripeParameters();
    p.push_back(
        Limited({QStringLiteral("fit-to-cell"), RendererParameter::Boolean,
                 QStringLiteral("draw one pinwheel per cell of --table and save the whole table"),
                 [](AnimationRenderer& r, int v) { As<R>(r).SetFitToCell(v != 0); },
                 [](const AnimationRenderer& r) { return As<R>(r).GetFitToCell() ? 1 : 0; }},
                0, 1));
    return p;
}

QStringList RendererTypeNames() {
    QStringList names;
    for (const AnimationTypeInfo& t : AnimationTypes())
        if (t.IsAvailable())
            names << t.cliName;
    return names;
}

std::unique_ptr<AnimationRenderer> CreateRendererByName(const QString& type) {
    const AnimationTypeInfo* info = AnimationTypeByName(type);
    return info && info->IsAvailable() ? info->create() : nullptr;
}

std::vector<RendererParameter> RendererParameters(const QString& type) {
    const AnimationTypeInfo* info = AnimationTypeByName(type);
    return info && info->IsAvailable() ? info->parameters() : std::vector<RendererParameter>{};
}
