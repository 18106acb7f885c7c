// The outcome of a core operation: success, or a message meant for the user
// (the UI shows it in a message box, the CLI prints it) and its kind: the
// values asked for cannot be done, or the work failed (a file, memory).
#pragma once

#include <QString>
#include <utility>

class Status {
public:
    // A failure is the world's doing (a file that cannot be read or
    // written, memory that ran short, a cancel); a wrong value is the
    // request's (a frame larger than a GIF holds, more work than a save may
    // do), refused before any work and fixed by asking for something else.
    enum class Kind { Failure, WrongValue };

    Status() = default;
    static Status Ok() { return Status(); }
    static Status Error(QString message) { return Failed(Kind::Failure, std::move(message)); }
    static Status WrongValue(QString message) {
        return Failed(Kind::WrongValue, std::move(message));
    }

    bool ok() const { return m_bOk; }
    explicit operator bool() const { return m_bOk; }
    const QString& message() const { return m_strMessage; }
    // Meaningful only when !ok().
    Kind kind() const { return m_kind; }
    bool IsWrongValue() const { return !m_bOk && m_kind == Kind::WrongValue; }

private:
    static Status Failed(Kind kind, QString message) {
        Status s;
        s.m_bOk = false;
        s.m_kind = kind;
        s.m_strMessage = std::move(message);
        return s;
    }

    bool m_bOk = true;
    Kind m_kind = Kind::Failure;
    QString m_strMessage;
};
