#include "core/base/atomic_write.h"

#include "core/base/atomic_file.h"
#include "core/base/input_file.h"

#include <QFile>

Status WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    AtomicFile file(path);
    if (Status s = file.Open(); !s)
        return s;
    file.Write(bytes);
    return file.Commit();
}

Status CopyFileAtomically(const QString& source, const QString& target) {
    QFile in;
    if (Status s = OpenInputFile(source, &in); !s)
        return s;
    AtomicFile out(target);
    if (Status s = out.Open(); !s)
        return s;
    constexpr qint64 kChunk = qint64(1) << 20;
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), kChunk);
        if (n < 0)
            return Status::Error(
                QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()));
        if (n == 0)
            break;
        if (!out.Write(buffer.constData(), n))
            break; // Commit() reports it
    }
    return out.Commit();
}
