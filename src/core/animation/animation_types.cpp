#include "core/animation/animation_types.h"

#include "core/animation/blinking_clouds_renderer.h"
#include "core/animation/dynamic_picture_renderer.h"
#include "core/animation/flowing_clouds_renderer.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/rotating_stripes_renderer.h"
#include "core/animation/rubber_clouds_renderer.h"

namespace {

std::vector<AnimationTypeInfo> MakeTable() {
    std::vector<AnimationTypeInfo> t;

    AnimationTypeInfo movingStripes;
    movingStripes.rendererType = 1;
    movingStripes.chooserNumber = 1;
    movingStripes.kind = AnimationKind::MovingStripes;
    movingStripes.cliName = QStringLiteral("moving-stripes");
    movingStripes.title = QStringLiteral("Moving Stripes");
    movingStripes.create = [] { return std::make_unique<MovingStripesRenderer>(); };
    movingStripes.parameters = MovingStripesParameters;
    movingStripes.sample = [](AnimationRenderer& r) {
        static_cast<MovingStripesRenderer&>(r).SetNumberOfColors(3);
    };
    t.push_back(std::move(movingStripes));

    AnimationTypeInfo rotatingStripes;
    rotatingStripes.rendererType = 2;
    rotatingStripes.chooserNumber = 2;
    rotatingStripes.kind = AnimationKind::RotatingStripes;
    rotatingStripes.cliName = QStringLiteral("rotating-stripes");
    rotatingStripes.title = QStringLiteral("Rotating Stripes");
    rotatingStripes.create = [] {
        auto r = std::make_unique<RotatingStripesRenderer>();
        // The window starts its boxes at 120 x 120, which every user sees.
        r->SetFrameWidth(120);
        r->SetFrameHeight(120);
        return r;
    };
    rotatingStripes.parameters = RotatingStripesParameters;
    rotatingStripes.sample = [](AnimationRenderer& r) {
        static_cast<RotatingStripesRenderer&>(r).SetNumberOfColors(2);
    };
    t.push_back(std::move(rotatingStripes));

    AnimationTypeInfo blinkingClouds;
    blinkingClouds.rendererType = 5;
    blinkingClouds.chooserNumber = 3;
    blinkingClouds.kind = AnimationKind::BlinkingClouds;
    blinkingClouds.cliName = QStringLiteral("blinking-clouds");
    blinkingClouds.title = QStringLiteral("Blinking Clouds");
    blinkingClouds.create = [] { return std::make_unique<BlinkingCloudsRenderer>(); };
    blinkingClouds.parameters = BlinkingCloudsParameters;
    blinkingClouds.sample = [](AnimationRenderer& r) {
        // Three colours show the blinking better than the two the window
        // starts with; 200 x 160 makes 420 clouds and 100 frames.
        static_cast<BlinkingCloudsRenderer&>(r).SetNumberOfColors(3);
    };
    t.push_back(std::move(blinkingClouds));

    AnimationTypeInfo flowingClouds;
    flowingClouds.rendererType = 3;
    flowingClouds.chooserNumber = 4;
    flowingClouds.kind = AnimationKind::FlowingClouds;
    flowingClouds.cliName = QStringLiteral("flowing-clouds");
    flowingClouds.title = QStringLiteral("Flowing Clouds");
    flowingClouds.create = [] { return std::make_unique<FlowingCloudsRenderer>(); };
    flowingClouds.parameters = FlowingCloudsParameters;
    flowingClouds.sample = [](AnimationRenderer& r) {
        static_cast<FlowingCloudsRenderer&>(r).SetNumberOfColors(3);
    };
    t.push_back(std::move(flowingClouds));

    AnimationTypeInfo rubberClouds;
    rubberClouds.rendererType = 6;
    rubberClouds.chooserNumber = 5;
    rubberClouds.kind = AnimationKind::RubberClouds;
    rubberClouds.cliName = QStringLiteral("rubber-clouds");
    rubberClouds.title = QStringLiteral("Rubber Clouds");
    rubberClouds.create = [] { return std::make_unique<RubberCloudsRenderer>(); };
    rubberClouds.parameters = RubberCloudsParameters;
    rubberClouds.sample = [](AnimationRenderer& r) {
        // Smaller bumps suit the small sample; 20 frames.
        static_cast<RubberCloudsRenderer&>(r).SetBumps(60);
        static_cast<RubberCloudsRenderer&>(r).SetNumberOfColors(3);
    };
    t.push_back(std::move(rubberClouds));

    AnimationTypeInfo dynamicPicture;
    dynamicPicture.rendererType = 4;
    dynamicPicture.chooserNumber = 6;
    dynamicPicture.kind = AnimationKind::DynamicPicture;
    dynamicPicture.cliName = QStringLiteral("dynamic-picture");
    dynamicPicture.title = QStringLiteral("Dynamic Picture");
    dynamicPicture.create = [] { return std::make_unique<DynamicPictureRenderer>(); };
    dynamicPicture.parameters = DynamicPictureParameters;
    dynamicPicture.sample = [](AnimationRenderer& r) {
        // One tile the size of the sample, made here rather than read.
        static_cast<DynamicPictureRenderer&>(r).SetPicture(DynamicPictureSample(200, 160));
    };
    t.push_back(std::move(dynamicPicture));

    return t;
}

} // namespace

const std::vector<AnimationTypeInfo>& AnimationTypes() {
    static const std::vector<AnimationTypeInfo> table = MakeTable();
    return table;
}

const AnimationTypeInfo* AnimationTypeByRenderer(int rendererType) {
    for (const AnimationTypeInfo& t : AnimationTypes())
        if (t.rendererType == rendererType)
            return &t;
    return nullptr;
}

const AnimationTypeInfo* AnimationTypeByChooser(int chooserNumber) {
    for (const AnimationTypeInfo& t : AnimationTypes())
        if (t.chooserNumber == chooserNumber)
            return &t;
    return nullptr;
}

const AnimationTypeInfo* AnimationTypeByName(const QString& cliName) {
    for (const AnimationTypeInfo& t : AnimationTypes())
        if (t.cliName == cliName)
            return &t;
    return nullptr;
}
