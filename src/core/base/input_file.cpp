#include "core/base/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a FIFO (named pipe), not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is not a regular file");
}

Status CannotOpen(const QString& path, const QString& why) {
    return Status::Error(QStringLiteral("Cannot open %1: %2").arg(path, why));
}

} // namespace

Status OpenInputFile(const QString& path, QFile* file) {
    if (path.isEmpty())
        return CannotOpen(path, QStringLiteral("no file was named"));
    // Qt resources are compiled in and always regular.
    if (path.startsWith(QLatin1Char(':'))) {
        file->setFileName(path);
        if (!file->open(QIODevice::ReadOnly))
            return CannotOpen(path, file->errorString());
        return Status::Ok();
    }
    // O_NONBLOCK keeps the open of a FIFO without a writer from waiting; the
    // descriptor is checked before anything is read from it.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return CannotOpen(path, QStringLiteral("the file does not exist"));
        return CannotOpen(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const QString why = ::fstat(fd, &info) != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                                    : KindOf(info.st_mode);
        ::close(fd);
        return CannotOpen(path, why);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file->setFileName(path);
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return CannotOpen(path, file->errorString());
    }
    return Status::Ok();
}

QString ByteLimitText(qint64 bytes) {
    constexpr qint64 kKiB = 1024, kMiB = kKiB * 1024;
    if (bytes >= kMiB)
        return QStringLiteral("%1 MB").arg((bytes + kMiB - 1) / kMiB);
    return QStringLiteral("%1 KB").arg((bytes + kKiB - 1) / kKiB);
}

Status ReadInputFile(const QString& path, qint64 maxBytes, const QString& what, QByteArray* bytes) {
    bytes->clear();
    QFile file;
    if (Status s = OpenInputFile(path, &file); !s)
        return s;
    auto tooLarge = [&] {
        return Status::Error(QStringLiteral("Cannot read %1: the file is larger than the %2 %3 "
                                            "may have")
                                 .arg(path, ByteLimitText(maxBytes), what));
    };
    if (file.size() > maxBytes)
        return tooLarge();
    // Read a piece at a time up to one byte past the limit, which tells a
    // file that grew past it; nothing is allocated for what is not there.
    QByteArray data;
    data.reserve(file.size());
    constexpr qint64 kChunk = qint64(1) << 20;
    for (;;) {
        const qint64 want = std::min(kChunk, maxBytes + 1 - data.size());
        if (want <= 0)
            return tooLarge();
        const qsizetype at = data.size();
        data.resize(at + want);
        const qint64 n = file.read(data.data() + at, want);
        if (n < 0)
            return Status::Error(
                QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
        data.resize(at + n);
        if (n == 0)
            break;
    }
    *bytes = std::move(data);
    return Status::Ok();
}
