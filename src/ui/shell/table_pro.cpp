#include "ui/shell/table_pro.h"

#include "ui/controls/color_box.h"
#include "ui/controls/dialog_text.h"
#include "ui/controls/user_messages.h"
#include "ui/shell/preview_target.h"
#include "ui/shell/velmora_doc.h"
#include "ui_table_pro.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>

TablePro::TablePro(CVelmoraDoc* doc, PreviewTarget* view, QWidget* owner)
    : QDialog(owner), m_pDoc(doc), m_pView(view), m_ui(std::make_unique<Ui::TablePro>()),
      m_table(&doc->Table()), m_pWriteTimer(new QTimer(this)) {
    m_pWriteTimer->setSingleShot(true);
    connect(m_pWriteTimer, &QTimer::timeout, this, &TablePro::WriteNow);
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("tableProperties"));
    m_ui->cellColorBox->Fill();
    m_ui->pageColorBox->Fill();
    WriteAndRefresh();

    connect(m_ui->showCellsCheck, &QCheckBox::clicked, this, [this](bool checked) {
        m_table->SetShowCells(checked);
        WriteAndRefresh();
    });
    connect(m_ui->widthEdit, &QLineEdit::textChanged, this, &TablePro::OnWidthChanged);
    connect(m_ui->heightEdit, &QLineEdit::textChanged, this, &TablePro::OnHeightChanged);

    struct ComboSetter {
        QComboBox* combo;
        void (CHtmlTable::*set)(int);
    };
    for (const ComboSetter& c : {ComboSetter{m_ui->borderCombo, &CHtmlTable::SetBorder},
                                 ComboSetter{m_ui->rowsCombo, &CHtmlTable::SetRows},
                                 ComboSetter{m_ui->columnsCombo, &CHtmlTable::SetColumns}}) {
        c.combo->setCurrentIndex(-1);
        // A choice from the list and typing in the field both reach the
        // setter; setting the field from code does not.
        connect(c.combo, &QComboBox::activated, this, [this, c](int index) {
            (m_table->*c.set)(AtoiText(c.combo->itemText(index)));
            WriteAndRefresh();
        });
        connect(c.combo->lineEdit(), &QLineEdit::textEdited, this, [this, c](const QString& text) {
            (m_table->*c.set)(AtoiText(text));
            WriteAndRefresh();
        });
    }
    connect(m_ui->cellColorBox, &QComboBox::activated, this,
            [this](int index) { OnColorChosen(m_ui->cellColorBox, index, true); });
    connect(m_ui->pageColorBox, &QComboBox::activated, this,
            [this](int index) { OnColorChosen(m_ui->pageColorBox, index, false); });
    connect(m_ui->animateTableButton, &QPushButton::clicked, this,
            &TablePro::AnimateTableRequested);
    adjustSize();
}

TablePro::~TablePro() {
    CloseAnimationDialogs();
}

void TablePro::SetStartingControls() {
    m_ui->showCellsCheck->setChecked(true);
    m_ui->widthEdit->setText(QStringLiteral("450"));
    m_ui->heightEdit->setText(QStringLiteral("200"));
    m_ui->borderCombo->setCurrentIndex(4);
    m_ui->rowsCombo->setCurrentIndex(1);
    m_ui->columnsCombo->setCurrentIndex(2);
}

namespace {

// Pages up to this size are rewritten at every keystroke; larger ones (a
// table of thousands of cells) at most every kCoalesceMs while typing.
constexpr qint64 kCoalesceFromBytes = 256 * 1024;
constexpr int kCoalesceMs = 150;

} // namespace
void TablePro::SetControlsFromTable() {
    // Setting the texts from code must not reach the setters: the width's
    // handler would re-clamp a spacing the page holds.
    const QSignalBlocker blockWidth(m_ui->widthEdit);
    const QSignalBlocker blockHeight(m_ui->heightEdit);
    m_ui->showCellsCheck->setChecked(m_table->GetShowCells());
    m_ui->widthEdit->setText(QString::number(m_table->GetWidth()));
    m_ui->heightEdit->setText(QString::number(m_table->GetHeight()));
    auto showNumber = [](QComboBox* combo, int value) {
        const int index = combo->findText(QString::number(value));
        if (index >= 0)
            combo->setCurrentIndex(index);
        else
            combo->setEditText(QString::number(value));
    };
    showNumber(m_ui->borderCombo, m_table->GetBorder());
    showNumber(m_ui->rowsCombo, m_table->GetRows());
    showNumber(m_ui->columnsCombo, m_table->GetColumns());
    // A colour of the list selects its entry; any other is the custom one.
    auto showColor = [](CColorBox* box, COLORREF color) {
        for (int i = 1; i < box->count(); ++i) {
            if (box->ItemColor(i) == color) {
                box->setCurrentIndex(i);
                return;
            }
        }
        box->SetItemColor(0, color);
        box->setCurrentIndex(0);
    };
    showColor(m_ui->cellColorBox, m_table->GetCellColor());
    showColor(m_ui->pageColorBox, m_table->GetPageColor());
    WriteAndRefresh();
}

void TablePro::WriteAndRefresh() {
    if (m_nLastPageBytes >= kCoalesceFromBytes && m_lastWrite.isValid() &&
        m_lastWrite.elapsed() < kCoalesceMs) {
        if (!m_pWriteTimer->isActive())
            m_pWriteTimer->start(int(kCoalesceMs - m_lastWrite.elapsed()));
        return;
    }
    WriteNow();
}

void TablePro::FlushPendingWrite() {
    if (m_pWriteTimer->isActive()) {
        m_pWriteTimer->stop();
        WriteNow();
    }
}

void TablePro::WriteNow() {
    m_pWriteTimer->stop();
    if (Status s = m_pDoc->Model().WritePreviewPage(); !s) {
        Q_EMIT PageWriteFailed(s.message());
        ShowUserMessage(this, s.message(), MessageKind::Warning);
    }
    m_lastWrite.start();
    m_nLastPageBytes = QFileInfo(m_pDoc->Model().Preview().page).size();
    Q_EMIT PageWritten(m_nLastPageBytes);
    m_pDoc->NotifyTableChanged();
    m_pView->RefreshPreview();
}

void TablePro::OnWidthChanged(const QString& text) {
    // The edit's first nine characters only, so the number fits an int.
    m_table->SetWidth(AtoiText(text, 9));
    WriteAndRefresh();
}

void TablePro::OnHeightChanged(const QString& text) {
    m_table->SetHeight(AtoiText(text, 9));
    WriteAndRefresh();
}

void TablePro::OnColorChosen(CColorBox* box, int index, bool cell) {
    if (index == 0) {
        COLORREF chosen = 0;
        if (ChooseCustomColor(this, &chosen)) {
            box->SetItemColor(0, chosen);
            cell ? m_table->SetCellColor(chosen) : m_table->SetPageColor(chosen);
        }
    } else if (index > 0 && index < 17) {
        const COLORREF color = ColorOfEntry(kColorBoxTable[index]);
        cell ? m_table->SetCellColor(color) : m_table->SetPageColor(color);
    }
    WriteAndRefresh();
    box->setFocus();
}

void TablePro::keyPressEvent(QKeyEvent* event) {
    // Every edit applies as it is typed, so Enter has nothing left to do and
    // must not close the window. Escape puts it away; View > Table
    // Properties brings it back.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    case Qt::Key_Escape:
        hide();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TablePro::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Q_EMIT VisibilityChanged(true);
}

void TablePro::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    Q_EMIT VisibilityChanged(false);
}

void TablePro::SetAnimationDialog(int type, QDialog* dialog) {
    if (type >= 1 && type <= 6)
        m_animationDialogs[type] = dialog;
}

QDialog* TablePro::AnimationDialog(int type) const {
    return type >= 1 && type <= 6 ? m_animationDialogs[type].data() : nullptr;
}

void TablePro::CloseAnimationDialogs() {
    for (auto& dialog : m_animationDialogs) {
        if (dialog)
            delete dialog.data();
        dialog = nullptr;
    }
}

void TablePro::ShowAnimationDialog() {
    if (QDialog* d = AnimationDialog(m_pView->AnimationType()))
        d->show();
}

void TablePro::HideAnimationDialog() {
    if (QDialog* d = AnimationDialog(m_pView->AnimationType()))
        d->hide();
}
