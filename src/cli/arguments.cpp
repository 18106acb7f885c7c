#include "cli/arguments.h"

#include "core/base/limits.h"

#include <algorithm>
#include <cstdio>
#include <limits>

IntParse ParseInt(const QString& text, int* value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i >= text.size())
        return IntParse::NotANumber;
    long long magnitude = 0;
    bool tooLarge = false;
    for (; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return IntParse::NotANumber;
        // Digits go on being checked after the value left int's range, so
        // "99999999999x" is still not a number rather than out of range.
        if (!tooLarge) {
            magnitude = magnitude * 10 + (ch.unicode() - '0');
            tooLarge = magnitude > 1LL + std::numeric_limits<int>::max();
        }
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    if (tooLarge || signedValue < std::numeric_limits<int>::min() ||
        signedValue > std::numeric_limits<int>::max())
        return IntParse::OutOfRange;
    if (value)
        *value = int(signedValue);
    return IntParse::Ok;
}

std::optional<int> ParseStrictInt(const QString& text) {
    int value = 0;
    if (ParseInt(text, &value) != IntParse::Ok)
        return std::nullopt;
    return value;
}

QString ArgumentReader::Value(const QString& option) {
    if (AtEnd())
        Fail(QStringLiteral("%1 needs a value").arg(option));
    return Next();
}

int ArgumentReader::IntValue(const QString& option, int min, int max) {
    const QString text = Value(option);
    int value = 0;
    const IntParse parsed = ParseInt(text, &value);
    if (parsed == IntParse::NotANumber)
        BadValue(option, text, QStringLiteral("a whole number"));
    if (parsed == IntParse::OutOfRange || value < min || value > max)
        OutOfRange(option, text, min, max);
    return value;
}

COLORREF ArgumentReader::ColorValue(const QString& option) {
    const QString text = Value(option);
    const std::optional<COLORREF> color = ParseColorText(text);
    if (!color)
        BadValue(option, text, QStringLiteral("a colour written as #rrggbb"));
    return *color;
}

void ArgumentReader::TableValue(const QString& option, int table[5]) {
    const QString text = Value(option);
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 5)
        BadValue(option, text, QStringLiteral("W,H,ROWS,COLUMNS,BORDER"));
    int values[5] = {};
    for (int i = 0; i < 5; ++i)
        if (ParseInt(parts[i], &values[i]) == IntParse::NotANumber)
            BadValue(option, text, QStringLiteral("five whole numbers W,H,ROWS,COLUMNS,BORDER"));
    const QString names[5] = {QStringLiteral("W"), QStringLiteral("H"), QStringLiteral("ROWS"),
                              QStringLiteral("COLUMNS"), QStringLiteral("BORDER")};
    const int low[5] = {1, 1, 1, 1, 0};
    for (int i = 0; i < 5; ++i) {
        int high = kMaxGifSide;
        if (i == 2 || i == 3)
            high = std::clamp(values[i == 2 ? 1 : 0], 1, kMaxGifSide);
        int value = 0;
        if (ParseInt(parts[i], &value) != IntParse::Ok || value < low[i] || value > high)
            OutOfRange(QStringLiteral("%1 %2").arg(option, names[i]), parts[i], low[i], high);
    }
    std::copy(values, values + 5, table);
}

void ArgumentReader::Fail(const QString& message) const {
    throw UsageError(QStringLiteral("velmora-cli %1: %2\nTry 'velmora-cli %1 --help'.")
                         .arg(m_strCommand, message));
}

std::pair<QString, QString> ArgumentReader::NameValue(const QString& option,
                                                      const QString& text) const {
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0)
        BadValue(option, text, QStringLiteral("NAME=VALUE"));
    return {text.left(eq), text.mid(eq + 1)};
}

void ArgumentReader::BadValue(const QString& option, const QString& value,
                              const QString& expected) const {
    Fail(QStringLiteral("invalid value '%1' for %2: expected %3").arg(value, option, expected));
}

void ArgumentReader::OutOfRange(const QString& option, const QString& value, qint64 min,
                                qint64 max) const {
    Fail(QStringLiteral("value '%1' for %2 is out of range: expected a whole number from %3 to %4")
             .arg(value, option)
             .arg(min)
             .arg(max));
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

QString Wrap(const QString& text, int used, int indent) {
    constexpr int kColumns = 80;
    QString wrapped;
    int column = used;
    bool first = true;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!first) {
            if (column + 1 + word.size() > kColumns) {
                wrapped += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
                column = indent;
            } else {
                wrapped += QLatin1Char(' ');
                ++column;
            }
        }
        wrapped += word;
        column += int(word.size());
        first = false;
    }
    return wrapped;
}

QString WrapList(const QStringList& words, int used, int indent) {
    return Wrap(words.join(QStringLiteral(", ")), used, indent);
}
