// "Animation Type": the chooser Animate Table opens first. It lists the six
// animations, plays a looping sample of the selected one, and returns its
// number (1 Moving Stripes .. 6 Dynamic Picture).
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class AnmType;
}

class AnmType : public QDialog {
    Q_OBJECT
public:
    explicit AnmType(QWidget* owner = nullptr);
    ~AnmType() override;

    int ChosenType() const { return m_nChosenType; }
    Ui::AnmType* Controls() const { return m_ui.get(); }

    // Whether the animation of a chooser number can be made yet.
    static bool IsAvailable(int chooserType);
    // The renderer numbering of a chooser number (0 when outside 1..6).
    static int RendererTypeFor(int chooserType);

    // A sample of the animation, 200 x 160, drawn by its renderer on first
    // use and kept; empty for animations not available yet.
    struct Sample {
        std::vector<QImage> frames;
        int delayMs = 100;
    };
    static const Sample& SampleOf(int chooserType);

    // Runs the chooser; 0 when cancelled. Tests answer it through the hook.
    static int Run(QWidget* owner);
    static void SetTestHook(std::function<int()> hook);

    int ShownFrame() const { return m_nFrame; }

private:
    void OnSelectionChanged(int row);
    void ShowFrame();

    std::unique_ptr<Ui::AnmType> m_ui;
    int m_nChosenType = 1;
    int m_nFrame = 0;
    QTimer m_timer;
};
