#include "ui/controls/dialog_text.h"

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
