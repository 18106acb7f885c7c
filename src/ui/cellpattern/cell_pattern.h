// "Table Cell Pattern": the choice of a cell pattern for the table — none,
// one of the three drawn shapes or a bitmap of the installation's
// CellPattern folder — with a preview, whether the mask becomes the page's
// own cell GIF or goes into the animation, and the table resized to one
// cell of a bitmap's size. OK only records the choice: whoever ran the
// window applies it to the document.
#pragma once

#include "core/document/velmora_document.h"

#include <QDialog>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class CellPattern;
}

class CellPattern : public QDialog {
    Q_OBJECT
public:
    // Chooses a pattern for `doc`'s table; `directory` is the installation
    // folder.
    CellPattern(VelmoraDocument* doc, QString directory, QWidget* parent = nullptr);
    ~CellPattern() override;

    // The list index last chosen: 0 none, 1 rounded rectangles, 2
    // rectangles, 3 craft scissors, 4 and on the bitmaps.
    int Selection() const { return m_nSelection; }
    // The bitmap shown, null for the drawn shapes or a file that would not
    // load.
    const QImage& Picture() const { return m_picture; }
    // What becomes of the mask: "Save Cell Pattern to a new Gif File" makes
    // it a layer of its own, otherwise it is cut into the frames. None for
    // "No Cell Pattern".
    MaskMode ChosenMode() const;
    // What the preview shows now, at its own size.
    QImage PreviewImage() const { return m_preview; }
    // Why the chosen bitmap could not be shown ("Cannot open <path>: ..."),
    // empty when it could; the preview shows it in the picture's place.
    const QString& LoadError() const { return m_strLoadError; }

    Ui::CellPattern* Controls() const { return m_ui.get(); }

    // Runs the window modally; tests install a hook that answers it instead
    // (nullptr restores the modal run).
    using TestHook = std::function<int(CellPattern&)>;
    static void SetTestHook(TestHook hook);
    int RunModal();

    void OnSetTableToOneCell();

    // The drawn shapes' samples as one cell (list index 1 to 3).
    static QImage ShapeSample(int index);

Q_SIGNALS:
    // The table was made one cell of the bitmap's size: the animation's
    // frame follows.
    void OneCellSizeChosen(QSize size);

private:
    void OnSelectionChanged(int row);
    void UpdatePreview();
    QString BitmapPath(int row) const;

    std::unique_ptr<Ui::CellPattern> m_ui;
    VelmoraDocument* m_pDoc;
    QString m_strDirectory;
    int m_nSelection = 1;
    QImage m_picture;
    QString m_strLoadError;
    QImage m_preview;
};
