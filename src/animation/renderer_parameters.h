// The renderers' parameters by name, for the command line: every value goes
// through the renderer's own setter, so its clamps apply.
#pragma once

#include "animation/animation_renderer.h"

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
