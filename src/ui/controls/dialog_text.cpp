#include "ui/controls/dialog_text.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>
#include <algorithm>
#include <limits>

int AtoiText(const QString& text, int maxChars) {
    const qsizetype end = maxChars < 0 ? text.size() : std::min<qsizetype>(text.size(), maxChars);
    qsizetype i = 0;
    while (i < end && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t') ||
                       text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r') ||
                       text[i] == QLatin1Char('\v') || text[i] == QLatin1Char('\f')))
        ++i;
    bool negative = false;
    if (i < end && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    long long value = 0;
    for (; i < end && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return int(negative ? -value : value);
}

void MakeRoomForTitle(QWidget* window) {
    // Title bars use a bold face a little larger than the application's;
    // the buttons and margins take about as much again as three icons.
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.1);
    const int width = QFontMetrics(font).horizontalAdvance(window->windowTitle()) + 3 * 24 + 24;
    if (window->minimumWidth() < width)
        window->setMinimumWidth(width);
    if (window->width() < width)
        window->resize(width, window->height());
}
