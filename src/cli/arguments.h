// Strict command-line reading for velmora-cli: every value must be exactly
// what the option expects, or the command stops with a usage error.
#pragma once

#include "core/base/color_ref.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>
#include <utility>

// Exit codes: 0 done, 1 the work failed (a file could not be read or
// written), 2 the command line was wrong (nothing was written).
enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

enum class IntParse { Ok, NotANumber, OutOfRange };

// Decimal integer with an optional sign: OutOfRange when it is one but does
// not fit an int. *value is set only for Ok.
IntParse ParseInt(const QString& text, int* value);
// The same, with both failures as nullopt.
std::optional<int> ParseStrictInt(const QString& text);

class ArgumentReader {
public:
    ArgumentReader(QString command, QStringList args)
        : m_strCommand(std::move(command)), m_args(std::move(args)) {}

    bool AtEnd() const { return m_nAt >= m_args.size(); }
    QString Next() { return m_args[m_nAt++]; }
    // The value after option; a usage error when it is missing.
    QString Value(const QString& option);
    int IntValue(const QString& option, int min, int max);
    COLORREF ColorValue(const QString& option);
    // A --set argument split at its first '=' into name and value; a usage
    // error without a name before it.
    std::pair<QString, QString> NameValue(const QString& option, const QString& text) const;

    // W,H,ROWS,COLUMNS,BORDER: a table a GIF can cover (1 to 65535 pixels
    // a side), with no more rows or columns than pixels and a border of 0 to
    // 65535. One rule for every command that takes a table.
    void TableValue(const QString& option, int table[5]);

    [[noreturn]] void Fail(const QString& message) const;
    [[noreturn]] void BadValue(const QString& option, const QString& value,
                               const QString& expected) const;
    // "value 'V' for OPTION is out of range: expected a whole number from MIN
    // to MAX", a usage error like any other wrong value.
    [[noreturn]] void OutOfRange(const QString& option, const QString& value, qint64 min,
                                 qint64 max) const;

private:
    QString m_strCommand;
    QStringList m_args;
    qsizetype m_nAt = 0;
};

// Text wrapped at spaces to 80 columns, the first line starting after
// `used` columns, the others indented by `indent` spaces; and a list
// joined by ", " and wrapped the same way.
QString Wrap(const QString& text, int used, int indent);
QString WrapList(const QStringList& words, int used, int indent);

void PrintOut(const QString& text);
void PrintError(const QString& text);
