#include "ui/shell/table_pro.h"

#include "ui/controls/color_box.h"
#include "ui/controls/dialog_text.h"
#include "ui/controls/user_messages.h"
#include "ui/shell/preview_target.h"
#include "ui/shell/velmora_doc.h"
#include "ui/shell/velmora_settings.h"
#include "ui_table_pro.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

TablePro::TablePro(CVelmoraDoc* doc, PreviewTarget* view, QWidget* owner)
    : QDialog(owner), m_pDoc(doc), m_pView(view), m_ui(std::make_unique<Ui::TablePro>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("tableProperties"));
    m_ui->cellColorBox->Fill();
    m_ui->pageColorBox->Fill();

    connect(m_ui->showCellsCheck, &QCheckBox::clicked, this,
            [this](bool checked) { Edit(TableField::ShowCells, checked ? 1 : 0); });
    // The style last chosen is where a new page starts.
    connect(m_ui->modernPageCheck, &QCheckBox::clicked, this, [this](bool checked) {
        VelmoraSettings()->setValue(
            QStringLiteral("pageStyle"),
            PageStyleName(checked ? PageStyle::Modern : PageStyle::Classic));
        Edit(TableField::PageStyle, checked ? 1 : 0);
    });
    if (m_pDoc->IsUntitled() && !m_pDoc->Model().IsModified() &&
        VelmoraSettings()->value(QStringLiteral("pageStyle")).toString() ==
            PageStyleName(PageStyle::Modern)) {
        CHtmlTable table = Table();
        table.SetPageStyle(PageStyle::Modern);
        m_pDoc->Model().ResetTable(table);
    }
    // The edit's first nine characters only, so the number fits an int.
    connect(m_ui->widthEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { Edit(TableField::Width, AtoiText(text, 9)); });
    connect(m_ui->heightEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { Edit(TableField::Height, AtoiText(text, 9)); });

    struct ComboField {
        QComboBox* combo;
        TableField field;
    };
    for (const ComboField& c : {ComboField{m_ui->borderCombo, TableField::Border},
                                ComboField{m_ui->rowsCombo, TableField::Rows},
                                ComboField{m_ui->columnsCombo, TableField::Columns}}) {
        c.combo->setCurrentIndex(-1);
        // A choice from the list and typing in the field both reach the
        // document; setting the field from code does not.
        connect(c.combo, &QComboBox::activated, this,
                [this, c](int index) { Edit(c.field, AtoiText(c.combo->itemText(index))); });
        connect(c.combo->lineEdit(), &QLineEdit::textEdited, this,
                [this, c](const QString& text) { Edit(c.field, AtoiText(text)); });
    }
    connect(m_ui->cellColorBox, &QComboBox::activated, this,
            [this](int index) { OnColorChosen(m_ui->cellColorBox, index, true); });
    connect(m_ui->pageColorBox, &QComboBox::activated, this,
            [this](int index) { OnColorChosen(m_ui->pageColorBox, index, false); });
    connect(m_ui->animateTableButton, &QPushButton::clicked, this,
            &TablePro::AnimateTableRequested);
    // Undo, Redo and the pattern windows change the table too.
    connect(&m_pDoc->Model(), &VelmoraDocument::TableChanged, this, [this] {
        if (!m_bEditing)
            SetControlsFromTable();
    });
    // A new table's colour boxes start with no entry chosen, as the page's
    // colours are the defaults nobody picked yet.
    m_bColorsUnchosenAtStart = SameTable(Table(), CHtmlTable());
    SetControlsFromTable(!m_bColorsUnchosenAtStart);
    // The stack moves its index after the step's undo has announced the
    // table, so the start is recognised here.
    connect(m_pDoc->Model().UndoStack(), &QUndoStack::indexChanged, this, [this](int index) {
        if (m_bColorsUnchosenAtStart && index == 0) {
            m_ui->cellColorBox->setCurrentIndex(-1);
            m_ui->pageColorBox->setCurrentIndex(-1);
        }
    });
    adjustSize();
}

TablePro::~TablePro() {
    CloseAnimationDialogs();
}

const CHtmlTable& TablePro::Table() const {
    return m_pDoc->Table();
}

void TablePro::SetControlsFromTable(bool showColors) {
    const CHtmlTable& table = Table();
    // Setting the texts from code must not reach the document: the width's
    // edit would re-clamp a spacing the page holds.
    const QSignalBlocker blockWidth(m_ui->widthEdit);
    const QSignalBlocker blockHeight(m_ui->heightEdit);
    m_ui->showCellsCheck->setChecked(table.GetShowCells());
    m_ui->modernPageCheck->setChecked(table.GetPageStyle() == PageStyle::Modern);
    m_ui->widthEdit->setText(QString::number(table.GetWidth()));
    m_ui->heightEdit->setText(QString::number(table.GetHeight()));
    auto showNumber = [](QComboBox* combo, int value) {
        const int index = combo->findText(QString::number(value));
        if (index >= 0)
            combo->setCurrentIndex(index);
        else
            combo->setEditText(QString::number(value));
    };
    showNumber(m_ui->borderCombo, table.GetBorder());
    showNumber(m_ui->rowsCombo, table.GetRows());
    showNumber(m_ui->columnsCombo, table.GetColumns());
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
    if (!showColors)
        return;
    showColor(m_ui->cellColorBox, table.GetCellColor());
    showColor(m_ui->pageColorBox, table.GetPageColor());
}

void TablePro::Edit(TableField field, int value) {
    m_bEditing = true;
    m_pDoc->Model().EditTable(field, value);
    m_bEditing = false;
}

void TablePro::OnColorChosen(CColorBox* box, int index, bool cell) {
    const TableField field = cell ? TableField::CellColor : TableField::PageColor;
    if (index == 0) {
        COLORREF chosen = 0;
        if (ChooseCustomColor(this, &chosen)) {
            box->SetItemColor(0, chosen);
            Edit(field, int(chosen));
        }
    } else if (index > 0 && index < 17) {
        Edit(field, int(ColorOfEntry(kColorBoxTable[index])));
    }
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
