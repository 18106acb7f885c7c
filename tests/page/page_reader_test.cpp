// Pages read back: every variant ComposePage writes gives its values back,
// and anything else is refused rather than half-read.
#include "core/page/page_reader.h"

#include "core/base/atomic_write.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/picture_loader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct Variant {
    bool showCells;
    bool cellLayer;
    QString image;
};

TEST(PageReader, EveryVariantReadsBack) {
    const Variant variants[] = {
        {true, false, QString()},
        {true, true, QString()},
        {false, false, QString()},
        {false, true, QStringLiteral("other")},
        {true, true, QStringLiteral("a \"b\"#%?ü€")},
    };
    for (PageStyle style : {PageStyle::Classic, PageStyle::Modern})
        for (const Variant& v : variants) {
            SCOPED_TRACE(v.image.toStdString() + (v.showCells ? " cells" : " hidden") +
                         (v.cellLayer ? " layer " : " ") + PageStyleName(style).toStdString());
            CHtmlTable t;
            t.SetPageStyle(style);
            t.SetWidth(321);
            t.SetHeight(123);
            t.SetBorder(7);
            t.SetRows(4);
            t.SetColumns(9);
            t.SetCellColor(MakeColorRef(1, 2, 3));
            t.SetPageColor(MakeColorRef(250, 128, 9));
            t.SetShowCells(v.showCells);
            t.SetCellPattern(v.cellLayer);
            const QByteArray bytes = t.ComposePage(QStringLiteral("C:\\x\\mine.htm"), v.image);
            const std::optional<PageContents> page = ParsePage(bytes);
            ASSERT_TRUE(page.has_value());
            EXPECT_EQ(page->table.GetWidth(), 321);
            EXPECT_EQ(page->table.GetHeight(), 123);
            EXPECT_EQ(page->table.GetCellColor(), MakeColorRef(1, 2, 3));
            EXPECT_EQ(page->pageColor, MakeColorRef(250, 128, 9));
            EXPECT_EQ(page->showCells, v.showCells);
            EXPECT_EQ(page->table.HasCellPattern(), v.cellLayer);
            EXPECT_EQ(page->table.GetPageStyle(), style);
            const QString base = v.image.isEmpty() ? QStringLiteral("mine") : v.image;
            EXPECT_EQ(page->imageBase, base);
            EXPECT_EQ(page->animationName, base + QStringLiteral(".gif"));
            EXPECT_EQ(page->cellPatternName, base + QStringLiteral("-cell.gif"));
            if (v.showCells) {
                EXPECT_EQ(page->table.GetBorder(), 7);
                EXPECT_EQ(page->table.GetRows(), 4);
                EXPECT_EQ(page->table.GetColumns(), 9);
            }
            EXPECT_EQ(page->table.ComposePage(QStringLiteral("y.htm"), page->imageBase), bytes);
        }
}

TEST(PageReader, OneByOneGridAndLargeGridReadBack) {
    for (const auto& [rows, columns] : {std::pair{1, 1}, std::pair{300, 2}, std::pair{2, 500}}) {
        CHtmlTable t;
        t.SetRows(rows);
        t.SetColumns(columns);
        const auto page = ParsePage(t.ComposePage(QStringLiteral("p.htm"), QString()));
        ASSERT_TRUE(page.has_value());
        EXPECT_EQ(page->table.GetRows(), rows);
        EXPECT_EQ(page->table.GetColumns(), columns);
    }
}

TEST(PageReader, PagesWeDidNotWriteAreRefused) {
    CHtmlTable t;
    const QByteArray ours = t.ComposePage(QStringLiteral("p.htm"), QString());
    ASSERT_TRUE(ParsePage(ours).has_value());
    // Images outside the page's folder: our pages name only files beside
    // them, so such a page is not read, nor are its images.
    const QByteArray outside = t.ComposePage(QStringLiteral("p.htm"), QStringLiteral("../h/bomb"));
    const QByteArray outsideBack =
        t.ComposePage(QStringLiteral("p.htm"), QStringLiteral("..\\h\\bomb"));
    QByteArray encoded = ours;
    encoded.replace("background=\"p.gif\"", "background=\"..%2Fp.gif\"");
    for (const QByteArray& page : {outside, outsideBack, encoded})
        EXPECT_FALSE(ParsePage(page).has_value()) << page.mid(400, 200).toStdString();
    QByteArray edited = ours;
    edited.replace("&nbsp;", "hello");
    QByteArray lf = ours;
    lf.replace("\r\n", "\n");
    QByteArray extraRow = ours;
    extraRow.replace("</tr><tr>", "</tr><tr>\r\n<td bgcolor=\"#ffffff\">&nbsp;</td>\r\n</tr><tr>");
    QByteArray unevenRow = ours;
    unevenRow.replace("</tr>\r\n</table>",
                      "<td bgcolor=\"#ffffff\">&nbsp;</td>\r\n</tr>\r\n</table>");
    for (const QByteArray& foreign :
         {QByteArray(), QByteArray("<html><body>hi</body></html>"), edited, lf, extraRow, unevenRow,
          ours.left(ours.size() - 3), ours + "\r\n"})
        EXPECT_FALSE(ParsePage(foreign).has_value()) << foreign.left(60).toStdString();
}

TEST(PageReader, ReadPageReportsFilesItCannotOpen) {
    QTemporaryDir dir;
    std::optional<PageContents> page;
    EXPECT_FALSE(ReadPage(dir.filePath(QStringLiteral("none.htm")), &page).ok());
    const QString path = dir.filePath(QStringLiteral("a.htm"));
    CHtmlTable t;
    t.SetRows(5);
    ASSERT_EQ(t.WritePage(path, QString()), 1);
    ASSERT_TRUE(ReadPage(path, &page).ok());
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->table.GetRows(), 5);
    EXPECT_EQ(page->animationName, QStringLiteral("a.gif"));
}

// Every core function that reads a file the user or a page names refuses
// what is not a regular file before reading a byte: a FIFO would block the
// desktop program's Open or Browse for good, a device would never end.
TEST(PageReader, InputsThatAreNotFilesAreRefusedAtOnce) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.htm"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Should a read block after all, a writer that comes and goes ends it,
    // so the test fails rather than hangs.
    std::atomic<bool> done{false};
    std::thread unblock([&] {
        for (int i = 0; i < 100 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        while (!done) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const QString target = dir.filePath(QStringLiteral("copy.gif"));
    const auto started = std::chrono::steady_clock::now();
    for (const QString& path : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
        SCOPED_TRACE(path.toStdString());
        std::optional<PageContents> page;
        GifAnimation gif;
        QImage picture;
        const Status results[] = {
            ReadPage(path, &page),
            ReadGif(path, &gif),
            ReadGifOutline(path, &gif),
            LoadPicture(path, &picture, PictureFormats::AnyReadable),
            CopyFileAtomically(path, target),
        };
        for (const Status& s : results) {
            ASSERT_FALSE(s);
            EXPECT_TRUE(s.message().startsWith(QStringLiteral("Cannot open ") + path + ": it is"))
                << s.message().toStdString();
        }
    }
    const bool quick = std::chrono::steady_clock::now() - started < std::chrono::seconds(5);
    done = true;
    unblock.join();
    EXPECT_TRUE(quick) << "a read waited for a writer";
    EXPECT_FALSE(QFile::exists(target));
}

} // namespace
