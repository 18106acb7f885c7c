// "Table Cell Pattern": the choice of a cell pattern for the table — none,
// one of the three drawn shapes or a bitmap of the installation's
// CellPattern folder — with a preview, whether the mask becomes the page's
// own cell GIF or goes into the animation, and the table resized to one
// cell of a bitmap's size.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class CellPattern;
}
class AnimationDialog;
class AnimationHost;
class AnimationRenderer;

class CellPattern : public QDialog {
    Q_OBJECT
public:
    // Chooses for the renderer of `rendererType`; `animationWindow` (may be
    // null) shows a new frame size; `directory` is the installation folder.
    CellPattern(AnimationHost* host, int rendererType, AnimationDialog* animationWindow,
                QString directory, QWidget* parent = nullptr);
    ~CellPattern() override;

    // The list index last chosen: 0 none, 1 rounded rectangles, 2
    // rectangles, 3 craft scissors, 4 and on the bitmaps.
    int Selection() const { return m_nSelection; }
    // The bitmap shown, null for the drawn shapes or a file that would not
    // load.
    const QImage& Picture() const { return m_picture; }
    // What the preview shows now, at its own size.
    QImage PreviewImage() const { return m_preview; }

    Ui::CellPattern* Controls() const { return m_ui.get(); }

    // Runs the window modally; tests install a hook that answers it instead
    // (nullptr restores the modal run).
    using TestHook = std::function<int(CellPattern&)>;
    static void SetTestHook(TestHook hook);
    int RunModal();

    void accept() override;
    void OnSetTableToOneCell();

    // The drawn shapes' samples as one cell (list index 1 to 3).
    static QImage ShapeSample(int index);

private:
    void OnSelectionChanged(int row);
    void UpdatePreview();
    QString BitmapPath(int row) const;
    AnimationRenderer* Renderer() const;
    void RewritePage();

    std::unique_ptr<Ui::CellPattern> m_ui;
    AnimationHost* m_pHost;
    int m_nType;
    AnimationDialog* m_pAnimationWindow;
    QString m_strDirectory;
    int m_nSelection = 1;
    QImage m_picture;
    QImage m_preview;
};
