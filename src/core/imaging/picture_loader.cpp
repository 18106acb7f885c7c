#include "core/imaging/picture_loader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {

// Qt's own ceiling on one decoded image, in MB: the largest picture we take,
// as 32-bit pixels, just fits below it.
constexpr int kAllocationLimitMb = int(kMaxPicturePixels * 4 / (1024 * 1024)) + 1;

QString TooLarge(QSize size) {
    return QStringLiteral("the picture is %1 x %2 pixels, more than the %3 million a picture may "
                          "have")
        .arg(size.width())
        .arg(size.height())
        .arg(kMaxPicturePixels / 1'000'000);
}

Status Load(QIODevice* device, QImage* image, const QString& name, PictureFormats formats) {
    auto fail = [&](const QString& why) {
        return Status::Error(QStringLiteral("Cannot open %1: %2").arg(name, why));
    };
    // Process-wide in Qt; set once, before the first read.
    static const bool limited = (QImageReader::setAllocationLimit(kAllocationLimitMb), true);
    Q_UNUSED(limited);
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format().toLower();
    if (format.isEmpty())
        return fail(formats == PictureFormats::Common
                        ? QStringLiteral("not a BMP, PNG, JPEG or GIF picture")
                        : QStringLiteral("not a picture this program can read"));
    if (formats == PictureFormats::Common && format != "bmp" && format != "png" &&
        format != "jpeg" && format != "jpg" && format != "gif")
        return fail(QStringLiteral("%1 pictures are not supported")
                        .arg(QString::fromLatin1(format.toUpper())));
    // The header's size, when the format tells it before decoding. Qt
    // reports a GIF's first frame, but decodes onto the whole logical screen,
    // whose size the first bytes hold.
    QSize size = reader.size();
    if (format == "gif") {
        const QByteArray head = device->peek(10);
        if (head.size() == 10)
            size = QSize(quint8(head[6]) | (quint8(head[7]) << 8),
                         quint8(head[8]) | (quint8(head[9]) << 8));
    }
    if (size.isValid()) {
        if (size.isEmpty())
            return fail(QStringLiteral("the picture is empty"));
        if (qint64(size.width()) * size.height() > kMaxPicturePixels)
            return fail(TooLarge(size));
    }
    const QImage loaded = reader.read();
    if (loaded.isNull())
        return fail(reader.errorString());
    if (qint64(loaded.width()) * loaded.height() > kMaxPicturePixels)
        return fail(TooLarge(loaded.size()));
    QImage converted = loaded.convertToFormat(QImage::Format_RGB32);
    if (converted.isNull())
        return fail(QStringLiteral("out of memory"));
    *image = std::move(converted);
    return Status::Ok();
}

} // namespace

Status LoadPicture(const QString& path, QImage* image, PictureFormats formats) {
    const QFileInfo info(path);
    if (!info.exists())
        return Status::Error(QStringLiteral("Cannot open %1: the file does not exist").arg(path));
    if (info.isDir())
        return Status::Error(QStringLiteral("Cannot open %1: it is a folder").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    return Load(&file, image, path, formats);
}

Status LoadPictureData(const QByteArray& data, QImage* image, const QString& name,
                       PictureFormats formats) {
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return Status::Error(QStringLiteral("Cannot open %1").arg(name));
    return Load(&buffer, image, name, formats);
}
