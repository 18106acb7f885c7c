// The outcome of a core operation: success, or a message meant for the user
// (the UI shows it in a message box, the CLI prints it).
#pragma once

#include <QString>
#include <utility>

class Status {
public:
    Status() = default;
    static Status Ok() { return Status(); }
    static Status Error(QString message) {
        Status s;
        s.m_bOk = false;
        s.m_strMessage = std::move(message);
        return s;
    }

    bool ok() const { return m_bOk; }
    explicit operator bool() const { return m_bOk; }
    const QString& message() const { return m_strMessage; }

private:
    bool m_bOk = true;
    QString m_strMessage;
};
