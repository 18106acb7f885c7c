// The renderers' parameters by name, for the command line: every value goes
// through the renderer's own setter, so its clamps apply.
#pragma once

#include "animation/animation_renderer.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

struct RendererParameter {
    enum Kind { Integer, Color, Boolean };
    QString name;
    Kind kind;
    QString description;
    std::function<void(AnimationRenderer&, int)> set; // colours as COLORREF, booleans 0/1
    std::function<int(const AnimationRenderer&)> get;
};

// "moving-stripes", "rotating-stripes".
QStringList RendererTypeNames();
std::unique_ptr<AnimationRenderer> CreateRendererByName(const QString& type);
std::vector<RendererParameter> RendererParameters(const QString& type);
