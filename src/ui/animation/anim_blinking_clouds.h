// The "Blinking Clouds" window.
#pragma once

#include "ui/animation/animation_dialog.h"

#include <memory>

namespace Ui {
class AnimBlinkingClouds;
}
class BlinkingCloudsRenderer;

class AnimBlinkingClouds : public AnimationDialog {
    Q_OBJECT
public:
    static constexpr int kRendererType = 5;

    AnimBlinkingClouds(AnimationHost* host, QWidget* owner);
    ~AnimBlinkingClouds() override;

    Ui::AnimBlinkingClouds* Controls() const { return m_ui.get(); }
    BlinkingCloudsRenderer* CloudsRenderer() const;

    Status OnSaveAnimatedGif();

private:
    std::unique_ptr<Ui::AnimBlinkingClouds> m_ui;
};
