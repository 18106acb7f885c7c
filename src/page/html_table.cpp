#include "page/html_table.h"

#include "page/atomic_write.h"
#include "page/page_names.h"

#include <algorithm>

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
QString ImageReference(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        const bool unsafe = u > 0xFF || u < 0x20 || u == '"' || u == '%' || u == '#' || u == '?' ||
                            u == '<' || u == '>' || u == '&';
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

} // namespace

QByteArray CHtmlTable::ComposePage(const QString& pagePath, const QString& imageName) const {
    PageImageNames names = ImageNamesFor(pagePath, imageName);
    names.animation = ImageReference(names.animation);
    names.cellPattern = ImageReference(names.cellPattern);
    const QString cellColor = ColorText(m_crCellColor);
    const QString width = QString::number(m_nWidth);
    const QString height = QString::number(m_nHeight);

    QString t;
    t.reserve(2048 + m_nRows * m_nColumns * 40);
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

    auto appendGrid = [&] {
        if (!m_bShowCells)
            return;
        t += QStringLiteral("<table width=\"") + width + QStringLiteral("\" height=\"") + height;
        t += QStringLiteral("\" border=\"0\" cellpadding=\"0\" cellspacing=\"");
        t += QString::number(m_nBorder) + QStringLiteral("\">\n");
        const QString cell =
            QStringLiteral("<td bgcolor=\"") + cellColor + QStringLiteral("\">&nbsp;</td>\n");
        for (int r = 0; r < m_nRows; ++r) {
            t += QStringLiteral("<tr>\n");
            for (int c = 0; c < m_nColumns; ++c)
                t += cell;
            t += QStringLiteral("</tr>");
        }
        t += QStringLiteral("\n</table>\n");
    };

    if (!m_bCellPattern) {
        t += QStringLiteral("\">\n<tr>\n<td>");
        appendGrid();
        t += QStringLiteral("</td>\n</tr>\n</table>\n</body>\n</html>\n");
    } else {
        t += QStringLiteral("\">\n<tr>\n<td>\n<table width=\"") + width;
        t += QStringLiteral("\" height=\"") + height;
        t += QStringLiteral("\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\" background=\"");
        t += names.cellPattern + QStringLiteral("\">\n<tr>\n<td>\n");
        appendGrid();
        t += QStringLiteral("</td>\n</tr>\n</table>\n</td>\n</tr>\n</table>\n</body>\n</html>\n");
    }

    QByteArray bytes = t.toLatin1();
    bytes.replace("\n", "\r\n");
    return bytes;
}

int CHtmlTable::WritePage(const QString& pagePath, const QString& imageName,
                          QString* errorMessage) const {
    const Status status = WriteFileAtomically(pagePath, ComposePage(pagePath, imageName));
    if (!status) {
        if (errorMessage)
            *errorMessage = status.message();
        return 0;
    }
    return 1;
}
