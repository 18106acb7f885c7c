// The one way Velmora writes a file: into a temporary file beside the target,
// flushed and synced, and renamed over the target only when every byte
// reached the disk. A failed, cancelled or abandoned write leaves the
// previous file exactly as it was.
#pragma once

#include "core/base/status.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <memory>

class QSaveFile;

class AtomicFile {
public:
    explicit AtomicFile(QString path);
    ~AtomicFile(); // an uncommitted file is discarded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Whether the target can be written, checked before any work starts:
    // its folder exists and takes new files, and it is neither a folder nor
    // a read-only file. The message names the reason.
    static Status CheckTarget(const QString& path);

    // "Cannot open <path>" when the target is a folder or a read-only file;
    // "Cannot open <path>: <cause>" when the temporary file cannot be
    // created (the folder is gone, no space or inodes are left).
    Status Open();
    // False once any write failed; later writes are ignored, and Commit()
    // reports the first failure.
    bool Write(const char* data, qint64 size);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    // Writes over bytes already written (a header whose sizes are known
    // only at the end); later writes go on at the end. The same failures.
    bool WriteAt(qint64 offset, const char* data, qint64 size);
    // NoError until a write failed; then the reason, as QFileDevice reports
    // it.
    QFileDevice::FileError error() const;
    QString errorString() const { return m_strError; }

    // Flushes, syncs and renames over the target. On failure the message is
    // "Cannot write <path>: <reason>" and the target is untouched.
    Status Commit();
    // Drops the temporary file.
    void Cancel();

    const QString& path() const { return m_strPath; }

    // Test hook: the nth write or final flush from now (1 = the next) fails
    // with the given errno value, as a full disk would fail it. 0 turns it
    // off. Process-wide; meant for single-threaded tests.
    static void FailForTesting(int nthOperation, int errorNumber);

private:
    bool Failed(const QString& reason);

    QString m_strPath;
    std::unique_ptr<QSaveFile> m_pFile;
    QString m_strError;
};
