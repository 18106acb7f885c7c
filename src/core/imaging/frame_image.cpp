#include "core/imaging/frame_image.h"

#include "core/base/huge_pages.h"

#include <cstdint>
#include <limits>

namespace {

void ReleaseFrame(void* info) {
    auto* block = static_cast<std::size_t*>(info);
    // The size sits in front of the pixels, in the block it was allocated with.
    FreeFrameMemory(block, block[0]);
}

} // namespace

QImage NewFrameImage(QSize size, QImage::Format format) {
    if (size.width() < 1 || size.height() < 1)
        return QImage();
    const int depth = format == QImage::Format_Indexed8 ? 1 : 4;
    // Qt's lines are whole 32-bit words.
    const std::uint64_t line = (std::uint64_t(size.width()) * depth + 3) & ~std::uint64_t(3);
    const std::uint64_t bytes = line * std::uint64_t(size.height());
    // Qt refuses lines beyond an int and images beyond its own limits; its
    // constructor says so by a null image, which the caller reports.
    if (line > std::uint64_t(std::numeric_limits<int>::max()) || bytes > (std::uint64_t(1) << 40))
        return QImage(size, format);
    // A 64-byte header keeps the pixels aligned as QImage's own are.
    constexpr std::size_t kHeader = 64;
    const std::size_t total = std::size_t(bytes) + kHeader;
    auto* block = static_cast<std::size_t*>(AllocateFrameMemory(total));
    if (!block)
        return QImage();
    block[0] = total;
    QImage image(reinterpret_cast<uchar*>(block) + kHeader, size.width(), size.height(),
                 qsizetype(line), format, ReleaseFrame, block);
    if (image.isNull())
        FreeFrameMemory(block, total);
    return image;
}

QImage AsRgb32(const QImage& frame) {
    if (frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32)
        return frame;
    return frame.convertToFormat(QImage::Format_RGB32);
}
