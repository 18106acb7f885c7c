// The "Flowing Clouds" window.
#pragma once

#include "ui/animation/animation_dialog.h"

#include <memory>

namespace Ui {
class AnimFlowingClouds;
}
class FlowingCloudsRenderer;

class AnimFlowingClouds : public AnimationDialog {
    Q_OBJECT
public:
    static constexpr int kRendererType = 3;

    AnimFlowingClouds(AnimationHost* host, QWidget* owner);
    ~AnimFlowingClouds() override;

    Ui::AnimFlowingClouds* Controls() const { return m_ui.get(); }
    FlowingCloudsRenderer* CloudsRenderer() const;

    Status OnSaveAnimatedGif();

private:
    std::unique_ptr<Ui::AnimFlowingClouds> m_ui;
};
