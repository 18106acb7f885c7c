// The "Moving Stripes" window.
#pragma once

#include "ui/animation/animation_dialog.h"

#include <memory>

namespace Ui {
class AnimMovingStripes;
}
class MovingStripesRenderer;

class AnimMovingStripes : public AnimationDialog {
    Q_OBJECT
public:
    static constexpr int kRendererType = 1;

    AnimMovingStripes(AnimationHost* host, QWidget* owner);
    ~AnimMovingStripes() override;

    Ui::AnimMovingStripes* Controls() const { return m_ui.get(); }
    MovingStripesRenderer* StripesRenderer() const;

    Status OnSaveAnimatedGif();
    void OnTile();

private:
    std::unique_ptr<Ui::AnimMovingStripes> m_ui;
};
