#include "core/page/html_table.h"

#include "core/base/atomic_file.h"
#include "core/base/limits.h"
#include "core/page/page_names.h"

#include <algorithm>
#include <limits>

void CHtmlTable::SetWidth(int width) {
    m_nWidth = std::max(width, 2);
}
void CHtmlTable::SetHeight(int height) {
    m_nHeight = std::max(height, 2);
}
void CHtmlTable::SetRows(int rows) {
    m_nRows = std::max(rows, 1);
}
void CHtmlTable::SetColumns(int columns) {
    m_nColumns = std::max(columns, 1);
}

void CHtmlTable::SetBorder(int border) {
    if (border < 1)
        border = 1;
    if (border > m_nWidth / 2)
        border = m_nWidth / 2;
    if (border > m_nHeight / 2)
        border = m_nHeight / 2;
    m_nBorder = border;
}

namespace {

// Image names go into a double-quoted URL attribute of a page declared as
// iso-8859-1. Characters that would end the attribute, start a fragment or a
// query, or that the page's charset cannot carry, are percent-encoded as
// UTF-8 so the browser still finds the file; ordinary names stay as they are.
// Browsers read an iso-8859-1 page as windows-1252, where DEL and the C1
// controls (0x7F..0x9F) stand for other characters (0x85 is an ellipsis), so
// those are encoded too.
QString ImageReference(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        const bool unsafe = u > 0xFF || u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == '"' ||
                            u == '%' || u == '#' || u == '?' || u == '<' || u == '>' || u == '&';
        if (!unsafe) {
            out += name[i];
            continue;
        }
        // A surrogate pair is one character and is encoded as one.
        const qsizetype length =
            (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) ? 2
                                                                                               : 1;
        for (const char byte : name.mid(i, length).toUtf8())
            out += QStringLiteral("%%1").arg(uint(uchar(byte)), 2, 16, QLatin1Char('0')).toUpper();
        i += length - 1;
    }
    return out;
}

// The page's text with each "\n" stored as CR LF, in one pass.
QByteArray PageText(const QString& text) {
    const QByteArray latin = text.toLatin1();
    QByteArray out;
    out.reserve(latin.size() + latin.count('\n'));
    for (const char ch : latin) {
        if (ch == '\n')
            out += '\r';
        out += ch;
    }
    return out;
}

} // namespace

qint64 CHtmlTable::PageParts::RowBytes() const {
    return rowOpen.size() + columns * cell.size() + rowClose.size();
}

// rows x columns x a cell can exceed 64 bits.
qint64 CHtmlTable::PageParts::Bytes() const {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    const qint64 fixed = head.size() + tail.size();
    const qint64 row = RowBytes();
    if (rows > 0 && rows > (kMax - fixed) / row)
        return kMax;
    return fixed + rows * row;
}

QByteArray CHtmlTable::PageParts::Row() const {
    QByteArray row;
    row.reserve(RowBytes());
    row += rowOpen;
    for (qint64 c = 0; c < columns; ++c)
        row += cell;
    row += rowClose;
    return row;
}

QString PageStyleName(PageStyle style) {
    return style == PageStyle::Modern ? QStringLiteral("modern") : QStringLiteral("classic");
}

std::optional<PageStyle> PageStyleFromName(const QString& name) {
    if (name == QLatin1String("classic"))
        return PageStyle::Classic;
    if (name == QLatin1String("modern"))
        return PageStyle::Modern;
    return std::nullopt;
}

namespace {

// The CSS background of one layer: the GIF for browsers that know no
// image-set() with types (the second declaration is dropped whole there),
// the WebP where image/webp is supported. image-set() picks by type, not by
// a failed load, so the WebP must exist beside the page.
QString LayerBackground(const QString& gif, const QString& webp) {
    return QStringLiteral("\tbackground-image: url(\"%1\");\n"
                          "\tbackground-image: image-set(url(\"%2\") type(\"image/webp\"), "
                          "url(\"%1\") type(\"image/gif\"));\n")
        .arg(gif, webp);
}

} // namespace

// The modern page: the same table as the classic one (size, spacing, grid,
// colours, layers), laid out by CSS. The background attributes stay as the
// last fallback for browsers without CSS backgrounds on tables.
CHtmlTable::PageParts CHtmlTable::ComposeModernParts(const PageImageNames& names) const {
    const QString cellColor = ColorText(m_crCellColor);
    const QString size = QStringLiteral("\twidth: %1px;\n\theight: %2px;\n\tborder-spacing: ")
                             .arg(m_nWidth)
                             .arg(m_nHeight);
    QString t;
    t += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n"
                        "<meta charset=\"iso-8859-1\">\n<title>Velmora</title>\n"
                        "<style>\nbody {\n\tbackground-color: ");
    t += ColorText(m_crPageColor);
    t += QStringLiteral(";\n}\ntable.velmora {\n") + size;
    t += QStringLiteral("0;\n\tbackground-color: ") + cellColor + QStringLiteral(";\n");
    t += LayerBackground(names.animation, names.animationWebp) + QStringLiteral("}\n");
    if (m_bCellPattern) {
        t += QStringLiteral("table.velmora-cells {\n") + size + QStringLiteral("0;\n");
        t += LayerBackground(names.cellPattern, names.cellPatternWebp) + QStringLiteral("}\n");
    }
    if (m_bShowCells) {
        t += QStringLiteral("table.velmora-grid {\n") + size;
        t += QString::number(m_nBorder) + QStringLiteral("px;\n}\n");
        t += QStringLiteral("table.velmora-grid td {\n\tbackground-color: ") + cellColor;
        t += QStringLiteral(";\n}\n");
    }
    t += QStringLiteral("td {\n\tpadding: 0;\n}\n</style>\n</head>\n<body>\n");
    t += QStringLiteral("<table class=\"velmora\" background=\"") + names.animation;
    t += QStringLiteral("\">\n<tr>\n<td>");
    if (m_bCellPattern) {
        t += QStringLiteral("\n<table class=\"velmora-cells\" background=\"") + names.cellPattern;
        t += QStringLiteral("\">\n<tr>\n<td>\n");
    }
    return FinishParts(t, QStringLiteral("<table class=\"velmora-grid\">\n"),
                       QStringLiteral("<td>&nbsp;</td>\n"));
}

CHtmlTable::PageParts CHtmlTable::FinishParts(const QString& head, const QString& gridOpen,
                                              const QString& cell) const {
    PageParts parts;
    QString t = head;
    QString tail;
    if (m_bShowCells) {
        t += gridOpen;
        // Rows after the first follow the previous "</tr>" on its line.
        parts.rowOpen = PageText(QStringLiteral("<tr>\n"));
        parts.cell = PageText(cell);
        parts.rowClose = PageText(QStringLiteral("</tr>"));
        parts.rows = m_nRows;
        parts.columns = m_nColumns;
        tail += QStringLiteral("\n</table>\n");
    }
    tail +=
        m_bCellPattern
            ? QStringLiteral("</td>\n</tr>\n</table>\n</td>\n</tr>\n</table>\n</body>\n</html>\n")
            : QStringLiteral("</td>\n</tr>\n</table>\n</body>\n</html>\n");
    parts.head = PageText(t);
    parts.tail = PageText(tail);
    return parts;
}

CHtmlTable::PageParts CHtmlTable::ComposeParts(const QString& pagePath,
                                               const QString& imageName) const {
    PageImageNames names = ImageNamesFor(pagePath, imageName);
    names.animation = ImageReference(names.animation);
    names.cellPattern = ImageReference(names.cellPattern);
    names.animationWebp = ImageReference(names.animationWebp);
    names.cellPatternWebp = ImageReference(names.cellPatternWebp);
    if (m_style == PageStyle::Modern)
        return ComposeModernParts(names);
    const QString cellColor = ColorText(m_crCellColor);
    const QString width = QString::number(m_nWidth);
    const QString height = QString::number(m_nHeight);

    QString t;
    t += QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\n"
        "\"http://www.w3.org/TR/html4/loose.dtd\">\n"
        "<html>\n<head>\n<title>Velmora</title>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
        "<style type=\"text/css\">\n<!--\nbody {\n\tbackground-color: ");
    t += ColorText(m_crPageColor);
    t += QStringLiteral(";\n}\n-->\n</style>\n</head>\n<body>\n<table width=\"");
    t += width + QStringLiteral("\" height=\"") + height;
    t += QStringLiteral("\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\" background=\"");
    t += names.animation + QStringLiteral("\" bgcolor=\"") + cellColor;
    if (!m_bCellPattern) {
        t += QStringLiteral("\">\n<tr>\n<td>");
    } else {
        t += QStringLiteral("\">\n<tr>\n<td>\n<table width=\"") + width;
        t += QStringLiteral("\" height=\"") + height;
        t += QStringLiteral("\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\" background=\"");
        t += names.cellPattern + QStringLiteral("\">\n<tr>\n<td>\n");
    }

    const QString gridOpen = QStringLiteral("<table width=\"") + width +
                             QStringLiteral("\" height=\"") + height +
                             QStringLiteral("\" border=\"0\" cellpadding=\"0\" cellspacing=\"") +
                             QString::number(m_nBorder) + QStringLiteral("\">\n");
    return FinishParts(t, gridOpen,
                       QStringLiteral("<td bgcolor=\"") + cellColor +
                           QStringLiteral("\">&nbsp;</td>\n"));
}

qint64 CHtmlTable::PageBytes(const QString& pagePath, const QString& imageName) const {
    return ComposeParts(pagePath, imageName).Bytes();
}

Status CHtmlTable::CheckPageSize(const QString& pagePath, const QString& imageName) const {
    const PageParts parts = ComposeParts(pagePath, imageName);
    if (parts.Bytes() <= kMaxPageBytes)
        return Status::Ok();
    // In floating point: the exact count may not fit 64 bits.
    const double gib = (double(parts.head.size() + parts.tail.size()) +
                        double(parts.rows) * double(parts.RowBytes())) /
                       double(qint64(1) << 30);
    return Status::Error(QStringLiteral("A table of %1 rows and %2 columns makes a page of %3 GiB; "
                                        "a page holds at most 1 GiB of text")
                             .arg(m_nRows)
                             .arg(m_nColumns)
                             .arg(gib, 0, 'f', 1));
}

QByteArray CHtmlTable::ComposePage(const QString& pagePath, const QString& imageName) const {
    if (!CheckPageSize(pagePath, imageName))
        return QByteArray();
    const PageParts parts = ComposeParts(pagePath, imageName);
    QByteArray bytes;
    bytes.reserve(parts.Bytes());
    bytes += parts.head;
    const QByteArray row = parts.Row();
    for (qint64 r = 0; r < parts.rows; ++r)
        bytes += row;
    bytes += parts.tail;
    return bytes;
}

int CHtmlTable::WritePage(const QString& pagePath, const QString& imageName,
                          QString* errorMessage) const {
    return WritePageTo(pagePath, pagePath, imageName, errorMessage);
}

int CHtmlTable::WritePageTo(const QString& filePath, const QString& pagePath,
                            const QString& imageName, QString* errorMessage) const {
    auto fail = [errorMessage](const Status& status) {
        if (errorMessage)
            *errorMessage = status.message();
        return 0;
    };
    if (Status s = CheckPageSize(pagePath, imageName); !s)
        return fail(s);
    const PageParts parts = ComposeParts(pagePath, imageName);
    AtomicFile file(filePath);
    if (Status s = file.Open(); !s)
        return fail(s);
    // The rows go out one at a time: a large page is never held whole.
    file.Write(parts.head);
    const QByteArray row = parts.Row();
    for (qint64 r = 0; r < parts.rows && file.error() == QFileDevice::NoError; ++r)
        file.Write(row);
    file.Write(parts.tail);
    if (Status s = file.Commit(); !s)
        return fail(s);
    return 1;
}
