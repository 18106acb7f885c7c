// The "Rubber Clouds" window.
#pragma once

#include "ui/animation/animation_dialog.h"

#include <memory>

namespace Ui {
class AnimTunnelOfClouds;
}
class RubberCloudsRenderer;

class AnimTunnelOfClouds : public AnimationDialog {
    Q_OBJECT
public:
    static constexpr int kRendererType = 6;

    AnimTunnelOfClouds(AnimationHost* host, QWidget* owner);
    ~AnimTunnelOfClouds() override;

    Ui::AnimTunnelOfClouds* Controls() const { return m_ui.get(); }
    RubberCloudsRenderer* CloudsRenderer() const;

    Status OnSaveAnimatedGif();

private:
    std::unique_ptr<Ui::AnimTunnelOfClouds> m_ui;
};
