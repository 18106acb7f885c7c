// The "Dynamic Picture" window.
#pragma once

#include "ui/animation/animation_dialog.h"

#include <memory>

namespace Ui {
class AnimDynamicPicture;
}
class DynamicPictureRenderer;

class AnimDynamicPicture : public AnimationDialog {
    Q_OBJECT
public:
    static constexpr int kRendererType = 4;

    AnimDynamicPicture(AnimationHost* host, QWidget* owner);
    ~AnimDynamicPicture() override;

    Ui::AnimDynamicPicture* Controls() const { return m_ui.get(); }
    DynamicPictureRenderer* PictureRenderer() const;

    // "Browse...": asks for a picture and takes it.
    void OnBrowse();
    // Takes a picture the user picked: its path goes into File Name, and
    // when it can be read, its size into Width and Height.
    Status ChoosePicture(const QString& path);
    Status OnSaveAnimatedGif();

    // The file filter of Browse: every format the program reads.
    static QString PictureFilter();

private:
    std::unique_ptr<Ui::AnimDynamicPicture> m_ui;
};
