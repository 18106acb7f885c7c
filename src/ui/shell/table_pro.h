// "Table Properties": the modeless window beside each document that edits
// its table. Every edit goes through the table's clamping setters, rewrites
// the preview page and refreshes the preview.
#pragma once

#include "core/page/html_table.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <array>
#include <memory>

namespace Ui {
class TablePro;
}
class CColorBox;
class QTimer;
class CVelmoraDoc;
class PreviewTarget;

class TablePro : public QDialog {
    Q_OBJECT
public:
    TablePro(CVelmoraDoc* doc, PreviewTarget* view, QWidget* owner = nullptr);
    ~TablePro() override;

    CHtmlTable* Table() const { return m_table; }

    int GetTableWidth() const { return m_table->GetWidth(); }
    int GetTableHeight() const { return m_table->GetHeight(); }
    int GetTableBorder() const { return m_table->GetBorder(); }
    int GetTableRows() const { return m_table->GetRows(); }
    int GetTableColumns() const { return m_table->GetColumns(); }
    COLORREF GetTableCellColor() const { return m_table->GetCellColor(); }

    // Sets the controls as a new document starts: cells shown, 450 x 200,
    // border 5, 2 rows, 3 columns. The edits' change handlers run.
    void SetStartingControls();
    // Sets the controls from the document's table (a page just reopened),
    // then rewrites the preview page once. The table is not changed.
    void SetControlsFromTable();

    // Writes an edit that is still waiting (edits of a large page are
    // written at most every 150 ms while the user types).
    void FlushPendingWrite();

    // Parameter dialogs opened by this window's Animate Table button, in the
    // renderer numbering (1..6).
    void SetAnimationDialog(int type, QDialog* dialog);
    QDialog* AnimationDialog(int type) const;
    void CloseAnimationDialogs();
    void ShowAnimationDialog();
    void HideAnimationDialog();

    // The controls, for the dialogs that read or set them.
    Ui::TablePro* Controls() const { return m_ui.get(); }

Q_SIGNALS:
    void AnimateTableRequested();
    // The page could not be written: the message for the user.
    void PageWriteFailed(const QString& message);
    // The preview page was written; its size in bytes.
    void PageWritten(qint64 bytes);
    // Shown or hidden, by the user or the program.
    void VisibilityChanged(bool visible);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void WriteAndRefresh();
    void WriteNow();
    void OnWidthChanged(const QString& text);
    void OnHeightChanged(const QString& text);
    void OnColorChosen(CColorBox* box, int index, bool cell);

    CVelmoraDoc* m_pDoc;
    PreviewTarget* m_pView;
    std::unique_ptr<Ui::TablePro> m_ui;
    CHtmlTable* m_table;                                 // the document's
    std::array<QPointer<QDialog>, 7> m_animationDialogs; // index 0 unused
    QTimer* m_pWriteTimer;
    QElapsedTimer m_lastWrite;
    qint64 m_nLastPageBytes = 0;
};
