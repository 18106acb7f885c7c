// The one table of animation types: what the view, the chooser, the command
// line and the settings know of each type. A new type is its renderer, its
// window and one row here (the window's factory row is on the UI side).
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/animation/renderer_parameters.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

struct AnimationTypeInfo {
    // The view's numbering: 1 Moving Stripes, 2 Rotating Stripes, 3 Flowing
    // Clouds, 4 Dynamic Picture, 5 Blinking Clouds, 6 Rubber Clouds.
    int rendererType = 0;
    // The chooser's numbering, which is also its list order: 1 Moving
    // Stripes, 2 Rotating Stripes, 3 Blinking Clouds, 4 Flowing Clouds,
    // 5 Rubber Clouds, 6 Dynamic Picture.
    int chooserNumber = 0;
    AnimationKind kind = AnimationKind::MovingStripes;
    QString cliName; // "moving-stripes"
    QString title;   // "Moving Stripes"
    // A renderer with the values its window opens with; empty while the type
    // cannot be made yet.
    std::function<std::unique_ptr<AnimationRenderer>()> create;
    std::function<std::vector<RendererParameter>()> parameters;
    // Sets up a fresh renderer for the chooser's 200 x 160 sample.
    std::function<void(AnimationRenderer&)> sample;

    bool IsAvailable() const { return bool(create); }
};

// The six rows in chooser order.
const std::vector<AnimationTypeInfo>& AnimationTypes();
const AnimationTypeInfo* AnimationTypeByRenderer(int rendererType);
const AnimationTypeInfo* AnimationTypeByChooser(int chooserNumber);
const AnimationTypeInfo* AnimationTypeByName(const QString& cliName);
