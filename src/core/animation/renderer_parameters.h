// The renderers' parameters by name, for the command line: every value goes
// through the renderer's own setter, so its clamps apply.
#pragma once

#include "core/animation/animation_renderer.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

struct RendererParameter {
    enum Kind { Integer, Color, Boolean, String };
    QString name;
    Kind kind;
    QString description;
    std::function<void(AnimationRenderer&, int)> set; // colours as COLORREF, booleans 0/1
    std::function<int(const AnimationRenderer&)> get;
    // The setter's clamp, for help texts (the setter applies it).
    int minimum = std::numeric_limits<int>::min();
    int maximum = std::numeric_limits<int>::max();
    // An operation rather than a value (Tile): applied after every other
    // value has been set.
    bool deferred = false;
    // String parameters (a path) use these instead of set and get.
    std::function<void(AnimationRenderer&, const QString&)> setText = nullptr;
    std::function<QString(const AnimationRenderer&)> getText = nullptr;
};

// Parameter makers for a renderer type R, from R's own setter and getter, so
// that each type's list reads as a table.
template <typename R, typename Set, typename Get>
RendererParameter IntegerParameter(const QString& name, const QString& description, int minimum,
                                   int maximum, Set set, Get get) {
    RendererParameter p{
        name, RendererParameter::Integer, description,
        [set](AnimationRenderer& r, int v) { (static_cast<R&>(r).*set)(v); },
        [get](const AnimationRenderer& r) { return int((static_cast<const R&>(r).*get)()); }};
    p.minimum = minimum;
    p.maximum = maximum;
    return p;
}

template <typename R, typename Set, typename Get>
RendererParameter BooleanParameter(const QString& name, const QString& description, Set set,
                                   Get get) {
    RendererParameter p{
        name, RendererParameter::Boolean, description,
        [set](AnimationRenderer& r, int v) { (static_cast<R&>(r).*set)(v != 0); },
        [get](const AnimationRenderer& r) { return (static_cast<const R&>(r).*get)() ? 1 : 0; }};
    p.minimum = 0;
    p.maximum = 1;
    return p;
}

template <typename R, typename Set, typename Get>
RendererParameter ColorParameter(const QString& name, const QString& description, Set set,
                                 Get get) {
    return {name, RendererParameter::Color, description,
            [set](AnimationRenderer& r, int v) { (static_cast<R&>(r).*set)(COLORREF(v)); },
            [get](const AnimationRenderer& r) { return int((static_cast<const R&>(r).*get)()); }};
}

// A path, set and read as text.
template <typename R, typename Set, typename Get>
RendererParameter TextParameter(const QString& name, const QString& description, Set set, Get get) {
    RendererParameter p{name, RendererParameter::String, description, {}, {}};
    p.setText = [set](AnimationRenderer& r, const QString& text) {
        (static_cast<R&>(r).*set)(text);
    };
    p.getText = [get](const AnimationRenderer& r) {
        return QString((static_cast<const R&>(r).*get)());
    };
    return p;
}

// "color1" .. "colorN" for a type whose colours are set by index (0-based).
// A non-empty `firstDescription` stands for colour 1's, which then plays a
// part of its own.
template <typename R, typename Set, typename Get>
void AppendIndexedColors(std::vector<RendererParameter>* list, int count,
                         const QString& description, Set set, Get get,
                         const QString& firstDescription = QString()) {
    for (int i = 0; i < count; ++i)
        list->push_back(
            {QStringLiteral("color%1").arg(i + 1), RendererParameter::Color,
             i == 0 && !firstDescription.isEmpty() ? firstDescription : description.arg(i + 1),
             [set, i](AnimationRenderer& r, int v) { (static_cast<R&>(r).*set)(i, COLORREF(v)); },
             [get, i](const AnimationRenderer& r) {
                 return int((static_cast<const R&>(r).*get)(i));
             }});
}

// Entries that several types share word for word, for a type R with the
// setter and getter of that name.
template <typename R> RendererParameter AngleParameter() {
    return IntegerParameter<R>(
        QStringLiteral("angle"),
        QStringLiteral("direction of motion in degrees, 0 right, 90 up (at least 0)"), 0,
        std::numeric_limits<int>::max(), &R::SetAngle, &R::GetAngle);
}

// The speed of a picture that scrolls cyclically.
template <typename R> RendererParameter ScrollSpeedParameter() {
    return IntegerParameter<R>(
        QStringLiteral("speed"),
        QStringLiteral("scroll speed, about ten per pixel per frame (at least 1)"), 1,
        std::numeric_limits<int>::max(), &R::SetSpeed, &R::GetSpeed);
}

// The cloud outline's size and bumps, which a save lowers to 1000.
template <typename R> void AppendCloudOutline(std::vector<RendererParameter>* list) {
    constexpr int kMax = std::numeric_limits<int>::max();
    list->push_back(IntegerParameter<R>(
        QStringLiteral("cloud-size"),
        QStringLiteral("smallest cloud radius in pixels (at least 0; above 1000 saved as 1000)"), 0,
        kMax, &R::SetCloudSize, &R::GetCloudSize));
    list->push_back(IntegerParameter<R>(
        QStringLiteral("cloud-bumps"),
        QStringLiteral("random extra radius in pixels (at least 0; above 1000 saved as 1000)"), 0,
        kMax, &R::SetCloudBumps, &R::GetCloudBumps));
}

// Moves the parameter called `name` to the end of the list, for types whose
// window shows it after their own values.
void MoveParameterToEnd(std::vector<RendererParameter>* list, const QString& name);

// Frame size and dithering, which every type has.
std::vector<RendererParameter> CommonParameters();
// Common parameters plus the stripe cycle's.
std::vector<RendererParameter> StripeParameters();
std::vector<RendererParameter> MovingStripesParameters();
std::vector<RendererParameter> RotatingStripesParameters();

// The command-line names of the types that can be made, in chooser order.
QStringList RendererTypeNames();
// Null for an unknown type or one that cannot be made yet.
std::unique_ptr<AnimationRenderer> CreateRendererByName(const QString& type);
std::vector<RendererParameter> RendererParameters(const QString& type);
