// "Table Properties": the modeless window beside each document that edits
// its table. Every edit goes to the document (its clamping setters, an undo
// step); the window shows the table again whenever the document announces a
// change that did not come from the box being typed in.
#pragma once

#include "core/document/velmora_document.h"

#include <QDialog>
#include <QPointer>
#include <array>
#include <memory>

namespace Ui {
class TablePro;
}
class CColorBox;
class CVelmoraDoc;
class PreviewTarget;

class TablePro : public QDialog {
    Q_OBJECT
public:
    TablePro(CVelmoraDoc* doc, PreviewTarget* view, QWidget* owner = nullptr);
    ~TablePro() override;

    const CHtmlTable& Table() const;

    int GetTableWidth() const { return Table().GetWidth(); }
    int GetTableHeight() const { return Table().GetHeight(); }
    int GetTableBorder() const { return Table().GetBorder(); }
    int GetTableRows() const { return Table().GetRows(); }
    int GetTableColumns() const { return Table().GetColumns(); }
    COLORREF GetTableCellColor() const { return Table().GetCellColor(); }

    // Shows the document's table in the controls (the colour boxes too
    // unless told). The table is not changed.
    void SetControlsFromTable(bool showColors = true);

    // Parameter dialogs opened by this window's Animate Table button, in the
    // renderer numbering (1..6).
    void SetAnimationDialog(int type, QDialog* dialog);
    QDialog* AnimationDialog(int type) const;
    void CloseAnimationDialogs();
    void ShowAnimationDialog();
    void HideAnimationDialog();

Q_SIGNALS:
    void AnimateTableRequested();
    // Shown or hidden, by the user or the program.
    void VisibilityChanged(bool visible);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // An edit typed or chosen here: the controls keep what the user typed
    // while the document takes it.
    void Edit(TableField field, int value);
    void OnColorChosen(CColorBox* box, int index, bool cell);

    CVelmoraDoc* m_pDoc;
    PreviewTarget* m_pView;
    std::unique_ptr<Ui::TablePro> m_ui;
    std::array<QPointer<QDialog>, 7> m_animationDialogs; // index 0 unused
    bool m_bEditing = false;
    // The colour boxes started with no entry chosen (a new page); an undo
    // back to the start shows them so again.
    bool m_bColorsUnchosenAtStart = false;
};
