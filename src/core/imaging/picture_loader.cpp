#include "core/imaging/picture_loader.h"

#include "core/base/input_file.h"

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

// The JPEG decoder fills in what a cut file lacks and only warns: a few
// hundred bytes claiming 7000 x 7000 pixels would decode to a grey picture
// as large as any, and all the work after it spent on nothing. Its warnings
// are caught on the thread that reads, and a picture cut short is refused.
thread_local QString t_damage;
thread_local bool t_watching = false;
QtMessageHandler g_previousHandler = nullptr;

void WatchDecoderWarnings(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (t_watching && context.category &&
        QLatin1String(context.category).startsWith(QLatin1String("qt.gui.imageio"))) {
        if (t_damage.isEmpty() &&
            message.contains(QLatin1String("premature end"), Qt::CaseInsensitive))
            t_damage = message.trimmed();
        return;
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

// Decodes with the decoder's warnings watched; the first sign of a picture
// cut short, or empty.
QImage ReadWatched(QImageReader* reader, QString* damage) {
    static const bool installed =
        (g_previousHandler = qInstallMessageHandler(WatchDecoderWarnings), true);
    Q_UNUSED(installed);
    t_damage.clear();
    t_watching = true;
    QImage image = reader->read();
    t_watching = false;
    *damage = t_damage;
    return image;
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
    QString damage;
    const QImage loaded = ReadWatched(&reader, &damage);
    if (loaded.isNull())
        return fail(reader.errorString());
    if (!damage.isEmpty())
        return fail(QStringLiteral("the picture is cut short or damaged (%1)").arg(damage));
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
    QFile file;
    if (Status s = OpenInputFile(path, &file); !s)
        return s;
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
