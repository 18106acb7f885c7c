// The program as a whole: start-up, the preview set, Save, the clipboard and
// window activation, with the real embedded browser.
#include "app_fixture.h"
#include "core/page/html_table.h"
#include "file_contents.h"
#include "ui/shell/main_frame.h"
#include "ui/shell/table_pro.h"
#include "ui/shell/velmora_app.h"
#include "ui/shell/velmora_doc.h"
#include "ui/shell/velmora_settings.h"
#include "ui/shell/velmora_view.h"
#include "ui_table_pro.h"

#include "shell/dialog_input.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <gtest/gtest.h>

namespace {

struct AppTest : AppFixture {
    QTemporaryDir out;
};

TEST_F(AppTest, FirstDocumentWritesThePreviewSet) {
    CVelmoraView* view = View();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetDocument()->GetTitle(), QStringLiteral("Untitled1"));
    const QString page = install.filePath(QStringLiteral("Untitled1.htm"));
    EXPECT_EQ(view->PageFile(), page);
    EXPECT_EQ(ReadAll(page), CHtmlTable().ComposePage(page, QString()));
    EXPECT_EQ(ReadAll(install.filePath(QStringLiteral("Untitled1.gif"))),
              ReadAll(QStringLiteral(":/images/default.gif")));
    EXPECT_EQ(view->CellFile(), install.filePath(QStringLiteral("Untitled1-cell.gif")));
    TablePro* pro = view->GetTablePro();
    ASSERT_NE(pro, nullptr);
    EXPECT_TRUE(pro->isVisible());
    EXPECT_EQ(pro->frameGeometry().top(), app->MainFrame()->frameGeometry().top() + 150);
}

TEST_F(AppTest, SaveAsWritesTheSetAndRetitles) {
    CVelmoraView* view = View();
    int asked = 0;
    const QString chosen = out.filePath(QStringLiteral("shop"));
    CVelmoraView::SetSavePathChooser([&](QWidget*) {
        ++asked;
        return chosen;
    });
    TablePropertiesControls(view->GetTablePro())->widthEdit->setText(QStringLiteral("300"));
    ASSERT_TRUE(view->OnFileSave());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(view->GetDocument()->GetTitle(), QStringLiteral("shop"));
    const QByteArray page = ReadAll(out.filePath(QStringLiteral("shop.htm")));
    EXPECT_TRUE(page.contains("background=\"shop.gif\""));
    EXPECT_TRUE(page.contains("width=\"300\""));
    EXPECT_EQ(ReadAll(out.filePath(QStringLiteral("shop.gif"))), ReadAll(view->GifFile()));
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("shop-cell.gif"))));

    // A second Save asks nothing and writes the page again.
    TablePropertiesControls(view->GetTablePro())->widthEdit->setText(QStringLiteral("320"));
    ASSERT_TRUE(view->OnFileSave());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(ReadAll(out.filePath(QStringLiteral("shop.htm"))).contains("width=\"320\""));
    // The preview set keeps its name.
    EXPECT_EQ(view->PageFile(), install.filePath(QStringLiteral("Untitled1.htm")));
}

TEST_F(AppTest, SaveReportsWhatItCouldNotWrite) {
    CVelmoraView* view = View();
    const QString chosen = out.filePath(QStringLiteral("missing/shop.htm"));
    CVelmoraView::SetSavePathChooser([&](QWidget*) { return chosen; });
    EXPECT_FALSE(view->OnFileSaveAs());
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.first().startsWith(QStringLiteral("Cannot open ") +
                                            out.filePath(QStringLiteral("missing/shop.htm: "))))
        << messages.first().toStdString();
}

TEST_F(AppTest, ClipboardFileListsAndTableTag) {
    CVelmoraView* view = View();
    ASSERT_TRUE(view->OnCopyAll());
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QList<QUrl> urls = data->urls();
    ASSERT_EQ(urls.size(), 2);
    EXPECT_EQ(urls[0].toLocalFile(), view->PageFile());
    EXPECT_EQ(urls[1].toLocalFile(), view->GifFile());
    EXPECT_TRUE(data->hasFormat(QStringLiteral("x-special/gnome-copied-files")));

    ASSERT_TRUE(view->Document()->SetCellPattern(MaskMode::SeparateLayer,
                                                 std::make_shared<CellMask>(450, 200)));
    EXPECT_EQ(view->AllFilesList(),
              (QStringList{view->PageFile(), view->GifFile(), view->CellFile()}));
    EXPECT_EQ(view->CellPatternFileList(), QStringList{view->CellFile()});
    ASSERT_TRUE(view->Document()->SetCellPattern(MaskMode::None, nullptr));
    EXPECT_TRUE(view->CellPatternFileList().isEmpty());

    ASSERT_TRUE(view->OnCopyTableTag());
    const QByteArray page = ReadAll(view->PageFile());
    const QString tag = QApplication::clipboard()->text();
    const qsizetype a = page.indexOf("<table"), b = page.indexOf("/body");
    EXPECT_EQ(tag.toLatin1(), page.mid(a, b - 2 - a));
    EXPECT_TRUE(tag.startsWith(QStringLiteral("<table width=")));
    EXPECT_TRUE(tag.endsWith(QStringLiteral("</table>\r")));

    // The tag comes from the table, not from a file that may be gone.
    QFile::remove(view->PageFile());
    QApplication::clipboard()->clear();
    EXPECT_TRUE(view->OnCopyTableTag());
    EXPECT_EQ(QApplication::clipboard()->text(), tag);
}

TEST_F(AppTest, ActivationSwapsTablePropertiesWindows) {
    CVelmoraView* first = View();
    CVelmoraView* second = app->OnFileNew();
    EXPECT_EQ(second->GetDocument()->GetTitle(), QStringLiteral("Untitled2"));
    EXPECT_EQ(View(), second);
    EXPECT_TRUE(second->GetTablePro()->isVisible());
    EXPECT_FALSE(first->GetTablePro()->isVisible());
    app->MainFrame()->MdiArea()->setActiveSubWindow(
        qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_EQ(View(), first);
    EXPECT_TRUE(first->GetTablePro()->isVisible());
    EXPECT_FALSE(second->GetTablePro()->isVisible());
}

TEST_F(AppTest, ExitWritesThePlacement) {
    CMainFrame* frame = app->MainFrame();
    frame->showNormal();
    frame->setGeometry(120, 130, 640, 480);
    QTest::qWait(50);
    frame->SavePlacement();
    {
        auto settings = VelmoraSettings();
        EXPECT_EQ(settings->value(QStringLiteral("maximized")).toInt(), 0);
        EXPECT_EQ(settings->value(QStringLiteral("right")).toInt() -
                      settings->value(QStringLiteral("left")).toInt(),
                  frame->geometry().width());
        settings->remove(QStringLiteral("left"));
    }
    frame->showMaximized();
    frame->SavePlacement();
    auto settings = VelmoraSettings();
    EXPECT_EQ(settings->value(QStringLiteral("maximized")).toInt(), 1);
    EXPECT_FALSE(settings->contains(QStringLiteral("left"))); // only "maximized" written
}

TEST_F(AppTest, ThePreviewShowsTheColours) {
    CVelmoraView* view = View();
    const auto ui = TablePropertiesControls(view->GetTablePro());
    QSignalSpy loaded(view, &CVelmoraView::PreviewRefreshed);
    ui->cellColorBox->setCurrentIndex(4); // Lime
    Q_EMIT ui->cellColorBox->activated(4);
    ui->pageColorBox->setCurrentIndex(3); // Red
    Q_EMIT ui->pageColorBox->activated(3);
    app->MainFrame()->resize(900, 700);
    for (int i = 0; i < 100 && loaded.count() < 1; ++i)
        QTest::qWait(100);
    QTest::qWait(1500); // let the page paint
    const QImage shot = view->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    // The first cell sits a little inside the table's top left corner; far
    // to the right and below the table is the page.
    auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                   std::abs(qBlue(a) - qBlue(b)) <
               30;
    };
    const QRgb cell = shot.pixel(8 + 60, 8 + 40);
    const QRgb page = shot.pixel(shot.width() - 20, shot.height() - 20);
    EXPECT_TRUE(near(cell, qRgb(0, 255, 0))) << std::hex << cell;
    EXPECT_TRUE(near(page, qRgb(255, 0, 0))) << std::hex << page;
}

} // namespace

namespace {

TEST_F(AppTest, FailedSaveAsKeepsTheDocumentAsItWas) {
    CVelmoraView* view = View();
    CVelmoraView::SetSavePathChooser(
        [&](QWidget*) { return out.filePath(QStringLiteral("missing/shop.htm")); });
    EXPECT_FALSE(view->OnFileSaveAs());
    EXPECT_EQ(view->GetDocument()->GetTitle(), QStringLiteral("Untitled1"));
    EXPECT_TRUE(view->SavedPageFile().isEmpty());
    // The next Save still asks where to.
    int asked = 0;
    CVelmoraView::SetSavePathChooser([&](QWidget*) {
        ++asked;
        return out.filePath(QStringLiteral("shop"));
    });
    ASSERT_TRUE(view->OnFileSave());
    EXPECT_EQ(asked, 1);
}

TEST_F(AppTest, TableTagAfterSaveNamesTheSavedSet) {
    CVelmoraView* view = View();
    CVelmoraView::SetSavePathChooser(
        [&](QWidget*) { return out.filePath(QStringLiteral("shop")); });
    ASSERT_TRUE(view->OnFileSaveAs());
    ASSERT_TRUE(view->OnCopyTableTag());
    const QString tag = QApplication::clipboard()->text();
    EXPECT_TRUE(tag.contains(QStringLiteral("background=\"shop.gif\""))) << qPrintable(tag);
    EXPECT_FALSE(tag.contains(QStringLiteral("Untitled1")));
}

TEST_F(AppTest, DocumentsWithTheSameTitleKeepTheirOwnPreviewSets) {
    QDir().mkpath(out.filePath(QStringLiteral("a")));
    QDir().mkpath(out.filePath(QStringLiteral("b")));
    const QString a = out.filePath(QStringLiteral("a/index.htm"));
    const QString b = out.filePath(QStringLiteral("b/index.htm"));
    for (const QString& path : {a, b}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    CVelmoraView* first = app->OpenDocument(a);
    CVelmoraView* second = app->OpenDocument(b);
    CVelmoraView* again = app->OpenDocument(a);
    ASSERT_TRUE(first && second && again);
    EXPECT_EQ(first->GetDocument()->GetTitle(), second->GetDocument()->GetTitle());
    const QSet<QString> pages{first->PageFile(), second->PageFile(), again->PageFile()};
    const QSet<QString> gifs{first->GifFile(), second->GifFile(), again->GifFile()};
    EXPECT_EQ(pages.size(), 3);
    EXPECT_EQ(gifs.size(), 3);
    // An edit in one does not reach the page of another.
    TablePropertiesControls(first->GetTablePro())->widthEdit->setText(QStringLiteral("333"));
    EXPECT_TRUE(ReadAll(first->PageFile()).contains("width=\"333\""));
    EXPECT_FALSE(ReadAll(second->PageFile()).contains("width=\"333\""));
}

TEST_F(AppTest, PlacementSurvivesRestarts) {
    app->MainFrame()->showNormal();
    app->MainFrame()->setGeometry(140, 120, 700, 500);
    QTest::qWait(50);
    const QRect first = app->MainFrame()->geometry();
    for (int restart = 0; restart < 3; ++restart) {
        app->MainFrame()->close();
        app.reset();
        app = std::make_unique<CVelmoraApp>();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("velmora")}));
        QTest::qWait(50);
        EXPECT_EQ(app->MainFrame()->geometry(), first) << "restart " << restart + 1;
    }
}

TEST_F(AppTest, PlacementOffEveryScreenFallsBackToTheDefault) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const std::vector<std::array<qint64, 4>> cases = {
        {-5000, -5000, -4000, -4500},
        {100000, 100000, 100900, 100700},
        {-2147483647, 0, 2147483647, 600},
        {100, 100, 90, 50}, // right of left, bottom above top
    };
    for (const auto& c : cases) {
        app->MainFrame()->close();
        app.reset();
        {
            auto settings = VelmoraSettings();
            settings->setValue(QStringLiteral("left"), c[0]);
            settings->setValue(QStringLiteral("top"), c[1]);
            settings->setValue(QStringLiteral("right"), c[2]);
            settings->setValue(QStringLiteral("bottom"), c[3]);
            settings->setValue(QStringLiteral("maximized"), 0);
        }
        app = std::make_unique<CVelmoraApp>();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("velmora")}));
        QTest::qWait(20);
        const QRect g = app->MainFrame()->geometry();
        EXPECT_TRUE(screen.intersects(g)) << c[0] << "," << c[1];
        EXPECT_GE(g.width(), 100);
    }
}

TEST_F(AppTest, EmptyDirectorySettingIsTreatedAsMissing) {
    app->MainFrame()->close();
    app.reset();
    VelmoraSettings()->setValue(QStringLiteral("directory"), QString());
    app = std::make_unique<CVelmoraApp>();
    ASSERT_TRUE(app->InitInstance({QStringLiteral("velmora")}));
    const QString page = View()->PageFile();
    EXPECT_FALSE(page.startsWith(QDir::currentPath() + QStringLiteral("/Untitled")));
    EXPECT_TRUE(QDir::isAbsolutePath(page));
}

// A "directory" setting that names no usable folder would leave every
// preview unwritable: the per-user folder serves instead, and the user is
// told why.
TEST_F(AppTest, UnusableDirectorySettingFallsBackToThePerUserFolder) {
    const QString aFile = out.filePath(QStringLiteral("a-file"));
    ASSERT_TRUE(QFile(aFile).open(QIODevice::WriteOnly));
    const QString locked = out.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::Permissions());
    QStringList settings{out.filePath(QStringLiteral("missing/")), aFile + QLatin1Char('/')};
    // Root reads and writes any folder: the locked one is usable then.
    if (!QFileInfo(locked).isReadable())
        settings << locked + QLatin1Char('/');
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    for (const QString& setting : settings) {
        SCOPED_TRACE(setting.toStdString());
        app->MainFrame()->close();
        app.reset();
        messages.clear();
        VelmoraSettings()->setValue(QStringLiteral("directory"), setting);
        app = std::make_unique<CVelmoraApp>();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("velmora")}));
        QTest::qWait(20);
        const QString page = View()->PageFile();
        EXPECT_TRUE(page.startsWith(perUser + QLatin1Char('/'))) << page.toStdString();
        EXPECT_TRUE(QFileInfo(page).isFile());
        EXPECT_TRUE(QFileInfo(View()->GifFile()).size() > 0);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains(QDir::toNativeSeparators(setting)));
        EXPECT_TRUE(messages[0].contains(QDir::toNativeSeparators(perUser)));
    }
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(AppTest, TablePropertiesCannotBeLost) {
    CVelmoraView* view = View();
    TablePro* pro = view->GetTablePro();
    QTest::qWait(20);
    ASSERT_TRUE(pro->isVisible());
    QAction* toggle = app->MainFrame()->Action(QStringLiteral("viewTableProperties"));
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_FALSE(toggle->shortcut().isEmpty());

    // Enter in an edit applies and keeps the window.
    QLineEdit* width = TablePropertiesControls(pro)->widthEdit;
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("310"));
    QTest::keyClick(width, Qt::Key_Return);
    EXPECT_TRUE(pro->isVisible());
    EXPECT_EQ(pro->Table().GetWidth(), 310);

    // Escape puts it away; the command brings it back, and says so.
    QTest::keyClick(pro, Qt::Key_Escape);
    EXPECT_FALSE(pro->isVisible());
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(pro->isVisible());
    EXPECT_TRUE(toggle->isChecked());
    pro->close(); // the title bar's close button
    EXPECT_FALSE(pro->isVisible());
    toggle->trigger();
    EXPECT_TRUE(pro->isVisible());
}

TEST_F(AppTest, ExitClosesTheHelpWindow) {
    QDir().mkpath(install.filePath(QStringLiteral("help")));
    {
        QFile f(install.filePath(QStringLiteral("help/index.html")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><body>help</body></html>");
    }
    app->MainFrame()->Action(QStringLiteral("helpContents"))->trigger();
    QWidget* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QStringLiteral("Velmora Help") && w->isVisible())
            help = w;
    ASSERT_NE(help, nullptr);
    QPointer<QWidget> watched = help;
    app->MainFrame()->Action(QStringLiteral("appExit"))->trigger();
    EXPECT_TRUE(!watched || !watched->isVisible());
}

TEST_F(AppTest, StatusBarReturnsToReady) {
    QStatusBar* bar = app->MainFrame()->statusBar();
    bar->showMessage(QStringLiteral("Create a new document"));
    bar->clearMessage();
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("Ready"));
}

} // namespace
