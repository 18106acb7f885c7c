#include "core/base/atomic_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

std::atomic<int> g_nFailCountdown{0};
std::atomic<int> g_nFailErrno{0};

// True when the test hook says this operation fails; errno is set as the
// failing system call would set it.
bool InjectedFailure() {
    int left = g_nFailCountdown.load();
    while (left > 0) {
        if (g_nFailCountdown.compare_exchange_weak(left, left - 1)) {
            if (left == 1) {
                errno = g_nFailErrno.load();
                return true;
            }
            return false;
        }
    }
    return false;
}

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Qt's own text when it has one, otherwise the system's for errno: a reason
// the user can act on ("No space left on device"), never "Unknown error".
QString ReasonOf(const QFileDevice& file, int savedErrno) {
    const QString text = file.errorString();
    if (!text.isEmpty() && text != QLatin1String("Unknown error"))
        return text;
    return ErrnoText(savedErrno != 0 ? savedErrno : EIO);
}

} // namespace

AtomicFile::AtomicFile(QString path) : m_strPath(std::move(path)) {}

AtomicFile::~AtomicFile() {
    Cancel();
}

void AtomicFile::FailForTesting(int nthOperation, int errorNumber) {
    g_nFailErrno = errorNumber;
    g_nFailCountdown = std::max(nthOperation, 0);
}

Status AtomicFile::CheckTarget(const QString& path) {
    if (path.isEmpty())
        return Status::Error(QStringLiteral("Cannot open "));
    const QFileInfo info(path);
    if (info.isDir())
        return Status::Error(QStringLiteral("Cannot open %1: it is a folder").arg(path));
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return Status::Error(QStringLiteral("Cannot open %1: the folder %2 does not exist")
                                 .arg(path, QDir::toNativeSeparators(folder.filePath())));
    if (!folder.isDir())
        return Status::Error(QStringLiteral("Cannot open %1: %2 is not a folder")
                                 .arg(path, QDir::toNativeSeparators(folder.filePath())));
    if (!folder.isWritable())
        return Status::Error(QStringLiteral("Cannot open %1: the folder %2 is not writable")
                                 .arg(path, QDir::toNativeSeparators(folder.filePath())));
    if (info.exists() && !info.isWritable())
        return Status::Error(QStringLiteral("Cannot open %1: the file is read-only").arg(path));
    return Status::Ok();
}

Status AtomicFile::Open() {
    Cancel();
    m_strError.clear();
    // An existing read-only file is refused like a file that cannot be
    // opened: renaming over it would silently defeat the protection.
    const QFileInfo info(m_strPath);
    if (m_strPath.isEmpty() || info.isDir() || (info.exists() && !info.isWritable()))
        return Status::Error(QStringLiteral("Cannot open ") + m_strPath);
    auto file = std::make_unique<QSaveFile>(m_strPath);
    // Writing in place when no temporary file can be made would give up the
    // very guarantee this class exists for.
    file->setDirectWriteFallback(false);
    // The cause goes with the message: a folder that is gone, a disk out of
    // room or of inodes for the temporary file.
    errno = 0;
    if (!file->open(QIODevice::WriteOnly))
        return Status::Error(
            QStringLiteral("Cannot open %1: %2").arg(m_strPath, ReasonOf(*file, errno)));
    m_pFile = std::move(file);
    return Status::Ok();
}

bool AtomicFile::Failed(const QString& reason) {
    if (m_strError.isEmpty())
        m_strError = reason;
    return false;
}

QFileDevice::FileError AtomicFile::error() const {
    return m_strError.isEmpty() ? QFileDevice::NoError : QFileDevice::WriteError;
}

bool AtomicFile::Write(const char* data, qint64 size) {
    if (!m_strError.isEmpty())
        return false;
    if (!m_pFile)
        return Failed(QStringLiteral("the file is not open"));
    if (InjectedFailure())
        return Failed(ErrnoText(errno));
    errno = 0;
    if (m_pFile->write(data, size) != size)
        return Failed(ReasonOf(*m_pFile, errno));
    return true;
}

bool AtomicFile::WriteAt(qint64 offset, const char* data, qint64 size) {
    if (!m_strError.isEmpty())
        return false;
    if (!m_pFile)
        return Failed(QStringLiteral("the file is not open"));
    const qint64 end = m_pFile->pos();
    if (offset < 0 || offset + size > end)
        return Failed(QStringLiteral("a write beyond what was written"));
    errno = 0;
    if (!m_pFile->seek(offset))
        return Failed(ReasonOf(*m_pFile, errno));
    const bool written = Write(data, size);
    errno = 0;
    if (!m_pFile->seek(end))
        return Failed(ReasonOf(*m_pFile, errno));
    return written;
}

Status AtomicFile::Commit() {
    if (!m_pFile)
        return Status::Error(QStringLiteral("Cannot write %1: %2")
                                 .arg(m_strPath, m_strError.isEmpty()
                                                     ? QStringLiteral("the file is not open")
                                                     : m_strError));
    // QSaveFile::commit() flushes too, but it renames even when that last
    // flush fails; so everything is flushed and synced here, where a failure
    // can still keep the old file.
    if (m_strError.isEmpty()) {
        errno = 0;
        if (InjectedFailure())
            Failed(ErrnoText(errno));
        else if (!m_pFile->flush())
            Failed(ReasonOf(*m_pFile, errno));
        else if (::fsync(m_pFile->handle()) != 0 && errno != EINVAL && errno != EROFS)
            Failed(ErrnoText(errno));
    }
    if (!m_strError.isEmpty()) {
        const QString reason = m_strError;
        Cancel();
        m_strError = reason;
        return Status::Error(QStringLiteral("Cannot write %1: %2").arg(m_strPath, reason));
    }
    errno = 0;
    const bool committed = m_pFile->commit();
    const QString reason = committed ? QString() : ReasonOf(*m_pFile, errno);
    m_pFile.reset();
    if (!committed)
        return Status::Error(QStringLiteral("Cannot write %1: %2").arg(m_strPath, reason));
    return Status::Ok();
}

void AtomicFile::Cancel() {
    if (!m_pFile)
        return;
    m_pFile->cancelWriting();
    m_pFile->commit(); // only removes the temporary file
    m_pFile.reset();
}
