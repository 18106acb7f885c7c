#include "ui/animation/animation_dialog_factory.h"

#include "ui/animation/anim_blinking_clouds.h"
#include "ui/animation/anim_dynamic_picture.h"
#include "ui/animation/anim_flowing_clouds.h"
#include "ui/animation/anim_moving_stripes.h"
#include "ui/animation/anim_rotating_stripes.h"
#include "ui/animation/anim_rubber_clouds.h"

#include <functional>
#include <map>

namespace {

using Factory = std::function<AnimationDialog*(AnimationHost*, QWidget*)>;

template <typename Dialog> Factory Make() {
    return [](AnimationHost* host, QWidget* owner) { return new Dialog(host, owner); };
}

const std::map<int, Factory>& Factories() {
    static const std::map<int, Factory> factories = {
        {1, Make<AnimMovingStripes>()},  {2, Make<AnimRotatingStripes>()},
        {3, Make<AnimFlowingClouds>()},  {4, Make<AnimDynamicPicture>()},
        {5, Make<AnimBlinkingClouds>()}, {6, Make<AnimRubberClouds>()},
    };
    return factories;
}

} // namespace

AnimationDialog* CreateAnimationDialogFor(int rendererType, AnimationHost* host, QWidget* owner) {
    const auto found = Factories().find(rendererType);
    return found == Factories().end() ? nullptr : found->second(host, owner);
}
