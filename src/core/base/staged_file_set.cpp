#include "core/base/staged_file_set.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

StagedFileSet::~StagedFileSet() {
    Cancel();
}

QString StagedFileSet::Stage(const QString& target, Status* status) {
    const QFileInfo info(target);
    // A hidden name that says whose it is, should a crash leave it behind.
    QTemporaryFile reserve(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                           QStringLiteral(".XXXXXX.part"));
    reserve.setAutoRemove(false);
    if (!reserve.open()) {
        *status =
            Status::Error(QStringLiteral("Cannot open %1: %2").arg(target, reserve.errorString()));
        return QString();
    }
    const QString staged = reserve.fileName();
    reserve.close();
    // The new file gets the permissions the target would get when written
    // directly: the target's own, or the usual ones for a new file.
    mode_t mode = 0666;
    struct stat existing {};
    if (::stat(QFile::encodeName(target).constData(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    m_entries.push_back({target, staged, mode});
    *status = Status::Ok();
    return staged;
}

Status StagedFileSet::Commit() {
    QStringList replaced;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        // Set last: the file was written over in between, keeping its mode.
        ::chmod(QFile::encodeName(e.staged).constData(), e.mode);
        if (std::rename(QFile::encodeName(e.staged).constData(),
                        QFile::encodeName(e.target).constData()) != 0) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            m_entries.erase(m_entries.begin(), m_entries.begin() + qsizetype(i));
            Cancel();
            QString message = QStringLiteral("Cannot write %1: %2").arg(e.target, reason);
            if (!replaced.isEmpty())
                message += QStringLiteral(" (already replaced: %1)")
                               .arg(replaced.join(QStringLiteral(", ")));
            return Status::Error(message);
        }
        replaced << e.target;
    }
    m_entries.clear();
    return Status::Ok();
}

Status StagedFileSet::Named(const Status& status) const {
    if (status)
        return status;
    QString message = status.message();
    for (const Entry& e : m_entries)
        message.replace(e.staged, e.target);
    return status.IsWrongValue() ? Status::WrongValue(message) : Status::Error(message);
}

void StagedFileSet::Cancel() {
    for (const Entry& e : m_entries)
        QFile::remove(e.staged);
    m_entries.clear();
}
