// The document as a user meets it through the windows: a merged pattern cut
// at the table's size, changes that are never lost without a question, a
// reopened page that knows its own files, undo, and recent files that went.
#include "app_fixture.h"
#include "core/animation/animation_renderer.h"
#include "core/document/velmora_document.h"
#include "core/imaging/gif_reader.h"
#include "dialog_input.h"
#include "file_contents.h"
#include "ui/animation/anim_moving_stripes.h"
#include "ui/animation/animation_dialog.h"
#include "ui/animation/anm_type.h"
#include "ui/cellpattern/cell_pattern.h"
#include "ui/cellpattern/cell_pattern_dialog.h"
#include "ui/controls/color_box.h"
#include "ui/shell/table_pro.h"
#include "ui/shell/velmora_doc.h"
#include "ui_cell_pattern.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>

namespace {

struct DocumentTest : AppFixture {
    QTemporaryDir out;
    QStringList closeQuestions;
    CVelmoraView::CloseAnswer closeAnswer = CVelmoraView::CloseAnswer::Cancel;

    void SetUp() override {
        AppFixture::SetUp();
        CVelmoraView::SetCloseQuestion([this](QWidget*, const QString& q) {
            closeQuestions << q;
            return closeAnswer;
        });
    }
    void TearDown() override {
        CVelmoraView::SetCloseQuestion(nullptr);
        AnmType::SetTestHook(nullptr);
        CellPattern::SetTestHook(nullptr);
        CellPatternDialog::SetTestHook(nullptr);
        AppFixture::TearDown();
    }
    QMdiArea* Area() const { return app->MainFrame()->MdiArea(); }
    QAction* Action(const char* name) const {
        return app->MainFrame()->Action(QLatin1String(name));
    }
    static void Type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // Opens the animation window of chooser entry `choice` from the menu.
    AnimationDialog* Animate(int choice) {
        AnmType::SetTestHook([choice] { return choice; });
        View()->OnAnimateTable();
        return View()->AnimationWindow(AnmType::RendererTypeFor(choice));
    }
    // The picker answers with the rectangles, merged or separate; the
    // pattern window takes its starting values.
    static void ChooseRectangles(bool separate) {
        CellPattern::SetTestHook([separate](CellPattern& picker) {
            picker.Controls()->patternList->setCurrentRow(2);
            picker.Controls()->saveCheck->setChecked(separate);
            picker.accept();
            return picker.result();
        });
        CellPatternDialog::SetTestHook([](CellPatternDialog& d) {
            d.accept();
            return d.result();
        });
    }
};

class MergedPatternTest : public DocumentTest, public ::testing::WithParamInterface<int> {};

// Every type, chooser numbering 1..6.
TEST_P(MergedPatternTest, FramesTakeTheTableSize) {
    const auto pro = TablePropertiesControls(View()->GetTablePro());
    Type(pro->widthEdit, QStringLiteral("600"));
    Type(pro->heightEdit, QStringLiteral("300"));
    View()->Document()->EditTable(TableField::Rows, 3);
    View()->Document()->EditTable(TableField::Columns, 4);
    View()->Document()->EditTable(TableField::Border, 12);
    AnimationDialog* window = Animate(GetParam());
    ASSERT_NE(window, nullptr);
    auto* width = window->findChild<QLineEdit*>(QStringLiteral("widthEdit"));
    auto* height = window->findChild<QLineEdit*>(QStringLiteral("heightEdit"));
    ASSERT_TRUE(width && height);
    width->setText(QStringLiteral("120"));
    height->setText(QStringLiteral("120"));
    ChooseRectangles(false);
    window->OnCellPattern();
    EXPECT_EQ(View()->Document()->GetMaskMode(), MaskMode::MergedIntoFrames);
    EXPECT_EQ(width->text(), QStringLiteral("600"));
    EXPECT_EQ(height->text(), QStringLiteral("300"));
    EXPECT_EQ(window->Renderer()->GetFrameWidth(), 600);
    EXPECT_EQ(window->Renderer()->GetFrameHeight(), 300);
    // A later resize of the table takes the frames along.
    Type(pro->widthEdit, QStringLiteral("500"));
    EXPECT_EQ(width->text(), QStringLiteral("500"));
    EXPECT_EQ(window->Renderer()->GetFrameWidth(), 500);
}

INSTANTIATE_TEST_SUITE_P(EveryType, MergedPatternTest, ::testing::Range(1, 7));

TEST_F(DocumentTest, MergedPatternSavesAnAnimationOfTheTableSize) {
    View()->Document()->ResizeTable({600, 300, 12, 3});
    auto* window = static_cast<AnimMovingStripes*>(Animate(1));
    ASSERT_NE(window, nullptr);
    window->findChild<QLineEdit*>(QStringLiteral("widthEdit"))->setText(QStringLiteral("120"));
    window->findChild<QLineEdit*>(QStringLiteral("heightEdit"))->setText(QStringLiteral("120"));
    ChooseRectangles(false);
    window->OnCellPattern();
    EXPECT_TRUE(View()->Document()->AnimationStale());
    // The window says so too, until the next save.
    auto* stale = window->findChild<QLabel*>(QStringLiteral("staleAnimationLabel"));
    ASSERT_NE(stale, nullptr);
    EXPECT_TRUE(stale->isVisibleTo(window));
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    EXPECT_FALSE(View()->Document()->AnimationStale());
    EXPECT_FALSE(stale->isVisibleTo(window));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(View()->GifFile(), &gif));
    EXPECT_EQ(gif.width, 600);
    EXPECT_EQ(gif.height, 300);
}

TEST_F(DocumentTest, TextsAreShownWholeAndTheStatusBarHasTheLockKeyPanes) {
    // Colour boxes show "#rrggbb (default)" whole, in the smaller italic
    // they draw it in, beside a swatch of a fifth of the box and the arrow.
    for (int choice = 1; choice <= 6; ++choice) {
        AnimationDialog* window = Animate(choice);
        ASSERT_NE(window, nullptr);
        for (CColorBox* box : window->findChildren<CColorBox*>()) {
            QFont mark = box->font();
            mark.setItalic(true);
            mark.setPointSizeF(mark.pointSizeF() * 0.85);
            const int text =
                QFontMetrics(mark).horizontalAdvance(QStringLiteral("#ff19ff (default)"));
            EXPECT_GE(box->width() * 4 / 5 - 24, text) << box->objectName().toStdString();
        }
    }
    // A pattern window's caption fits its title bar.
    int captionRoom = 0, captionNeeds = 0;
    ChooseRectangles(false);
    CellPatternDialog::SetTestHook([&](CellPatternDialog& d) {
        // A title bar's face: bold, a little larger; an icon and three
        // buttons beside it.
        QFont bold = QApplication::font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.1);
        captionNeeds = QFontMetrics(bold).horizontalAdvance(d.windowTitle()) + 90;
        captionRoom = d.width();
        d.reject();
        return d.result();
    });
    Animate(1)->OnCellPattern();
    EXPECT_GT(captionNeeds, 90);
    EXPECT_GE(captionRoom, captionNeeds);
    // Caps, Num and Scroll Lock, after the message area, in that order.
    QStringList panes;
    for (QLabel* label : app->MainFrame()->statusBar()->findChildren<QLabel*>())
        if (label->objectName().endsWith(QLatin1String("LockPane")))
            panes << label->text();
    EXPECT_EQ(panes, (QStringList{"CAP", "NUM", "SCRL"}));
}

// Closing the main window destroys documents with unsaved changes after
// their windows have begun to go: a change of the modified mark announced
// then would reach windows that are no longer whole.
TEST_F(DocumentTest, AChangedDocumentGoesWithoutAnnouncingIt) {
    auto* doc = new VelmoraDocument;
    doc->EditTable(TableField::Width, 300);
    ASSERT_TRUE(doc->IsModified());
    int announced = 0;
    QObject::connect(doc, &VelmoraDocument::ModifiedChanged, [&announced] { ++announced; });
    delete doc;
    EXPECT_EQ(announced, 0);
}

TEST_F(DocumentTest, ClosingAChangedDocumentAsksAndCancelKeepsIt) {
    QMdiSubWindow* frame = Area()->activeSubWindow();
    ASSERT_NE(frame, nullptr);
    // Unchanged: closes without a question.
    CVelmoraView* other = app->OnFileNew();
    Action("fileClose")->trigger();
    QTest::qWait(10);
    EXPECT_TRUE(closeQuestions.isEmpty());
    EXPECT_EQ(Area()->subWindowList().size(), 1);
    Q_UNUSED(other);

    Area()->setActiveSubWindow(frame);
    Type(TablePropertiesControls(View()->GetTablePro())->widthEdit, QStringLiteral("321"));
    EXPECT_TRUE(frame->windowTitle().endsWith(QLatin1Char('*')));
    EXPECT_TRUE(app->MainFrame()->windowTitle().contains(QStringLiteral("Untitled1*")));
    closeAnswer = CVelmoraView::CloseAnswer::Cancel;
    Action("fileClose")->trigger();
    QTest::qWait(10);
    ASSERT_EQ(closeQuestions.size(), 1);
    EXPECT_EQ(Area()->subWindowList().size(), 1);
    // Exit asks too, and Cancel keeps the program and the document.
    app->MainFrame()->close();
    EXPECT_EQ(closeQuestions.size(), 2);
    EXPECT_TRUE(app->MainFrame()->isVisible());
    EXPECT_EQ(Area()->subWindowList().size(), 1);
    // Save saves (an untitled document asks for a name) and closes.
    CVelmoraView::SetSavePathChooser(
        [this](QWidget*) { return out.filePath(QStringLiteral("kept")); });
    closeAnswer = CVelmoraView::CloseAnswer::Save;
    // The cancelled exit may have moved the focus off the document.
    Area()->setActiveSubWindow(frame);
    Action("fileClose")->trigger();
    // The closed window goes at the next turn of the event loop, which a
    // loaded machine may take a while to reach.
    EXPECT_TRUE(QTest::qWaitFor([this] { return Area()->subWindowList().isEmpty(); }, 5000));
    EXPECT_TRUE(ReadAll(out.filePath(QStringLiteral("kept.htm"))).contains("width=\"321\""));
}

TEST_F(DocumentTest, DiscardClosesWithoutSaving) {
    Type(TablePropertiesControls(View()->GetTablePro())->widthEdit, QStringLiteral("321"));
    bool chooserAsked = false;
    CVelmoraView::SetSavePathChooser([&chooserAsked](QWidget*) {
        chooserAsked = true;
        return QString();
    });
    closeAnswer = CVelmoraView::CloseAnswer::Discard;
    Action("fileClose")->trigger();
    QTest::qWait(10);
    EXPECT_EQ(closeQuestions.size(), 1);
    EXPECT_FALSE(chooserAsked);
    EXPECT_TRUE(Area()->subWindowList().isEmpty());
}

TEST_F(DocumentTest, AReopenedPageKnowsItsFiles) {
    CVelmoraView::SetSavePathChooser(
        [this](QWidget*) { return out.filePath(QStringLiteral("shop2")); });
    ASSERT_TRUE(View()->OnFileSaveAs());
    const QString page = out.filePath(QStringLiteral("shop2.htm"));
    const QString gif = out.filePath(QStringLiteral("shop2.gif"));
    EXPECT_EQ(app->MainFrame()->RecentFiles().value(0), page); // Save As is recent too

    CVelmoraView* view = app->OpenDocument(page);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->GetDocument()->Model().IsModified());
    bool chooserAsked = false;
    CVelmoraView::SetSavePathChooser([&chooserAsked](QWidget*) {
        chooserAsked = true;
        return QString();
    });
    Type(TablePropertiesControls(view->GetTablePro())->widthEdit, QStringLiteral("432"));
    ASSERT_TRUE(view->OnFileSave());
    EXPECT_FALSE(chooserAsked);
    EXPECT_TRUE(ReadAll(page).contains("width=\"432\""));
    EXPECT_FALSE(view->GetDocument()->Model().IsModified());

    ASSERT_TRUE(view->OnCopyTableTag());
    const QString tag = QApplication::clipboard()->text();
    EXPECT_TRUE(tag.contains(QStringLiteral("background=\"shop2.gif\""))) << tag.toStdString();
    ASSERT_TRUE(view->OnCopyAnimationFile());
    ASSERT_EQ(QApplication::clipboard()->mimeData()->urls().size(), 1);
    EXPECT_EQ(QApplication::clipboard()->mimeData()->urls()[0].toLocalFile(), gif);
    ASSERT_TRUE(view->OnCopyAll());
    const QList<QUrl> all = QApplication::clipboard()->mimeData()->urls();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].toLocalFile(), page);
    EXPECT_EQ(all[1].toLocalFile(), gif);
}

TEST_F(DocumentTest, UndoAndRedoTakeATypingRunAtATime) {
    CVelmoraView* view = View();
    const auto pro = TablePropertiesControls(view->GetTablePro());
    EXPECT_FALSE(Action("editUndo")->isEnabled());
    EXPECT_TRUE(Action("editUndo")->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Z)));
    EXPECT_TRUE(
        Action("editRedo")->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
    EXPECT_EQ(pro->pageColorBox->currentIndex(), -1); // nothing chosen yet
    Type(pro->widthEdit, QStringLiteral("600"));
    Type(pro->heightEdit, QStringLiteral("250"));
    ASSERT_TRUE(Action("editUndo")->isEnabled());

    Action("editUndo")->trigger();
    EXPECT_EQ(view->GetDocument()->Table().GetHeight(), 200);
    EXPECT_EQ(view->GetDocument()->Table().GetWidth(), 600);
    EXPECT_EQ(pro->heightEdit->text(), QStringLiteral("200"));
    Action("editUndo")->trigger(); // "600" typed digit by digit is one step
    EXPECT_EQ(view->GetDocument()->Table().GetWidth(), 450);
    EXPECT_EQ(pro->widthEdit->text(), QStringLiteral("450"));
    EXPECT_TRUE(ReadAll(view->PageFile()).contains("<table width=\"450\" height=\"200\""));
    EXPECT_FALSE(view->GetDocument()->Model().IsModified()); // back where it started
    EXPECT_FALSE(Action("editUndo")->isEnabled());
    // ...with the colour boxes as they started, not showing the page's
    // default white as a choice.
    EXPECT_EQ(pro->pageColorBox->currentIndex(), -1);
    EXPECT_EQ(pro->cellColorBox->currentIndex(), -1);

    Action("editRedo")->trigger();
    EXPECT_EQ(view->GetDocument()->Table().GetWidth(), 600);
    EXPECT_TRUE(ReadAll(view->PageFile()).contains("<table width=\"600\""));

    // A pattern choice is a step too: undone, the layer goes.
    AnimationDialog* window = Animate(1);
    ASSERT_NE(window, nullptr);
    ChooseRectangles(true);
    window->OnCellPattern();
    ASSERT_TRUE(view->GetDocument()->Table().HasCellPattern());
    Action("editUndo")->trigger();
    EXPECT_FALSE(view->GetDocument()->Table().HasCellPattern());
    EXPECT_EQ(view->Document()->GetMaskMode(), MaskMode::None);
    Action("editRedo")->trigger();
    EXPECT_TRUE(view->GetDocument()->Table().HasCellPattern());
}

TEST_F(DocumentTest, AMissingRecentFileOpensNothingAndLeavesTheList) {
    const QString gone = out.filePath(QStringLiteral("gone.htm"));
    app->MainFrame()->AddRecentFile(gone);
    const int before = int(Area()->subWindowList().size());
    QAction* recent = Action("recentFile1");
    ASSERT_NE(recent, nullptr);
    ASSERT_EQ(recent->data().toString(), gone);
    recent->trigger();
    EXPECT_EQ(Area()->subWindowList().size(), before);
    EXPECT_FALSE(app->MainFrame()->RecentFiles().contains(gone));
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.last().contains(QStringLiteral("gone.htm")));
}

TEST_F(DocumentTest, AHugeGridTypedIsNotLoadedIntoThePreview) {
    CVelmoraView* view = View();
    const auto pro = TablePropertiesControls(view->GetTablePro());
    pro->rowsCombo->lineEdit()->selectAll();
    QTest::keyClicks(pro->rowsCombo->lineEdit(), QStringLiteral("100000"));
    view->FlushPendingWrite();
    EXPECT_EQ(view->GetDocument()->Table().GetRows(), 100000);
    // The page on its way (1000, 10000 rows) stopped at the last one a
    // browser can take.
    EXPECT_LT(QFileInfo(view->PageFile()).size(), 8 * 1024 * 1024);
    EXPECT_TRUE(app->MainFrame()->statusBar()->currentMessage().contains(QStringLiteral("MB")))
        << app->MainFrame()->statusBar()->currentMessage().toStdString();
    pro->rowsCombo->lineEdit()->selectAll();
    QTest::keyClicks(pro->rowsCombo->lineEdit(), QStringLiteral("2"));
    view->FlushPendingWrite();
    EXPECT_EQ(ReadAll(view->PageFile()).count("<tr>"), 3); // the outer row and two
}

TEST_F(DocumentTest, ALargePageSaysItsSizeUntilItIsSmallAgain) {
    CVelmoraView* view = View();
    auto* pane = app->MainFrame()->findChild<QLabel*>(QStringLiteral("pageSizePane"));
    ASSERT_NE(pane, nullptr);
    EXPECT_FALSE(pane->isVisible());
    view->Document()->ResizeTable({450, 200, 1, 400});
    view->FlushPendingWrite();
    ASSERT_GT(QFileInfo(view->PageFile()).size(), 1024 * 1024);
    EXPECT_TRUE(pane->isVisible());
    EXPECT_TRUE(pane->text().startsWith(QStringLiteral("Page size: ")))
        << pane->text().toStdString();
    // Menu prompts and "Ready" pass over the message area, not over it.
    app->MainFrame()->statusBar()->clearMessage();
    EXPECT_TRUE(pane->isVisible());
    Action("editUndo")->trigger();
    view->FlushPendingWrite();
    QTRY_VERIFY_WITH_TIMEOUT(!pane->isVisible(), 2000);
}

TEST_F(DocumentTest, MenusAndToolBarFollowTheDocumentsAfterCloseNewAndTile) {
    auto expectDocumentCommands = [this](bool shown, const char* when) {
        for (const char* name : {"fileSave", "copyAll", "editCopy"})
            EXPECT_EQ(Action(name)->isVisible(), shown) << name << ' ' << when;
        for (QAction* menu : app->MainFrame()->menuBar()->actions()) {
            const QString text = menu->text();
            if (text == QLatin1String("&Edit") || text == QLatin1String("&Window") ||
                text == QLatin1String("Animate Table")) {
                EXPECT_EQ(menu->isVisible(), shown) << text.toStdString() << ' ' << when;
            }
        }
    };
    Action("fileClose")->trigger();
    QTest::qWait(10);
    expectDocumentCommands(false, "after Close");
    Action("fileNew")->trigger();
    QTest::qWait(10);
    ASSERT_EQ(Area()->subWindowList().size(), 1);
    expectDocumentCommands(true, "after Close and New");
    // And the screen shows them: the window is still painted once a preview
    // came back into it.
    QMenuBar* bar = app->MainFrame()->menuBar();
    const QImage own = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage shown;
    for (int tries = 0; tries < 20 && shown != own; ++tries) {
        QTest::qWait(100);
        const QPoint at = bar->mapToGlobal(QPoint(0, 0));
        shown = bar->screen()
                    ->grabWindow(0, at.x(), at.y(), bar->width(), bar->height())
                    .toImage()
                    .convertToFormat(QImage::Format_RGB32);
    }
    EXPECT_EQ(shown, own) << "the menu bar on the screen is not the menu bar";
    app->OnFileNew();
    Action("windowTile")->trigger();
    QTest::qWait(10);
    expectDocumentCommands(true, "after Tile");
}

} // namespace
