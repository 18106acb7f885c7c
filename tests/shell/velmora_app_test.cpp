// The program as a whole: start-up, the preview set, Save, the clipboard and
// window activation, with the real embedded browser.
#include "app_fixture.h"
#include "page/html_table.h"
#include "shell/main_frame.h"
#include "shell/table_pro.h"
#include "shell/velmora_app.h"
#include "shell/velmora_doc.h"
#include "shell/velmora_settings.h"
#include "shell/velmora_view.h"
#include "ui_table_pro.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

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
    view->GetTablePro()->Controls()->widthEdit->setText(QStringLiteral("300"));
    ASSERT_TRUE(view->OnFileSave());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(view->GetDocument()->GetTitle(), QStringLiteral("shop"));
    const QByteArray page = ReadAll(out.filePath(QStringLiteral("shop.htm")));
    EXPECT_TRUE(page.contains("background=\"shop.gif\""));
    EXPECT_TRUE(page.contains("width=\"300\""));
    EXPECT_EQ(ReadAll(out.filePath(QStringLiteral("shop.gif"))), ReadAll(view->GifFile()));
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("shop-cell.gif"))));

    // A second Save asks nothing and writes the page again.
    view->GetTablePro()->Controls()->widthEdit->setText(QStringLiteral("320"));
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
    EXPECT_EQ(messages.first(),
              QStringLiteral("Cannot open ") + out.filePath(QStringLiteral("missing/shop.htm")));
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

    view->GetTablePro()->Table()->SetCellPattern(true);
    EXPECT_EQ(view->AllFilesList(),
              (QStringList{view->PageFile(), view->GifFile(), view->CellFile()}));
    EXPECT_EQ(view->CellPatternFileList(), QStringList{view->CellFile()});
    view->GetTablePro()->Table()->SetCellPattern(false);
    EXPECT_TRUE(view->CellPatternFileList().isEmpty());

    ASSERT_TRUE(view->OnCopyTableTag());
    const QByteArray page = ReadAll(view->PageFile());
    const QString tag = QApplication::clipboard()->text();
    const qsizetype a = page.indexOf("<table"), b = page.indexOf("/body");
    EXPECT_EQ(tag.toLatin1(), page.mid(a, b - 2 - a));
    EXPECT_TRUE(tag.startsWith(QStringLiteral("<table width=")));
    EXPECT_TRUE(tag.endsWith(QStringLiteral("</table>\r")));

    QFile::remove(view->PageFile());
    EXPECT_FALSE(view->OnCopyTableTag());
    EXPECT_EQ(messages.last(), view->PageFile() + QStringLiteral(" was not found."));
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
                  frame->frameGeometry().width());
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
    Ui::TablePro* ui = view->GetTablePro()->Controls();
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
    first->GetTablePro()->Controls()->widthEdit->setText(QStringLiteral("333"));
    EXPECT_TRUE(ReadAll(first->PageFile()).contains("width=\"333\""));
    EXPECT_FALSE(ReadAll(second->PageFile()).contains("width=\"333\""));
}

} // namespace
