#include "ui/shell/tool_icons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {

QPixmap Canvas() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// The table with its coloured stripes, the program's own mark.
void DrawTable(QPainter& p, QRectF r) {
    const QColor bands[] = {QColor(0xef, 0x23, 0x3c), QColor(0xed, 0xf2, 0xf4),
                            QColor(0x2b, 0x2d, 0x42)};
    p.save();
    p.setClipRect(r);
    for (int i = -8; i < 16; ++i) {
        QPainterPath band;
        const double x = r.left() + i * 5;
        band.moveTo(x, r.bottom());
        band.lineTo(x + 5, r.bottom());
        band.lineTo(x + 5 + r.height(), r.top());
        band.lineTo(x + r.height(), r.top());
        p.fillPath(band, bands[(i + 9) % 3]);
    }
    p.restore();
    p.setPen(QPen(QColor(0x2b, 0x2d, 0x42), 1.5));
    const double cw = r.width() / 3, ch = r.height() / 2;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            p.fillRect(QRectF(r.left() + col * cw + 2, r.top() + row * ch + 2, cw - 4, ch - 4),
                       Qt::white);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

void DrawCopyBadge(QPainter& p) {
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(17, 17, 12, 12));
    p.drawRect(QRectF(20, 20, 10, 10));
}

} // namespace

QIcon ApplicationIcon() {
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    DrawTable(p, QRectF(2, 6, 28, 20));
    return QIcon(pixmap);
}

QIcon ToolIcon(const QString& name) {
    QStyle* style = QApplication::style();
    if (name == QLatin1String("document-new"))
        return QIcon::fromTheme(name, style->standardIcon(QStyle::SP_FileIcon));
    if (name == QLatin1String("document-open"))
        return QIcon::fromTheme(name, style->standardIcon(QStyle::SP_DialogOpenButton));
    if (name == QLatin1String("document-save"))
        return QIcon::fromTheme(name, style->standardIcon(QStyle::SP_DialogSaveButton));
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);

    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    if (name == QLatin1String("edit-cut")) {
        p.drawEllipse(QRectF(5, 20, 8, 8));
        p.drawEllipse(QRectF(19, 20, 8, 8));
        p.drawLine(QPointF(11, 21), QPointF(22, 3));
        p.drawLine(QPointF(21, 21), QPointF(10, 3));
    } else if (name == QLatin1String("edit-copy")) {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 4, 16, 18));
        p.drawRect(QRectF(12, 10, 16, 18));
    } else if (name == QLatin1String("edit-paste")) {
        p.setBrush(QColor(0xc8, 0x9b, 0x5a));
        p.drawRect(QRectF(5, 6, 18, 22));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(13, 12, 14, 17));
        p.drawRect(QRectF(10, 3, 8, 5));
    } else if (name == QLatin1String("document-print")) {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 3, 14, 10));
        p.setBrush(QColor(0x8d, 0x99, 0xae));
        p.drawRect(QRectF(3, 12, 26, 11));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 19, 14, 10));
    } else if (name == QLatin1String("animate-table")) {
        DrawTable(p, QRectF(2, 8, 28, 18));
        p.setPen(QPen(QColor(0xd9, 0x04, 0x29), 2));
        p.drawArc(QRectF(20, 1, 10, 10), 0, 270 * 16);
    } else if (name == QLatin1String("table-properties")) {
        DrawTable(p, QRectF(1, 2, 22, 16));
        p.setPen(QPen(QColor(0x2b, 0x2d, 0x42), 2));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(16, 21 + i * 4), QPointF(30, 21 + i * 4));
    } else if (name == QLatin1String("copy-animation")) {
        DrawTable(p, QRectF(1, 2, 22, 16));
        DrawCopyBadge(p);
    } else if (name == QLatin1String("copy-table-tag")) {
        QFont font = p.font();
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(0, 0, 24, 18), Qt::AlignCenter, QStringLiteral("</>"));
        DrawCopyBadge(p);
    } else if (name == QLatin1String("copy-cell-pattern")) {
        p.setPen(QPen(Qt::black, 1.5));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                p.drawRoundedRect(QRectF(2 + j * 7, 3 + i * 7, 6, 6), 2, 2);
        DrawCopyBadge(p);
    } else if (name == QLatin1String("copy-all")) {
        DrawTable(p, QRectF(1, 2, 18, 12));
        p.setPen(QPen(Qt::black, 1.5));
        p.drawRect(QRectF(3, 17, 10, 12));
        DrawCopyBadge(p);
    }
    return QIcon(pixmap);
}
