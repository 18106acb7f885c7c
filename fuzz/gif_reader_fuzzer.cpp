// libFuzzer target: any bytes, given to the GIF reader and to picture
// loading. Neither may crash, hang or allocate without bound; what they
// accept must be consistent.
#include "core/imaging/gif_reader.h"
#include "core/imaging/picture_loader.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

// Lower than the desktop's budget, so that libFuzzer's memory limit catches
// anything that escapes the budget rather than the budget itself.
constexpr std::int64_t kFuzzMemoryLimit = 64 * 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Image format plugins (GIF, JPEG) are found through the application.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    GifAnimation gif;
    if (ReadGifData(bytes, &gif, QStringLiteral("fuzz.gif"), kFuzzMemoryLimit)) {
        if (gif.frames.empty() || gif.frames.size() != gif.composited.size())
            std::abort();
        for (const QImage& shown : gif.composited)
            if (shown.width() != gif.width || shown.height() != gif.height)
                std::abort();
    }
    QImage picture;
    if (LoadPictureData(bytes, &picture, QStringLiteral("fuzz")) &&
        (picture.isNull() || picture.format() != QImage::Format_RGB32 ||
         qint64(picture.width()) * picture.height() > kMaxPicturePixels))
        std::abort();
    return 0;
}
