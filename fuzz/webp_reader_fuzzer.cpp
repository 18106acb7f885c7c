// libFuzzer target: any bytes as an animated WebP, read as `info` reads it
// (the outline) and as reopening reads it (every frame). Neither may crash,
// hang or decode past its budget; what is accepted must be whole.
#include "core/imaging/webp_reader.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Well below libFuzzer's own memory limit, so that a read escaping the
// budget shows as an out-of-memory finding rather than hiding inside it.
constexpr std::int64_t kFuzzMemoryLimit = 64 * 1024 * 1024;

void Check(bool holds) {
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    WebpAnimation outline;
    const bool outlined =
        bool(ReadWebpData(bytes, &outline, false, QStringLiteral("fuzz.webp"), kFuzzMemoryLimit));
    if (outlined) {
        Check(outline.width >= 1 && outline.height >= 1);
        Check(!outline.durations.empty() && outline.durations.size() == outline.lossless.size());
        Check(outline.frames.empty());
    }
    WebpAnimation full;
    if (ReadWebpData(bytes, &full, true, QStringLiteral("fuzz.webp"), kFuzzMemoryLimit)) {
        // Pixels are read only from what the outline accepts, and agree
        // with it.
        Check(outlined);
        Check(full.width == outline.width && full.height == outline.height);
        Check(full.frames.size() == outline.durations.size());
        for (const QImage& frame : full.frames)
            Check(frame.width() == full.width && frame.height() == full.height &&
                  frame.format() == QImage::Format_ARGB32);
    }
    return 0;
}
