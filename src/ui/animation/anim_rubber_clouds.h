// The "Rubber Clouds" window.
#pragma once

#include "ui/animation/animation_dialog.h"

#include <memory>

namespace Ui {
class AnimRubberClouds;
}
class RubberCloudsRenderer;

class AnimRubberClouds : public AnimationDialog {
    Q_OBJECT
public:
    static constexpr int kRendererType = 6;

    AnimRubberClouds(AnimationHost* host, QWidget* owner);
    ~AnimRubberClouds() override;

    Ui::AnimRubberClouds* Controls() const { return m_ui.get(); }
    RubberCloudsRenderer* CloudsRenderer() const;

    Status OnSaveAnimatedGif();

private:
    std::unique_ptr<Ui::AnimRubberClouds> m_ui;
};
