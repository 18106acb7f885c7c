#include "core/page/html_table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace {

// The page of a fresh record, line by line (each line is followed by CR LF).
const char* const kDefaultPage[] = {
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"",
    "\"http://www.w3.org/TR/html4/loose.dtd\">",
    "<html>",
    "<head>",
    "<title>Velmora</title>",
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">",
    "<style type=\"text/css\">",
    "<!--",
    "body {",
    "\tbackground-color: #ffffff;",
    "}",
    "-->",
    "</style>",
    "</head>",
    "<body>",
    // One line of the page, split to fit here.
    ("<table width=\"450\" height=\"200\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\" "
     "background=\"Untitled1.gif\" bgcolor=\"#ffffff\">"),
    "<tr>",
    "<td><table width=\"450\" height=\"200\" border=\"0\" cellpadding=\"0\" cellspacing=\"5\">",
    "<tr>",
    "<td bgcolor=\"#ffffff\">&nbsp;</td>",
    "<td bgcolor=\"#ffffff\">&nbsp;</td>",
    "<td bgcolor=\"#ffffff\">&nbsp;</td>",
    "</tr><tr>",
    "<td bgcolor=\"#ffffff\">&nbsp;</td>",
    "<td bgcolor=\"#ffffff\">&nbsp;</td>",
    "<td bgcolor=\"#ffffff\">&nbsp;</td>",
    "</tr>",
    "</table>",
    "</td>",
    "</tr>",
    "</table>",
    "</body>",
    "</html>",
};

QByteArray Join(const QList<QByteArray>& lines) {
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

QList<QByteArray> DefaultLines() {
    QList<QByteArray> lines;
    for (const char* line : kDefaultPage)
        lines << QByteArray(line);
    return lines;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

TEST(HtmlTableSetters, ClampAsTheDialogRelies) {
    CHtmlTable t;
    t.SetWidth(0);
    EXPECT_EQ(t.GetWidth(), 2);
    t.SetWidth(-7);
    EXPECT_EQ(t.GetWidth(), 2);
    t.SetHeight(1);
    EXPECT_EQ(t.GetHeight(), 2);
    t.SetRows(0);
    EXPECT_EQ(t.GetRows(), 1);
    t.SetColumns(-3);
    EXPECT_EQ(t.GetColumns(), 1);
    t.SetWidth(100000);
    EXPECT_EQ(t.GetWidth(), 100000); // no upper bound
}

TEST(HtmlTableSetters, BorderUsesTheSizeCurrentAtTheCall) {
    CHtmlTable t; // 450 x 200
    t.SetBorder(30);
    EXPECT_EQ(t.GetBorder(), 30);
    t.SetBorder(150);
    EXPECT_EQ(t.GetBorder(), 100);
    t.SetBorder(0);
    EXPECT_EQ(t.GetBorder(), 1);
    t.SetBorder(-5);
    EXPECT_EQ(t.GetBorder(), 1);

    t.SetHeight(3);
    t.SetBorder(5);
    EXPECT_EQ(t.GetBorder(), 1); // 3 / 2 = 1

    t.SetHeight(200);
    t.SetBorder(30);
    t.SetHeight(20);
    EXPECT_EQ(t.GetBorder(), 30); // not re-clamped until set again
    t.SetBorder(30);
    EXPECT_EQ(t.GetBorder(), 10);
}

TEST(HtmlTablePage, DefaultPageByteForByte) {
    CHtmlTable t;
    const QByteArray page = t.ComposePage(QStringLiteral("C:\\app\\Untitled1.htm"), QString());
    EXPECT_EQ(page, Join(DefaultLines()));
    EXPECT_EQ(page.count("\r\n"), 33);
    EXPECT_EQ(page.count('\n'), 33); // no bare line feeds
}

TEST(HtmlTablePage, HiddenCellsLeaveAnEmptyCell) {
    CHtmlTable t;
    t.SetShowCells(false);
    QList<QByteArray> lines = DefaultLines();
    lines[17] = "<td></td>";
    lines.remove(18, 11); // lines 19 to 28 go, and line 29 joins line 18
    EXPECT_EQ(t.ComposePage(QStringLiteral("/pages/Untitled1.htm"), QString()), Join(lines));
}

TEST(HtmlTablePage, CellPatternLayerWrapsTheGrid) {
    CHtmlTable t;
    t.SetCellPattern(true);
    QList<QByteArray> expected = DefaultLines().mid(0, 17);
    expected << "<td>"
             << "<table width=\"450\" height=\"200\" border=\"0\" cellpadding=\"0\" "
                "cellspacing=\"0\" background=\"Untitled1-cell.gif\">"
             << "<tr>"
             << "<td>";
    expected
        << "<table width=\"450\" height=\"200\" border=\"0\" cellpadding=\"0\" cellspacing=\"5\">";
    expected << DefaultLines().mid(18, 10);
    expected << "</td>"
             << "</tr>"
             << "</table>"
             << "</td>"
             << "</tr>"
             << "</table>"
             << "</body>"
             << "</html>";
    EXPECT_EQ(t.ComposePage(QStringLiteral("C:\\app\\Untitled1.htm"), QString()), Join(expected));

    t.SetShowCells(false);
    const QByteArray hidden = t.ComposePage(QStringLiteral("C:\\app\\Untitled1.htm"), QString());
    EXPECT_TRUE(hidden.contains(
        "Untitled1-cell.gif\">\r\n<tr>\r\n<td>\r\n</td>\r\n</tr>\r\n</table>\r\n</td>"));
    EXPECT_FALSE(hidden.contains("cellspacing=\"5\""));
}

TEST(HtmlTablePage, ColoursSizesAndGrid) {
    CHtmlTable t;
    t.SetPageColor(0x00010203);
    t.SetCellColor(MakeColorRef(0xff, 0, 0));
    t.SetWidth(640);
    t.SetHeight(48);
    t.SetBorder(30); // 48 / 2 = 24
    t.SetRows(1);
    t.SetColumns(2);
    const QByteArray page = t.ComposePage(QStringLiteral("x.htm"), QStringLiteral("shop"));
    EXPECT_TRUE(page.contains("\tbackground-color: #030201;\r\n"));
    EXPECT_TRUE(page.contains("<table width=\"640\" height=\"48\" border=\"0\" cellpadding=\"0\" "
                              "cellspacing=\"0\" background=\"shop.gif\" bgcolor=\"#ff0000\">"));
    EXPECT_TRUE(
        page.contains("cellspacing=\"24\">\r\n<tr>\r\n<td bgcolor=\"#ff0000\">&nbsp;</td>\r\n"
                      "<td bgcolor=\"#ff0000\">&nbsp;</td>\r\n</tr>\r\n</table>"));
    EXPECT_EQ(page.count("<td bgcolor"), 2);
}

TEST(HtmlTablePage, ImageNames) {
    CHtmlTable t;
    t.SetCellPattern(true);
    auto names = [&](const QString& path, const QString& image) {
        const QByteArray page = t.ComposePage(path, image);
        const qsizetype a = page.indexOf("background=\"") + 12;
        const qsizetype b = page.indexOf("background=\"", a) + 12;
        return std::make_pair(page.mid(a, page.indexOf('"', a) - a),
                              page.mid(b, page.indexOf('"', b) - b));
    };
    EXPECT_EQ(names("C:\\pages\\shop.htm", ""),
              std::make_pair(QByteArray("shop.gif"), QByteArray("shop-cell.gif")));
    EXPECT_EQ(names("/pages/shop.htm", ""),
              std::make_pair(QByteArray("shop.gif"), QByteArray("shop-cell.gif")));
    EXPECT_EQ(names("D:\\out\\my.page.htm", "").first, "my.page.gif");
    EXPECT_EQ(names("D:\\out\\noext", "").first, ".gif");
    EXPECT_EQ(names("D:\\out.d\\noext", "").second, "-cell.gif");
    EXPECT_EQ(names("/a.b/c/noext", "").first, ".gif");
    EXPECT_EQ(names("plain.htm", "").first, "plain.gif");
    EXPECT_EQ(names("/pages/shop.htm", "other").second, "other-cell.gif");
    EXPECT_EQ(names("", "").first, ".gif");
    // Names that would break the attribute or the URL are escaped; the page
    // stays single-byte.
    EXPECT_EQ(names("/p/a\"b#c.htm", "").first, "a%22b%23c.gif");
    EXPECT_EQ(names(QString::fromUtf8("/p/\u0436.htm"), "").first, "%D0%B6.gif");
    EXPECT_EQ(names(QString::fromUtf8("/p/caf\u00e9.htm"), "").first, "caf\xe9.gif");
    // Browsers read the page as windows-1252, where DEL and the C1 controls
    // stand for other characters: 0x85 would name a file "a…b".
    EXPECT_EQ(names(QStringLiteral("/p/a\u0085b.htm"), "").first, "a%C2%85b.gif");
    EXPECT_EQ(names(QStringLiteral("/p/a\u007fb.htm"), "").first, "a%7Fb.gif");
    EXPECT_EQ(names(QStringLiteral("/p/x.htm"), QStringLiteral("\u0080\u009f\u00a0")).second,
              "%C2%80%C2%9F\xa0-cell.gif");
    EXPECT_EQ(names(QStringLiteral("/p/a~b.htm"), "").first, "a~b.gif");
}

TEST(HtmlTablePage, SizeIsKnownBeforeComposingAndCapped) {
    CHtmlTable t;
    for (const auto& [rows, columns, cells, layer] :
         {std::tuple{1, 1, true, false}, std::tuple{3, 700, true, true},
          std::tuple{900, 2, false, false}, std::tuple{250, 40, true, false}}) {
        t.SetRows(rows);
        t.SetColumns(columns);
        t.SetShowCells(cells);
        t.SetCellPattern(layer);
        const QByteArray page = t.ComposePage(QStringLiteral("/a/b.htm"), QString());
        EXPECT_EQ(t.PageBytes(QStringLiteral("/a/b.htm"), QString()), page.size());
        EXPECT_EQ(page.count("<td bgcolor"), cells ? qsizetype(rows) * columns : 0);
        // Every line ends in CR LF, none in a bare LF or CR.
        EXPECT_EQ(page.count('\n'), page.count("\r\n"));
        EXPECT_EQ(page.count('\r'), page.count("\r\n"));
    }
    // Sizes beyond any int (and beyond 64 bits) are refused, not wrapped.
    t.SetShowCells(true);
    t.SetRows(100000);
    t.SetColumns(1000);
    EXPECT_GT(t.PageBytes(QStringLiteral("x.htm"), QString()), qint64(1) << 30);
    EXPECT_FALSE(t.CheckPageSize(QStringLiteral("x.htm"), QString()).ok());
    EXPECT_TRUE(t.ComposePage(QStringLiteral("x.htm"), QString()).isEmpty());
    t.SetRows(std::numeric_limits<int>::max());
    t.SetColumns(std::numeric_limits<int>::max());
    EXPECT_EQ(t.PageBytes(QStringLiteral("x.htm"), QString()), std::numeric_limits<qint64>::max());
    const Status refused = t.CheckPageSize(QStringLiteral("x.htm"), QString());
    EXPECT_TRUE(refused.message().contains(QStringLiteral("2147483647 rows")));
    EXPECT_TRUE(refused.message().contains(QStringLiteral("at most 1 GiB")));
    QTemporaryDir dir;
    QString error;
    EXPECT_EQ(t.WritePage(dir.filePath(QStringLiteral("x.htm")), QString(), &error), 0);
    EXPECT_EQ(error, refused.message());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    // Hidden cells make the grid's size irrelevant.
    t.SetShowCells(false);
    EXPECT_TRUE(t.CheckPageSize(QStringLiteral("x.htm"), QString()).ok());
}

TEST(HtmlTableWrite, WritesThePageAndReplacesIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Untitled1.htm"));
    CHtmlTable t;
    QString error;
    ASSERT_EQ(t.WritePage(path, QString(), &error), 1) << error.toStdString();
    EXPECT_EQ(ReadAll(path), Join(DefaultLines()));
    t.SetRows(1);
    ASSERT_EQ(t.WritePage(path, QString(), &error), 1);
    EXPECT_EQ(ReadAll(path).count("<td bgcolor"), 3);
    // Written row by row, the page is byte for byte the composed one.
    t.SetRows(300);
    t.SetColumns(200);
    t.SetCellPattern(true);
    ASSERT_EQ(t.WritePage(path, QStringLiteral("img"), &error), 1);
    EXPECT_EQ(ReadAll(path), t.ComposePage(path, QStringLiteral("img")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("Untitled1.htm")});
}

TEST(HtmlTableWrite, UnwritablePathsFailAndLoseNothing) {
    QTemporaryDir dir;
    CHtmlTable t;
    QString error;
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/page.htm"));
    EXPECT_EQ(t.WritePage(missing, QString(), &error), 0);
    // The message says why: the temporary file could not be made.
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot open ") + missing + QStringLiteral(": ")))
        << error.toStdString();
    EXPECT_GT(error.size(), (QStringLiteral("Cannot open : ") + missing).size());

    // A file where a folder should be stops even a user who may write
    // anywhere.
    const QString plain = dir.filePath(QStringLiteral("plain"));
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(t.WritePage(plain + QStringLiteral("/page.htm"), QString(), &error), 0);
    EXPECT_TRUE(
        error.startsWith(QStringLiteral("Cannot open ") + plain + QStringLiteral("/page.htm: ")))
        << error.toStdString();

    error.clear();
    EXPECT_EQ(t.WritePage(QString(), QString(), &error), 0);
    EXPECT_EQ(error, QStringLiteral("Cannot open "));

    // An existing read-only page is neither replaced nor changed.
    const QString readOnly = dir.filePath(QStringLiteral("kept.htm"));
    {
        QFile f(readOnly);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old page");
    }
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    if (QFileInfo(readOnly).isWritable())
        GTEST_SKIP() << "running with rights that ignore file permissions";
    EXPECT_EQ(t.WritePage(readOnly, QString(), &error), 0);
    EXPECT_EQ(error, QStringLiteral("Cannot open ") + readOnly);
    EXPECT_EQ(ReadAll(readOnly), QByteArray("old page"));
}

TEST(HtmlTableWrite, FolderThatRefusesNewFilesKeepsTheOldPage) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.htm"));
    CHtmlTable t;
    ASSERT_EQ(t.WritePage(path, QString()), 1);
    const QByteArray before = ReadAll(path);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (QFileInfo(dir.path()).isWritable()) {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    t.SetRows(7);
    QString error;
    EXPECT_EQ(t.WritePage(path, QString(), &error), 0);
    EXPECT_FALSE(error.isEmpty());
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ReadAll(path), before);
}

} // namespace
