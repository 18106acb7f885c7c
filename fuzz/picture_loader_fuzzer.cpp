// libFuzzer target: any bytes as a picture, in both the cell patterns' four
// formats and every format Qt reads for Dynamic Picture. Loading may not
// crash, hang or decode past its pixel budget.
#include "core/imaging/picture_loader.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Image format plugins (GIF, JPEG) are found through the application.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const PictureFormats formats : {PictureFormats::Common, PictureFormats::AnyReadable}) {
        QImage picture;
        if (LoadPictureData(bytes, &picture, QStringLiteral("fuzz"), formats) &&
            (picture.isNull() || picture.format() != QImage::Format_RGB32 ||
             qint64(picture.width()) * picture.height() > kMaxPicturePixels))
            std::abort();
    }
    return 0;
}
