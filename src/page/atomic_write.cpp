#include "page/atomic_write.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

Status WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    if (path.isEmpty())
        return Status::Error(QStringLiteral("Cannot open ") + path);
    // An existing read-only file is refused like a file that cannot be
    // opened: renaming over it would silently defeat the protection.
    QFileInfo info(path);
    if (info.isDir() || (info.exists() && !info.isWritable()))
        return Status::Error(QStringLiteral("Cannot open ") + path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::Error(QStringLiteral("Cannot open ") + path);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        file.commit();
        return Status::Error(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    if (!file.commit())
        return Status::Error(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return Status::Ok();
}

Status CopyFileAtomically(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Status::Error(QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()));
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return Status::Error(QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()));
    return WriteFileAtomically(target, bytes);
}
