#include "imaging/picture_loader.h"

#include <QFileInfo>
#include <QImageReader>

Status LoadPicture(const QString& path, QImage* image, PictureFormats formats) {
    const QFileInfo info(path);
    if (!info.exists())
        return Status::Error(QStringLiteral("Cannot open %1: the file does not exist").arg(path));
    if (info.isDir())
        return Status::Error(QStringLiteral("Cannot open %1: it is a folder").arg(path));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format().toLower();
    if (format.isEmpty())
        return Status::Error(
            formats == PictureFormats::Common
                ? QStringLiteral("Cannot open %1: not a BMP, PNG, JPEG or GIF picture").arg(path)
                : QStringLiteral("Cannot open %1: not a picture this program can read").arg(path));
    if (formats == PictureFormats::Common && format != "bmp" && format != "png" &&
        format != "jpeg" && format != "jpg" && format != "gif")
        return Status::Error(QStringLiteral("Cannot open %1: %2 pictures are not supported")
                                 .arg(path, QString::fromLatin1(format.toUpper())));
    QImage loaded = reader.read();
    if (loaded.isNull())
        return Status::Error(QStringLiteral("Cannot open %1: %2").arg(path, reader.errorString()));
    *image = loaded.convertToFormat(QImage::Format_RGB32);
    return Status::Ok();
}
