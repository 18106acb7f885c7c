// The "Rotating Stripes" window.
#pragma once

#include "ui/animation/animation_dialog.h"

#include <memory>

namespace Ui {
class AnimRotatingStripes;
}
class RotatingStripesRenderer;

class AnimRotatingStripes : public AnimationDialog {
    Q_OBJECT
public:
    static constexpr int kRendererType = 2;

    AnimRotatingStripes(AnimationHost* host, QWidget* owner);
    ~AnimRotatingStripes() override;

    Ui::AnimRotatingStripes* Controls() const { return m_ui.get(); }
    RotatingStripesRenderer* StripesRenderer() const;

    Status OnSaveAnimatedGif();
    void OnFitToCell();
    // Turns Fit to Cell on or off and shows which it is.
    void SetFitToCellShown(bool on);

private:
    std::unique_ptr<Ui::AnimRotatingStripes> m_ui;
};
