#include "core/base/color_ref.h"

QString ColorText(COLORREF color) {
    return QStringLiteral("#%1%2%3")
        .arg(RedOf(color), 2, 16, QLatin1Char('0'))
        .arg(GreenOf(color), 2, 16, QLatin1Char('0'))
        .arg(BlueOf(color), 2, 16, QLatin1Char('0'));
}

std::optional<COLORREF> ParseColorText(const QString& text) {
    if (text.size() != 7 || text[0] != QLatin1Char('#'))
        return std::nullopt;
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        int value = 0;
        for (int k = 0; k < 2; ++k) {
            const QChar ch = text[1 + 2 * c + k];
            int digit;
            if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9'))
                digit = ch.unicode() - '0';
            else if (ch >= QLatin1Char('a') && ch <= QLatin1Char('f'))
                digit = ch.unicode() - 'a' + 10;
            else if (ch >= QLatin1Char('A') && ch <= QLatin1Char('F'))
                digit = ch.unicode() - 'A' + 10;
            else
                return std::nullopt;
            value = value * 16 + digit;
        }
        channels[c] = value;
    }
    return MakeColorRef(channels[0], channels[1], channels[2]);
}
