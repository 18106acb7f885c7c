#include "cli/arguments.h"

#include <cstdio>
#include <limits>

std::optional<int> ParseStrictInt(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (ch.unicode() - '0');
        if (value > 1LL + std::numeric_limits<int>::max())
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

QString ArgumentReader::Value(const QString& option) {
    if (AtEnd())
        Fail(QStringLiteral("%1 needs a value").arg(option));
    return Next();
}

int ArgumentReader::IntValue(const QString& option, int min, int max) {
    const QString text = Value(option);
    const std::optional<int> value = ParseStrictInt(text);
    if (!value)
        BadValue(option, text, QStringLiteral("a whole number"));
    if (*value < min || *value > max)
        BadValue(option, text, QStringLiteral("a whole number from %1 to %2").arg(min).arg(max));
    return *value;
}

COLORREF ArgumentReader::ColorValue(const QString& option) {
    const QString text = Value(option);
    const std::optional<COLORREF> color = ParseColorText(text);
    if (!color)
        BadValue(option, text, QStringLiteral("a colour written as #rrggbb"));
    return *color;
}

void ArgumentReader::Fail(const QString& message) const {
    throw UsageError(QStringLiteral("velmora-cli %1: %2\nTry 'velmora-cli %1 --help'.")
                         .arg(m_strCommand, message));
}

void ArgumentReader::BadValue(const QString& option, const QString& value,
                              const QString& expected) const {
    Fail(QStringLiteral("invalid value '%1' for %2: expected %3").arg(value, option, expected));
}

void PrintOut(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintError(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}
