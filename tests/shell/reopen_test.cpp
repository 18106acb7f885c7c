// Reopening a saved page: the table, its GIF and the animation come back,
// a page Velmora did not write starts a new table and says so, and Save As
// over an existing set asks once, naming every file.
#include "app_fixture.h"
#include "core/animation/animation_renderer.h"
#include "core/animation/animation_save.h"
#include "core/animation/renderer_parameters.h"
#include "core/animation/webp_save.h"
#include "core/base/version.h"
#include "core/imaging/gif_writer.h"
#include "core/imaging/webp_reader.h"
#include "file_contents.h"
#include "ui/animation/animation_dialog.h"
#include "ui/animation/anm_type.h"
#include "ui/controls/color_box.h"
#include "ui/shell/table_pro.h"
#include "ui/shell/velmora_doc.h"
#include "ui/shell/velmora_settings.h"
#include "ui_table_pro.h"

#include "shell/dialog_input.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QStatusBar>

#include <sys/stat.h>

namespace {

struct ReopenTest : AppFixture {
    QTemporaryDir out;
};

TEST_F(ReopenTest, SavedTableComesBackWithItsAnimation) {
    CVelmoraView* view = View();
    const auto c = TablePropertiesControls(view->GetTablePro());
    c->widthEdit->setText(QStringLiteral("333"));
    c->heightEdit->setText(QStringLiteral("144"));
    VelmoraDocument* doc = view->Document();
    doc->EditTable(TableField::Rows, 4);
    doc->EditTable(TableField::Columns, 7);
    doc->EditTable(TableField::Border, 9);
    doc->EditTable(TableField::CellColor, int(MakeColorRef(12, 34, 56)));
    doc->EditTable(TableField::PageColor, int(MakeColorRef(255, 0, 0)));
    doc->EditTable(TableField::ShowCells, 1);
    // The animation the preview shows, saved with its record.
    AnimationRenderer* r = view->GetDocument()->Model().CreateRenderer(1);
    ASSERT_NE(r, nullptr);
    for (const RendererParameter& p : RendererParameters(QStringLiteral("moving-stripes")))
        if (p.name == QLatin1String("speed"))
            p.set(*r, 77);
    r->SetFrameWidth(30);
    r->SetFrameHeight(20);
    ASSERT_TRUE(SaveAnimation(*r).ok());
    const QByteArray gif = ReadAll(view->GifFile());
    CVelmoraView::SetSavePathChooser(
        [&](QWidget*) { return out.filePath(QStringLiteral("shop")); });
    ASSERT_TRUE(view->OnFileSaveAs());
    EXPECT_TRUE(questions.isEmpty()); // nothing was there to replace

    CVelmoraView* reopened = app->OpenDocument(out.filePath(QStringLiteral("shop.htm")));
    ASSERT_NE(reopened, nullptr);
    ASSERT_NE(reopened, view);
    const CHtmlTable& back = reopened->GetDocument()->Table();
    EXPECT_EQ(back.GetWidth(), 333);
    EXPECT_EQ(back.GetHeight(), 144);
    EXPECT_EQ(back.GetRows(), 4);
    EXPECT_EQ(back.GetColumns(), 7);
    EXPECT_EQ(back.GetBorder(), 9);
    EXPECT_EQ(back.GetCellColor(), MakeColorRef(12, 34, 56));
    EXPECT_EQ(back.GetPageColor(), MakeColorRef(255, 0, 0));
    // Table Properties shows them.
    const auto rc = TablePropertiesControls(reopened->GetTablePro());
    EXPECT_EQ(rc->widthEdit->text(), QStringLiteral("333"));
    EXPECT_EQ(rc->heightEdit->text(), QStringLiteral("144"));
    EXPECT_EQ(rc->rowsCombo->currentText(), QStringLiteral("4"));
    EXPECT_EQ(rc->columnsCombo->currentText(), QStringLiteral("7"));
    EXPECT_EQ(rc->borderCombo->currentText(), QStringLiteral("9"));
    EXPECT_EQ(rc->cellColorBox->ItemColor(rc->cellColorBox->currentIndex()),
              MakeColorRef(12, 34, 56));
    EXPECT_TRUE(rc->showCellsCheck->isChecked());
    // The preview shows the saved GIF and the page as it was saved.
    EXPECT_EQ(ReadAll(reopened->GifFile()), gif);
    EXPECT_EQ(ReadAll(reopened->PageFile()), back.ComposePage(reopened->PageFile(), QString()));
    // The animation is the document's again, with its values.
    AnimationRenderer* restored = reopened->GetDocument()->Model().Renderer(1);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(reopened->GetDocument()->Model().AnimationType(), 1);
    EXPECT_EQ(restored->GetFrameWidth(), 30);
    for (const RendererParameter& p : RendererParameters(QStringLiteral("moving-stripes")))
        if (p.name == QLatin1String("speed")) {
            EXPECT_EQ(p.get(*restored), 77);
        }
    EXPECT_FALSE(app->MainFrame()->statusBar()->currentMessage().contains("not made"));
    // It knows which version saved it.
    EXPECT_EQ(reopened->SavedByVersion(), VelmoraVersion());
    EXPECT_TRUE(app->MainFrame()->statusBar()->currentMessage().contains(
        QStringLiteral("saved by Velmora %1").arg(VelmoraVersion())));
}

TEST_F(ReopenTest, ForeignPageStartsANewTableAndSaysSo) {
    const QString path = out.filePath(QStringLiteral("other.htm"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><body><table width=\"10\"></table></body></html>");
    f.close();
    CVelmoraView* view = app->OpenDocument(path);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetDocument()->Table().GetWidth(), 450);
    EXPECT_EQ(app->MainFrame()->statusBar()->currentMessage(),
              QStringLiteral("This page was not made by Velmora: a new table was started."));
    EXPECT_EQ(ReadAll(path), QByteArray("<html><body><table width=\"10\"></table></body></html>"));
}

// A page that never ends, that is not a file, or a huge file of zeros, given
// on the command line or through File > Open: the program read it whole
// and aborted. Each starts a new table, and what is no file says why.
TEST_F(ReopenTest, EndlessNonFileAndHugeInputsStartANewTable) {
    const QString fifo = out.filePath(QStringLiteral("pipe.htm"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zeros = out.filePath(QStringLiteral("zeros.htm"));
    {
        QFile f(zeros);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (!f.resize(qint64(3) << 30))
            GTEST_SKIP() << "no sparse files here";
    }
    const struct {
        QString path;
        const char* says; // in the message; none: the status bar's note
    } cases[] = {{QStringLiteral("/dev/zero"), "device"},
                 {fifo, "FIFO"},
                 {out.path(), "folder"},
                 {zeros, nullptr}};
    for (const auto& c : cases) {
        messages.clear();
        CVelmoraView* view = app->OpenDocument(c.path);
        ASSERT_NE(view, nullptr) << c.path.toStdString();
        EXPECT_EQ(view->GetDocument()->Table().GetWidth(), 450);
        if (c.says) {
            ASSERT_EQ(messages.size(), 1) << c.path.toStdString();
            EXPECT_TRUE(messages[0].contains(QLatin1String(c.says))) << messages[0].toStdString();
        } else {
            EXPECT_TRUE(messages.isEmpty());
            EXPECT_EQ(
                app->MainFrame()->statusBar()->currentMessage(),
                QStringLiteral("This page was not made by Velmora: a new table was started."));
        }
    }
}

TEST_F(ReopenTest, SaveAsOverAnExistingSetAsksOnceNamingEveryFile) {
    CVelmoraView* view = View();
    ASSERT_TRUE(view->Document()->SetCellPattern(MaskMode::SeparateLayer,
                                                 std::make_shared<CellMask>(450, 200)));
    QFile::copy(view->GifFile(), view->CellFile());
    const QString base = out.filePath(QStringLiteral("shop"));
    CVelmoraView::SetSavePathChooser([&](QWidget*) { return base; });
    ASSERT_TRUE(view->OnFileSaveAs());
    ASSERT_TRUE(questions.isEmpty());
    const QByteArray page = ReadAll(base + QStringLiteral(".htm"));

    TablePropertiesControls(view->GetTablePro())->widthEdit->setText(QStringLiteral("321"));
    answer = false;
    EXPECT_FALSE(view->OnFileSaveAs());
    ASSERT_EQ(questions.size(), 1);
    for (const char* suffix : {".htm", ".gif", "-cell.gif"})
        EXPECT_TRUE(questions[0].contains(base + QLatin1String(suffix))) << suffix;
    EXPECT_EQ(ReadAll(base + QStringLiteral(".htm")), page); // declined: untouched

    answer = true;
    EXPECT_TRUE(view->OnFileSaveAs());
    EXPECT_EQ(questions.size(), 2);
    EXPECT_TRUE(ReadAll(base + QStringLiteral(".htm")).contains("width=\"321\""));
}

TEST_F(ReopenTest, AnimationWindowOpensWithTheSavedValuesAndRepeatsTheSave) {
    CVelmoraView* view = View();
    AnimationRenderer* r = view->GetDocument()->Model().CreateRenderer(5); // Blinking Clouds
    ASSERT_NE(r, nullptr);
    r->SetFrameWidth(40);
    r->SetFrameHeight(30);
    for (const RendererParameter& p : RendererParameters(QStringLiteral("blinking-clouds")))
        if (p.name == QLatin1String("colors"))
            p.set(*r, 4);
    r->SetFixedSeed(99);
    ASSERT_TRUE(SaveAnimation(*r).ok());
    const QByteArray gif = ReadAll(view->GifFile());
    CVelmoraView::SetSavePathChooser([&](QWidget*) { return out.filePath(QStringLiteral("sky")); });
    ASSERT_TRUE(view->OnFileSaveAs());

    CVelmoraView* reopened = app->OpenDocument(out.filePath(QStringLiteral("sky.htm")));
    ASSERT_NE(reopened, nullptr);
    AnmType::SetTestHook([] { return 3; }); // the chooser's Blinking Clouds
    reopened->OnAnimateTable();
    AnmType::SetTestHook(nullptr);
    AnimationDialog* dialog = nullptr;
    for (AnimationDialog* d : app->MainFrame()->findChildren<AnimationDialog*>())
        if (d->Renderer() == reopened->GetDocument()->Model().Renderer(5))
            dialog = d;
    ASSERT_NE(dialog, nullptr);
    auto* width = dialog->findChild<QLineEdit*>(QStringLiteral("widthEdit"));
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(width->text(), QStringLiteral("40"));
    auto* colors = dialog->findChild<QComboBox*>(QStringLiteral("numberOfColorsCombo"));
    ASSERT_NE(colors, nullptr);
    EXPECT_EQ(colors->currentText(), QStringLiteral("4"));
    auto* same = dialog->findChild<QCheckBox*>(QStringLiteral("sameSeedCheck"));
    ASSERT_NE(same, nullptr);
    EXPECT_TRUE(same->isChecked());
    // Saving from the window's renderer repeats the saved GIF exactly.
    AnimationRenderer* restored = dialog->Renderer();
    ASSERT_TRUE(SaveAnimation(*restored).ok());
    EXPECT_EQ(ReadAll(reopened->GifFile()), gif);
    dialog->close();
}

} // namespace

namespace {

// "Also save WebP" writes the full-colour WebP beside the preview GIF (and
// is remembered); a modern page chosen in Table Properties carries its WebP
// into the saved set, is reopened as modern, and a GIF-only save drops the
// preview's stale WebP so the next set makes a fresh one from the GIF.
TEST_F(ReopenTest, WebpTravelsWithAModernPageSet) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 1; });
    view->OnAnimateTable();
    AnimationDialog* window = view->AnimationWindow(1);
    ASSERT_NE(window, nullptr);
    auto* webpCheck = window->findChild<QCheckBox*>(QStringLiteral("webpCheck"));
    ASSERT_NE(webpCheck, nullptr);
    EXPECT_TRUE(webpCheck->isVisibleTo(window));
    webpCheck->setChecked(true);
    EXPECT_EQ(VelmoraSettings()->value(QStringLiteral("saveWebp")).toInt(), 1);
    ASSERT_TRUE(window->RunSave([](AnimationRenderer& r) { r.PrepareSave(); }).ok());
    const QString previewWebp = WebpPathFor(view->GifFile());
    WebpAnimation webp;
    ASSERT_TRUE(ReadWebp(previewWebp, &webp, false).ok());
    EXPECT_TRUE(webp.record.startsWith("type=moving-stripes"));
    // The message tells both files' sizes.
    ASSERT_FALSE(messages.isEmpty());
    const qint64 webpBytes = QFileInfo(previewWebp).size();
    const QString webpSize = webpBytes < 1024
                                 ? QStringLiteral("%1 bytes").arg(webpBytes)
                                 : QStringLiteral("%1 KB").arg((webpBytes + 512) / 1024);
    EXPECT_TRUE(
        messages.last().contains(QStringLiteral("\nWebP: ") + webpSize + QStringLiteral(",")))
        << messages.last().toStdString();

    auto* modern = view->GetTablePro()->findChild<QCheckBox*>(QStringLiteral("modernPageCheck"));
    ASSERT_NE(modern, nullptr);
    modern->click();
    EXPECT_EQ(view->Document()->Table().GetPageStyle(), PageStyle::Modern);
    EXPECT_EQ(VelmoraSettings()->value(QStringLiteral("pageStyle")).toString(),
              QStringLiteral("modern"));
    CVelmoraView::SetSavePathChooser(
        [&](QWidget*) { return out.filePath(QStringLiteral("shop")); });
    ASSERT_TRUE(view->OnFileSaveAs());
    EXPECT_EQ(ReadAll(out.filePath(QStringLiteral("shop.webp"))), ReadAll(previewWebp));
    EXPECT_TRUE(ReadAll(out.filePath(QStringLiteral("shop.htm"))).contains("url(\"shop.webp\")"));
    CVelmoraView* reopened = app->OpenDocument(out.filePath(QStringLiteral("shop.htm")));
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->GetDocument()->Table().GetPageStyle(), PageStyle::Modern);

    // Without the WebP the preview's old one goes; a modern set then gets
    // one made from the new GIF.
    webpCheck->setChecked(false);
    ASSERT_TRUE(window
                    ->RunSave([](AnimationRenderer& r) {
                        r.SetFrameWidth(40);
                        r.PrepareSave();
                    })
                    .ok());
    EXPECT_FALSE(QFile::exists(previewWebp));
    ASSERT_TRUE(view->OnFileSaveAs());
    ASSERT_TRUE(ReadWebp(out.filePath(QStringLiteral("shop.webp")), &webp, false).ok());
    EXPECT_EQ(webp.width, 40);

    // Reopened, the modern set's WebP comes into the working set, and a GIF
    // that lost its record (rewritten by another tool) leaves the WebP's.
    QDir(out.path()).mkdir(QStringLiteral("again"));
    for (const char* name : {"shop.htm", "shop.webp"})
        ASSERT_TRUE(QFile::copy(out.filePath(QLatin1String(name)),
                                out.filePath(QStringLiteral("again/") + QLatin1String(name))));
    const QString bare = out.filePath(QStringLiteral("again/shop.gif"));
    ASSERT_TRUE(SaveCellMaskGif(bare, CellMask(40, 10), MakeColorRef(1, 2, 3)).ok());
    CVelmoraView* fromWebp = app->OpenDocument(out.filePath(QStringLiteral("again/shop.htm")));
    ASSERT_NE(fromWebp, nullptr);
    EXPECT_EQ(ReadAll(WebpPathFor(fromWebp->GifFile())), ReadAll(out.filePath("again/shop.webp")));
    AnimationRenderer* restored = fromWebp->GetDocument()->Model().Renderer(1);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->GetFrameWidth(), 40);
    AnmType::SetTestHook(nullptr);
}

} // namespace
