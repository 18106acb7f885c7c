#include "core/animation/renderer_parameters.h"

#include "core/animation/animation_types.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/rotating_stripes_renderer.h"

#include <algorithm>

namespace {

constexpr int kMaxInt = std::numeric_limits<int>::max();

} // namespace

std::vector<RendererParameter> CommonParameters() {
    using R = AnimationRenderer;
    return {
        IntegerParameter<R>(QStringLiteral("width"),
                            QStringLiteral("frame width in pixels (at least 5)"), 5, kMaxInt,
                            &R::SetFrameWidth, &R::GetFrameWidth),
        IntegerParameter<R>(QStringLiteral("height"),
                            QStringLiteral("frame height in pixels (at least 5)"), 5, kMaxInt,
                            &R::SetFrameHeight, &R::GetFrameHeight),
        BooleanParameter<R>(
            QStringLiteral("dither"),
            QStringLiteral("diffuse the colour error (1) or map to the nearest colour (0)"),
            &R::SetDither, &R::GetDither),
    };
}

void MoveParameterToEnd(std::vector<RendererParameter>* list, const QString& name) {
    const auto it = std::find_if(list->begin(), list->end(),
                                 [&](const RendererParameter& p) { return p.name == name; });
    if (it != list->end())
        std::rotate(it, it + 1, list->end());
}

std::vector<RendererParameter> StripeParameters() {
    using R = StripesRendererBase;
    std::vector<RendererParameter> p = CommonParameters();
    p.push_back(IntegerParameter<R>(QStringLiteral("colors"),
                                    QStringLiteral("stripe colours in use (1 to 5)"), 1, 5,
                                    &R::SetNumberOfColors, &R::GetNumberOfColors));
    p.push_back(IntegerParameter<R>(QStringLiteral("stripe-width"),
                                    QStringLiteral("lines in each solid stripe (at least 1)"), 1,
                                    kMaxInt, &R::SetStripeWidth, &R::GetStripeWidth));
    p.push_back(
        IntegerParameter<R>(QStringLiteral("stripe-distance"),
                            QStringLiteral("lines in each gradient between stripes (at least 0)"),
                            0, kMaxInt, &R::SetStripeDistance, &R::GetStripeDistance));
    p.push_back(ColorParameter<R>(QStringLiteral("background-color"),
                                  QStringLiteral("colour of the background stripe"),
                                  &R::SetBackgroundColor, &R::GetBackgroundColor));
    p.push_back(BooleanParameter<R>(QStringLiteral("background-stripes"),
                                    QStringLiteral("a background stripe after every colour stripe"),
                                    &R::SetBackgroundStripes, &R::GetBackgroundStripes));
    p.push_back(
        IntegerParameter<R>(QStringLiteral("speed"),
                            QStringLiteral("animation speed, about pixels per second (at least 1)"),
                            1, kMaxInt, &R::SetSpeed, &R::GetSpeed));
    AppendIndexedColors<R>(&p, 5, QStringLiteral("stripe colour %1"), &R::SetStripeColor,
                           &R::GetStripeColor);
    return p;
}

std::vector<RendererParameter> MovingStripesParameters() {
    using R = MovingStripesRenderer;
    std::vector<RendererParameter> p = StripeParameters();
    p.push_back(AngleParameter<R>());
    // An operation, not a value: it runs once every value is in place.
    RendererParameter tile{QStringLiteral("tile"), RendererParameter::Boolean,
                           QStringLiteral("make the frame one tile of the pattern before saving"),
                           [](AnimationRenderer& r, int v) {
                               if (v)
                                   static_cast<R&>(r).Tile();
                           },
                           [](const AnimationRenderer&) { return 0; }};
    tile.minimum = 0;
    tile.maximum = 1;
    tile.deferred = true;
    p.push_back(std::move(tile));
    return p;
}

std::vector<RendererParameter> RotatingStripesParameters() {
    using R = RotatingStripesRenderer;
    std::vector<RendererParameter> p = StripeParameters();
    p.push_back(BooleanParameter<R>(
        QStringLiteral("fit-to-cell"),
        QStringLiteral("draw one pinwheel per cell of --table and save the whole table"),
        &R::SetFitToCell, &R::GetFitToCell));
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
