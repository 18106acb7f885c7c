#include "core/page/page_reader.h"

#include "core/base/input_file.h"
#include "core/base/limits.h"
#include "core/page/page_names.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
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

// Reads a page from the start, a piece at a time, comparing it with the
// pieces the table writes: memory stays at one buffer however large the file
// is, and a file that is no page of ours stops being read at its first
// difference.
class PageStream {
public:
    explicit PageStream(QIODevice* device) : m_pDevice(device) {}

    // The first bytes, at most n, without consuming them.
    QByteArray Peek(qsizetype n) {
        Fill(n);
        return m_buffer.mid(m_nAt, std::min<qsizetype>(n, m_buffer.size() - m_nAt));
    }
    bool StartsWith(const QByteArray& piece) {
        Fill(piece.size());
        return m_buffer.size() - m_nAt >= piece.size() &&
               std::memcmp(m_buffer.constData() + m_nAt, piece.constData(),
                           std::size_t(piece.size())) == 0;
    }
    bool Take(const QByteArray& piece) {
        if (!StartsWith(piece))
            return false;
        m_nAt += piece.size();
        return true;
    }
    bool AtEnd() {
        Fill(1);
        return m_nAt >= m_buffer.size();
    }

private:
    void Fill(qsizetype n) {
        if (m_buffer.size() - m_nAt >= n)
            return;
        m_buffer.remove(0, m_nAt);
        m_nAt = 0;
        const qsizetype want = std::max<qsizetype>(n, kChunk);
        while (m_buffer.size() < want) {
            const qsizetype at = m_buffer.size();
            m_buffer.resize(want);
            const qint64 got = m_pDevice->read(m_buffer.data() + at, want - at);
            m_buffer.resize(at + std::max<qint64>(got, 0));
            if (got <= 0)
                break;
        }
    }

    static constexpr qsizetype kChunk = 256 * 1024;
    QIODevice* m_pDevice;
    QByteArray m_buffer;
    qsizetype m_nAt = 0;
};

// The page's contents when the device, of `size` bytes, holds a page
// Velmora wrote.
std::optional<PageContents> ParsePageStream(QIODevice* device, qint64 size) {
    if (size > kMaxPageBytes)
        return std::nullopt;
    PageStream in(device);
    // The page is written as iso-8859-1; its values are all in its head, and
    // everything, the head included, is then checked against what the values
    // write.
    const QString head = QString::fromLatin1(in.Peek(65536));
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
    // The modern page holds the same values in its style sheet; the
    // animation's name is read from its fallback attribute.
    static const QRegularExpression kModern(QStringLiteral(
        "^<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"iso-8859-1\">\r\n"
        "<title>Velmora</title>\r\n<style>\r\nbody \\{\r\n\tbackground-color: "
        "(#[0-9a-f]{6});\r\n\\}\r\ntable\\.velmora \\{\r\n\twidth: (\\d+)px;\r\n\theight: "
        "(\\d+)px;\r\n\tborder-spacing: 0;\r\n\tbackground-color: (#[0-9a-f]{6});\r\n"));
    static const QRegularExpression kModernBody(QStringLiteral(
        "</style>\r\n</head>\r\n<body>\r\n<table class=\"velmora\" background=\"([^\"]*)\">"
        "\r\n<tr>\r\n<td>(\r\n<table class=\"velmora-cells\" )?"));
    static const QRegularExpression kModernGrid(
        QStringLiteral("\r\ntable\\.velmora-grid \\{\r\n\twidth: \\d+px;\r\n\theight: "
                       "\\d+px;\r\n\tborder-spacing: (\\d+)px;\r\n"));
    QString pageColor, width, height, reference, cellColor, border;
    bool cellLayer = false;
    PageStyle style = PageStyle::Classic;
    if (const QRegularExpressionMatch modern = kModern.match(head); modern.hasMatch()) {
        const QRegularExpressionMatch body = kModernBody.match(head);
        if (!body.hasMatch())
            return std::nullopt;
        const QRegularExpressionMatch grid = kModernGrid.match(head);
        style = PageStyle::Modern;
        pageColor = modern.captured(1);
        width = modern.captured(2);
        height = modern.captured(3);
        cellColor = modern.captured(4);
        reference = body.captured(1);
        cellLayer = body.capturedLength(2) > 0;
        // The grid's rule comes before the body: one found after it is text.
        if (grid.hasMatch() && grid.capturedStart() < body.capturedStart())
            border = grid.captured(1);
    } else {
        const QRegularExpressionMatch color = kPageColor.match(head);
        const QRegularExpressionMatch outer = kOuter.match(head);
        if (!color.hasMatch() || !outer.hasMatch())
            return std::nullopt;
        pageColor = color.captured(1);
        width = outer.captured(1);
        height = outer.captured(2);
        reference = outer.captured(3);
        cellColor = outer.captured(4);
        cellLayer = outer.capturedLength(5) > 0;
        if (outer.capturedLength(6) > 0)
            border = outer.captured(7);
    }

    PageContents page;
    bool ok = true;
    auto number = [&ok](const QString& text) {
        bool good = false;
        const int value = text.toInt(&good);
        ok = ok && good;
        return value;
    };
    page.pageColor = ParseColorText(pageColor).value_or(0);
    const int tableWidth = number(width);
    const int tableHeight = number(height);
    const QString animation = DecodeReference(reference);
    const COLORREF tableCellColor = ParseColorText(cellColor).value_or(0);
    page.showCells = !border.isEmpty();
    if (!ok || !animation.endsWith(QLatin1String(".gif")))
        return std::nullopt;
    page.imageBase = animation.chopped(4);
    // Our pages name only files beside them. One that reaches into another
    // folder ("../h/bomb.gif") was edited or made elsewhere, and its images
    // are not ours to read.
    if (page.imageBase.contains(QLatin1Char('/')) || page.imageBase.contains(QLatin1Char('\\')))
        return std::nullopt;

    CHtmlTable& table = page.table;
    table.SetWidth(tableWidth);
    table.SetHeight(tableHeight);
    table.SetCellColor(tableCellColor);
    table.SetPageColor(page.pageColor);
    table.SetCellPattern(cellLayer);
    table.SetShowCells(page.showCells);
    table.SetPageStyle(style);
    if (page.showCells)
        table.SetBorder(number(border));
    if (!ok)
        return std::nullopt;
    // An image base that is empty comes from a page path without a dot.
    const QString pagePath =
        page.imageBase.isEmpty() ? QStringLiteral("page") : QStringLiteral("page.htm");
    CHtmlTable::PageParts parts = table.ComposeParts(pagePath, page.imageBase);
    if (!in.Take(parts.head))
        return std::nullopt;
    if (page.showCells) {
        // The first row tells the columns; every row is the same.
        if (!in.Take(parts.rowOpen))
            return std::nullopt;
        qint64 columns = 0;
        while (in.Take(parts.cell))
            ++columns;
        if (columns < 1 || columns > std::numeric_limits<int>::max() || !in.Take(parts.rowClose))
            return std::nullopt;
        parts.columns = columns;
        const qint64 rowBytes = parts.RowBytes();
        const qint64 rowsBytes = size - parts.head.size() - parts.tail.size();
        if (rowsBytes < rowBytes || rowsBytes % rowBytes != 0)
            return std::nullopt;
        parts.rows = rowsBytes / rowBytes;
        if (parts.rows > std::numeric_limits<int>::max())
            return std::nullopt;
        for (qint64 r = 1; r < parts.rows; ++r) {
            if (!in.Take(parts.rowOpen))
                return std::nullopt;
            for (qint64 c = 0; c < parts.columns; ++c)
                if (!in.Take(parts.cell))
                    return std::nullopt;
            if (!in.Take(parts.rowClose))
                return std::nullopt;
        }
        table.SetRows(int(parts.rows));
        table.SetColumns(int(parts.columns));
    }
    if (!in.Take(parts.tail) || !in.AtEnd() || parts.Bytes() != size)
        return std::nullopt;
    const PageImageNames names = ImageNamesFor(pagePath, page.imageBase);
    page.animationName = names.animation;
    page.cellPatternName = names.cellPattern;
    return page;
}

} // namespace

std::optional<PageContents> ParsePage(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ParsePageStream(&buffer, bytes.size());
}

Status ReadPage(const QString& path, std::optional<PageContents>* contents) {
    contents->reset();
    QFile file;
    if (Status s = OpenInputFile(path, &file); !s)
        return s;
    // Anything larger than a page can be is not one of ours, and is not read.
    const qint64 size = file.size();
    if (size > kMaxPageBytes)
        return Status::Ok();
    *contents = ParsePageStream(&file, size);
    if (file.error() != QFileDevice::NoError)
        return Status::Error(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return Status::Ok();
}
