#include "core/page/page_reader.h"

#include "core/base/limits.h"
#include "core/page/page_names.h"

#include <QFile>
#include <QRegularExpression>
#include <limits>

namespace {

// The inverse of the page's image references: runs of %XX are UTF-8 bytes,
// every other character stands for itself.
QString DecodeReference(const QString& reference) {
    QString out;
    QByteArray run;
    auto flush = [&] {
        out += QString::fromUtf8(run);
        run.clear();
    };
    for (qsizetype i = 0; i < reference.size(); ++i) {
        bool ok = false;
        if (reference[i] == QLatin1Char('%') && i + 2 < reference.size()) {
            const uint byte = reference.mid(i + 1, 2).toUInt(&ok, 16);
            if (ok) {
                run += char(byte);
                i += 2;
                continue;
            }
        }
        flush();
        out += reference[i];
    }
    flush();
    return out;
}

} // namespace

std::optional<PageContents> ParsePage(const QByteArray& bytes) {
    if (bytes.size() > kMaxPageBytes)
        return std::nullopt;
    // The page is written as iso-8859-1; only its head is searched, the rows
    // are checked by writing them again.
    const QString head = QString::fromLatin1(bytes.left(65536));
    static const QRegularExpression kPageColor(
        QStringLiteral("<style type=\"text/css\">\r\n<!--\r\nbody \\{\r\n\tbackground-color: "
                       "(#[0-9a-f]{6});"));
    static const QRegularExpression kOuter(QStringLiteral(
        "<body>\r\n<table width=\"(\\d+)\" height=\"(\\d+)\" border=\"0\" cellpadding=\"0\" "
        "cellspacing=\"0\" background=\"([^\"]*)\" bgcolor=\"(#[0-9a-f]{6})\">\r\n<tr>\r\n<td>"
        "(\r\n<table width=\"\\d+\" height=\"\\d+\" border=\"0\" cellpadding=\"0\" "
        "cellspacing=\"0\" background=\"[^\"]*\">\r\n<tr>\r\n<td>\r\n)?"
        "(<table width=\"\\d+\" height=\"\\d+\" border=\"0\" cellpadding=\"0\" "
        "cellspacing=\"(\\d+)\">\r\n)?"));
    const QRegularExpressionMatch color = kPageColor.match(head);
    const QRegularExpressionMatch outer = kOuter.match(head);
    if (!color.hasMatch() || !outer.hasMatch())
        return std::nullopt;

    PageContents page;
    bool ok = true;
    auto number = [&ok](const QString& text) {
        bool good = false;
        const int value = text.toInt(&good);
        ok = ok && good;
        return value;
    };
    page.pageColor = ParseColorText(color.captured(1)).value_or(0);
    const int width = number(outer.captured(1));
    const int height = number(outer.captured(2));
    const QString animation = DecodeReference(outer.captured(3));
    const COLORREF cellColor = ParseColorText(outer.captured(4)).value_or(0);
    const bool cellLayer = outer.capturedLength(5) > 0;
    page.showCells = outer.capturedLength(6) > 0;
    if (!ok || !animation.endsWith(QLatin1String(".gif")))
        return std::nullopt;
    page.imageBase = animation.chopped(4);

    CHtmlTable& table = page.table;
    table.SetWidth(width);
    table.SetHeight(height);
    table.SetCellColor(cellColor);
    table.SetPageColor(page.pageColor);
    table.SetCellPattern(cellLayer);
    table.SetShowCells(page.showCells);
    if (page.showCells) {
        table.SetBorder(number(outer.captured(7)));
        // Every row is the same: "<tr>", the cells, "</tr>".
        const QByteArray cell = "<td bgcolor=\"" + outer.captured(4).toLatin1() + "\">";
        const qsizetype rowsStart = outer.capturedEnd(0);
        const qsizetype firstRowEnd = bytes.indexOf("</tr>", rowsStart);
        if (firstRowEnd < 0)
            return std::nullopt;
        qint64 columns = 0;
        for (qsizetype at = bytes.indexOf(cell, rowsStart); at >= 0 && at < firstRowEnd;
             at = bytes.indexOf(cell, at + 1))
            ++columns;
        const qint64 rowBytes = firstRowEnd + 5 - rowsStart;
        const qsizetype rowsEnd = bytes.indexOf("\r\n</table>\r\n", firstRowEnd);
        if (rowsEnd < 0 || columns < 1 || columns > std::numeric_limits<int>::max())
            return std::nullopt;
        const qint64 rows = (rowsEnd - rowsStart) / rowBytes;
        if (rows < 1 || rows > std::numeric_limits<int>::max())
            return std::nullopt;
        table.SetRows(int(rows));
        table.SetColumns(int(columns));
        if (!ok)
            return std::nullopt;
    }
    // An image base that is empty comes from a page path without a dot.
    const QString pagePath =
        page.imageBase.isEmpty() ? QStringLiteral("page") : QStringLiteral("page.htm");
    if (table.PageBytes(pagePath, page.imageBase) != bytes.size() ||
        table.ComposePage(pagePath, page.imageBase) != bytes)
        return std::nullopt;
    const PageImageNames names = ImageNamesFor(pagePath, page.imageBase);
    page.animationName = names.animation;
    page.cellPatternName = names.cellPattern;
    return page;
}

Status ReadPage(const QString& path, std::optional<PageContents>* contents) {
    contents->reset();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    // Anything larger than a page can be is not one of ours.
    if (file.size() > kMaxPageBytes)
        return Status::Ok();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Status::Error(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    *contents = ParsePage(bytes);
    return Status::Ok();
}
