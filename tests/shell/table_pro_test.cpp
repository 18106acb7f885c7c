#include "core/document/preview_page_writer.h"
#include "dialog_input.h"
#include "ui/controls/color_box.h"
#include "ui/controls/user_messages.h"
#include "ui/shell/preview_target.h"
#include "ui/shell/table_pro.h"
#include "ui/shell/velmora_doc.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class FakeView : public PreviewTarget {
public:
    explicit FakeView(QString page) : m_page(std::move(page)) {}
    QString PreviewPageFile() const override { return m_page; }
    void RefreshPreview() override { ++refreshes; }
    int AnimationType() const override { return type; }
    int refreshes = 0;
    int type = 0;

    QByteArray Page() const {
        QFile f(m_page);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QString m_page;
};

struct TableProFixture : ::testing::Test {
    QTemporaryDir dir;
    FakeView view{dir.filePath(QStringLiteral("Untitled1.htm"))};
    CVelmoraDoc doc{QStringLiteral("Untitled1")};
    // The document's preview set is where the window writes the page.
    bool previewSet =
        (doc.Model().SetPreview(PageSet::ForBase(dir.filePath(QStringLiteral("Untitled1")))), true);
    // The view writes the page as the document changes; here the writer
    // does it alone.
    PreviewPageWriter writer{&doc.Model()};
    bool firstWrite = (writer.WriteNow(), true);
    TablePro dialog{&doc, &view};
    std::shared_ptr<TableProControls> ui = TablePropertiesControls(&dialog);

    void SetUp() override { dialog.show(); }
    void TearDown() override { SetColorChooserHook(nullptr); }
    static void Retype(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void Choose(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
    }
};

TEST_F(TableProFixture, StartsWithTheDefaultPage) {
    EXPECT_TRUE(view.Page().contains("<table width=\"450\" height=\"200\""));
    EXPECT_TRUE(ui->showCellsCheck->isChecked());
    EXPECT_EQ(ui->borderCombo->currentText(), QStringLiteral("5"));
    EXPECT_EQ(ui->rowsCombo->currentText(), QStringLiteral("2"));
    EXPECT_EQ(ui->columnsCombo->currentText(), QStringLiteral("3"));
    EXPECT_EQ(ui->cellColorBox->currentIndex(), -1);
}

TEST_F(TableProFixture, TypedSizesAreClampedInThePageNotInTheBox) {
    Retype(ui->widthEdit, QStringLiteral("0"));
    EXPECT_EQ(dialog.GetTableWidth(), 2);
    EXPECT_TRUE(view.Page().contains("<table width=\"2\""));
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("0"));

    Retype(ui->heightEdit, QStringLiteral("12abc"));
    EXPECT_EQ(dialog.GetTableHeight(), 12);

    Retype(ui->widthEdit, QStringLiteral("1234567890"));
    EXPECT_EQ(dialog.GetTableWidth(), 123456789);
    EXPECT_TRUE(view.Page().contains("width=\"123456789\""));
}

TEST_F(TableProFixture, CombosTakeListedAndTypedValues) {
    Retype(ui->heightEdit, QStringLiteral("40"));
    Choose(ui->borderCombo, 29); // "30" on 450 x 40
    EXPECT_EQ(dialog.GetTableBorder(), 20);
    EXPECT_TRUE(view.Page().contains("cellspacing=\"20\""));

    ui->rowsCombo->lineEdit()->selectAll();
    QTest::keyClicks(ui->rowsCombo->lineEdit(), QStringLiteral("25"));
    EXPECT_EQ(dialog.GetTableRows(), 25);
    EXPECT_EQ(view.Page().count("<tr>\r\n<td bgcolor"), 25);

    ui->columnsCombo->lineEdit()->selectAll();
    QTest::keyClicks(ui->columnsCombo->lineEdit(), QStringLiteral("x"));
    EXPECT_EQ(dialog.GetTableColumns(), 1);

    ui->showCellsCheck->click();
    EXPECT_FALSE(view.Page().contains("<td bgcolor"));
}

TEST_F(TableProFixture, ColoursAndTheCustomChooser) {
    Choose(ui->cellColorBox, 3); // Red
    EXPECT_EQ(dialog.GetTableCellColor(), 0x0000FFu);
    EXPECT_TRUE(view.Page().contains("<td bgcolor=\"#ff0000\">"));
    Choose(ui->pageColorBox, 2); // Black
    EXPECT_TRUE(view.Page().contains("background-color: #000000;"));

    // A cancelled chooser changes nothing: no edit, no undo step.
    SetColorChooserHook([](COLORREF*) { return false; });
    const int steps = doc.Model().UndoStack()->count();
    Choose(ui->cellColorBox, 0);
    EXPECT_EQ(dialog.GetTableCellColor(), 0x0000FFu);
    EXPECT_EQ(doc.Model().UndoStack()->count(), steps);
    EXPECT_TRUE(view.Page().contains("<td bgcolor=\"#ff0000\">"));

    SetColorChooserHook([](COLORREF* c) {
        *c = MakeColorRef(0, 0, 255);
        return true;
    });
    Choose(ui->pageColorBox, 0);
    EXPECT_TRUE(view.Page().contains("background-color: #0000ff;"));
    EXPECT_EQ(ui->pageColorBox->ItemColor(0), MakeColorRef(0, 0, 255));
}

TEST_F(TableProFixture, EscapeHidesTheWindowAndEnterKeepsIt) {
    ASSERT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(ui->widthEdit, Qt::Key_Enter);
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(TableProFixture, AnimationDialogBookkeeping) {
    auto* moving = new QDialog;
    auto* rotating = new QDialog;
    QPointer<QDialog> watchMoving(moving), watchRotating(rotating);
    dialog.SetAnimationDialog(1, moving);
    dialog.SetAnimationDialog(2, rotating);
    view.type = 2;
    dialog.ShowAnimationDialog();
    EXPECT_TRUE(rotating->isVisible());
    EXPECT_FALSE(moving->isVisible());
    dialog.HideAnimationDialog();
    EXPECT_FALSE(rotating->isVisible());
    view.type = 9; // outside 1..6: nothing happens
    dialog.ShowAnimationDialog();
    dialog.CloseAnimationDialogs();
    EXPECT_TRUE(watchMoving.isNull());
    EXPECT_TRUE(watchRotating.isNull());
    EXPECT_EQ(dialog.AnimationDialog(1), nullptr);
}

} // namespace

namespace {

TEST_F(TableProFixture, RapidEditsOfALargePageAreCoalesced) {
    // 400 x 400 cells: a page of several MB.
    Choose(ui->rowsCombo, 1);
    ui->rowsCombo->lineEdit()->setText(QString());
    QTest::keyClicks(ui->rowsCombo->lineEdit(), QStringLiteral("400"));
    ui->columnsCombo->lineEdit()->setText(QString());
    QTest::keyClicks(ui->columnsCombo->lineEdit(), QStringLiteral("400"));
    // The last edit is written once the typing pauses.
    QTRY_VERIFY_WITH_TIMEOUT(view.Page().size() > 1024 * 1024, 5000);

    QSignalSpy written(&writer, &PreviewPageWriter::Written);
    ui->widthEdit->selectAll();
    QTest::keyClicks(ui->widthEdit, QStringLiteral("3000"));
    // Four keystrokes in well under 150 ms: at most the first is written at
    // once, the last follows when the typing pauses.
    EXPECT_LE(written.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(view.Page().contains("width=\"3000\""), 2000);
    EXPECT_LE(written.count(), 2);
    EXPECT_EQ(dialog.Table().GetRows(), 400);
    EXPECT_EQ(dialog.Table().GetWidth(), 3000);
}

TEST_F(TableProFixture, SmallPagesAreWrittenAtEveryEdit) {
    QSignalSpy written(&writer, &PreviewPageWriter::Written);
    Retype(ui->widthEdit, QStringLiteral("321"));
    EXPECT_EQ(written.count(), 3);
    EXPECT_TRUE(view.Page().contains("width=\"321\""));
}

} // namespace
