#include "core/imaging/gif_reader.h"

#include "core/base/input_file.h"
#include "core/base/limits.h"

#include <QBuffer>
#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// What a frame costs besides its pixels: giflib's record of it, its palette,
// our frame record and the composited image's header.
constexpr std::int64_t kFrameOverhead = 2048;
constexpr std::int64_t kMiB = 1024 * 1024;

// The file as giflib reads it, a piece at a time, and how far it got.
struct Source {
    QIODevice* device;
    std::int64_t size = 0;
    std::int64_t at = 0;
};

int ReadFromDevice(GifFileType* gif, GifByteType* out, int length) {
    auto* src = static_cast<Source*>(gif->UserData);
    const qint64 n = src->device->read(reinterpret_cast<char*>(out), length);
    if (n <= 0)
        return 0;
    src->at += n;
    return int(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

PaletteColors PaletteOf(const ColorMapObject* map) {
    PaletteColors palette;
    if (!map || !map->Colors)
        return palette;
    for (int i = 0; i < std::min(map->ColorCount, 256); ++i)
        palette.push_back(qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
    return palette;
}

QString Megabytes(std::int64_t bytes) {
    return QString::number((bytes + kMiB - 1) / kMiB);
}

// What a read keeps besides pixels, counted against its budget as it grows.
struct Budget {
    std::int64_t used = 0;
    std::int64_t limit = 0;
    bool outline = false; // comments are kept only in part
    bool Over() const { return used > limit; }
};

enum class ExtensionResult { Ok, GifError, OverBudget };

// Reads one extension and its sub-blocks, keeping what the reader uses: the
// graphic control block for the next image, the loop count, comments and
// other application extensions, every kept byte counted.
ExtensionResult ReadExtension(GifFileType* gif, GifAnimation* animation, GraphicsControlBlock* gcb,
                              bool* haveGcb, Budget* budget) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        return ExtensionResult::GifError;
    bool netscape = false;
    bool first = true;
    GifApplicationExtension* other = nullptr;
    while (block) {
        const int length = block[0];
        const GifByteType* bytes = block + 1;
        if (code == GRAPHICS_EXT_FUNC_CODE && first) {
            *haveGcb = length == 4 && DGifExtensionToGCB(4, bytes, gcb) == GIF_OK;
        } else if (code == APPLICATION_EXT_FUNC_CODE && first) {
            netscape = length == 11 && std::memcmp(bytes, "NETSCAPE2.0", 11) == 0;
            if (!netscape && length == 11) {
                animation->applications.push_back(
                    {QByteArray(reinterpret_cast<const char*>(bytes), 11), QByteArray()});
                other = &animation->applications.back();
                budget->used += 64 + 11;
            }
        } else if (code == APPLICATION_EXT_FUNC_CODE && other) {
            other->data.append(reinterpret_cast<const char*>(bytes), length);
            budget->used += length;
        } else if (code == APPLICATION_EXT_FUNC_CODE && netscape && length >= 3 && bytes[0] == 1) {
            animation->loops = bytes[1] | (bytes[2] << 8);
            netscape = false;
        } else if (code == COMMENT_EXT_FUNC_CODE) {
            animation->commentBytes += length;
            const qsizetype room =
                budget->outline
                    ? std::max<qsizetype>(0, kGifOutlineCommentChars - animation->comment.size())
                    : length;
            const qsizetype kept = std::min<qsizetype>(room, length);
            animation->comment += QString::fromLatin1(reinterpret_cast<const char*>(bytes), kept);
            // A QString holds two bytes a character.
            budget->used += 2 * kept;
        }
        if (budget->Over())
            return ExtensionResult::OverBudget;
        first = false;
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return ExtensionResult::GifError;
    }
    return ExtensionResult::Ok;
}

void Composite(const GifFrameInfo& info, const PaletteColors& palette, QImage* canvas) {
    const int x0 = std::max(0, info.left), x1 = std::min(canvas->width(), info.left + info.width);
    const int y0 = std::max(0, info.top), y1 = std::min(canvas->height(), info.top + info.height);
    for (int cy = y0; cy < y1; ++cy) {
        auto* row = reinterpret_cast<QRgb*>(canvas->scanLine(cy));
        const std::uint8_t* src = info.indices.Row(cy - info.top);
        for (int cx = x0; cx < x1; ++cx) {
            const int index = src[cx - info.left];
            if (index == info.transparentIndex)
                continue;
            row[cx] = std::size_t(index) < palette.size()
                          ? (palette[std::size_t(index)] | 0xFF000000u)
                          : 0xFF000000u;
        }
    }
}

// What the file's blocks add up to, found by walking them without decoding:
// enough to refuse an animation before anything is allocated for it. A file
// cut short just ends the walk; the decoding reports it.
struct Outline {
    std::int64_t frames = 0;
    std::int64_t framePixels = 0;
};

Outline OutlineOf(const QByteArray& data) {
    Outline outline;
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.constData());
    const std::int64_t size = data.size();
    std::int64_t at = 13;
    auto skipBlocks = [&] {
        while (at < size && p[at] != 0)
            at += p[at] + 1;
        ++at;
    };
    if (size < at)
        return outline;
    if (p[10] & 0x80)
        at += 3 * (std::int64_t(2) << (p[10] & 7));
    while (at < size) {
        const std::uint8_t introducer = p[at++];
        if (introducer == 0x21) {
            ++at; // the label
            skipBlocks();
        } else if (introducer == 0x2C && at + 9 <= size) {
            const int width = p[at + 4] | (p[at + 5] << 8);
            const int height = p[at + 6] | (p[at + 7] << 8);
            const std::uint8_t flags = p[at + 8];
            at += 9;
            if (flags & 0x80)
                at += 3 * (std::int64_t(2) << (flags & 7));
            ++at; // the code size
            skipBlocks();
            ++outline.frames;
            outline.framePixels += std::int64_t(width) * height;
        } else {
            break; // the trailer, or something the decoding will name
        }
    }
    return outline;
}

QString Frames(std::int64_t n) {
    return n == 1 ? QStringLiteral("1 frame") : QStringLiteral("%1 frames").arg(n);
}

// Reads the GIF from source. With pixels, every frame is decoded and
// composited; without, only the outline is kept and image data is skipped.
// `whole`, when given, is the entire file, walked first so that an
// animation beyond the budget is refused before anything is allocated.
Status Decode(Source* source, const QByteArray* whole, GifAnimation* animation, const QString& name,
              std::int64_t limit, bool pixels) {
    *animation = GifAnimation();
    auto fail = [&](const QString& why) {
        *animation = GifAnimation(); // nothing half-read is left behind
        return Status::Error(QStringLiteral("Cannot read %1: %2").arg(name, why));
    };
    auto giflibFail = [&](int error, int frame) {
        QString why = error == D_GIF_ERR_READ_FAILED && source->at >= source->size
                          ? QStringLiteral("the file ends early")
                          : QString::fromLatin1(GifErrorString(error) ? GifErrorString(error)
                                                                      : "unknown GIF error");
        if (frame >= 0)
            why = QStringLiteral("frame %1: %2").arg(frame + 1).arg(why);
        return fail(why);
    };
    const QString allowed = pixels ? QStringLiteral("allowed for its frames")
                                   : QStringLiteral("allowed for describing it");
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(source, ReadFromDevice, &error));
    if (!gif)
        return giflibFail(error, -1);

    if (whole)
        animation->version = whole->left(6);
    animation->width = gif->SWidth;
    animation->height = gif->SHeight;
    animation->globalPalette = PaletteOf(gif->SColorMap);
    if (animation->width <= 0 || animation->height <= 0)
        return fail(QStringLiteral("the logical screen is empty"));

    Budget budget;
    budget.limit = limit;
    budget.outline = !pixels;
    // The canvas and the copy shown for each frame are the big costs; refuse
    // before allocating what the header alone asks for.
    const std::int64_t canvasBytes =
        pixels ? std::int64_t(animation->width) * animation->height * 4 : 0;
    budget.used = 2 * canvasBytes; // the canvas and the one kept for disposal
    if (pixels && budget.used + canvasBytes > limit)
        return fail(QStringLiteral("its %1 x %2 screen needs %3 MB for each frame, more than the "
                                   "%4 MB %5")
                        .arg(animation->width)
                        .arg(animation->height)
                        .arg(Megabytes(canvasBytes), Megabytes(limit), allowed));
    if (whole) {
        const Outline outline = OutlineOf(*whole);
        const std::int64_t need = budget.used + outline.frames * (canvasBytes + kFrameOverhead) +
                                  (pixels ? outline.framePixels : 0);
        if (need > limit)
            return fail(QStringLiteral("its %1 on a %2 x %3 screen need %4 MB, more than the "
                                       "%5 MB %6")
                            .arg(Frames(outline.frames))
                            .arg(animation->width)
                            .arg(animation->height)
                            .arg(Megabytes(need), Megabytes(limit), allowed));
    }
    QImage canvas;
    if (pixels) {
        canvas = QImage(animation->width, animation->height, QImage::Format_ARGB32);
        if (canvas.isNull())
            return fail(QStringLiteral("out of memory for a %1 x %2 screen")
                            .arg(animation->width)
                            .arg(animation->height));
        canvas.fill(Qt::transparent);
    }

    GraphicsControlBlock gcb{};
    bool haveGcb = false;
    for (;;) {
        const int frame = int(animation->frames.size());
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        const std::int64_t blockStart = source->at;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
            // Cut after a complete block: what browsers show, so it is read.
            if (gif->Error == D_GIF_ERR_READ_FAILED && blockStart >= source->size &&
                !animation->frames.empty()) {
                animation->missingTrailer = true;
                break;
            }
            return giflibFail(gif->Error, -1);
        }
        if (type == TERMINATE_RECORD_TYPE)
            break;
        if (type == EXTENSION_RECORD_TYPE) {
            const ExtensionResult r = ReadExtension(gif.get(), animation, &gcb, &haveGcb, &budget);
            if (r == ExtensionResult::GifError)
                return giflibFail(gif->Error, -1);
            if (r == ExtensionResult::OverBudget)
                return fail(QStringLiteral("its comments and extensions after frame %1 take it "
                                           "past the %2 MB %3")
                                .arg(frame)
                                .arg(Megabytes(limit), allowed));
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            return fail(QStringLiteral("an unknown block follows frame %1").arg(frame));
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            return giflibFail(gif->Error, frame);
        const GifImageDesc& desc = gif->Image;
        GifFrameInfo info;
        info.left = desc.Left;
        info.top = desc.Top;
        info.width = desc.Width;
        info.height = desc.Height;
        if (info.width <= 0 || info.height <= 0)
            return fail(QStringLiteral("frame %1 has no pixels").arg(frame + 1));
        budget.used +=
            canvasBytes + kFrameOverhead + (pixels ? std::int64_t(info.width) * info.height : 0);
        if (budget.Over())
            return fail(QStringLiteral("frame %1 (%2 x %3) on a %4 x %5 screen takes it past the "
                                       "%6 MB %7")
                            .arg(frame + 1)
                            .arg(info.width)
                            .arg(info.height)
                            .arg(animation->width)
                            .arg(animation->height)
                            .arg(Megabytes(limit), allowed));
        if (haveGcb) {
            info.delay = gcb.DelayTime;
            info.disposal = gcb.DisposalMode;
            info.transparentIndex = gcb.TransparentColor;
        }
        haveGcb = false; // a control block governs only the image after it
        info.localColorTable = desc.ColorMap != nullptr;
        const PaletteColors palette =
            info.localColorTable ? PaletteOf(desc.ColorMap) : animation->globalPalette;
        if (pixels) {
            info.indices = IndexedImage(info.width, info.height);
            // Row by row: a whole frame's length may not fit giflib's int.
            if (desc.Interlace) {
                const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
                for (int pass = 0; pass < 4; ++pass)
                    for (int y = starts[pass]; y < info.height; y += steps[pass])
                        if (DGifGetLine(gif.get(), info.indices.Row(y), info.width) == GIF_ERROR)
                            return giflibFail(gif->Error, frame);
            } else {
                for (int y = 0; y < info.height; ++y)
                    if (DGifGetLine(gif.get(), info.indices.Row(y), info.width) == GIF_ERROR)
                        return giflibFail(gif->Error, frame);
            }
        } else {
            // Skipped undecoded: describing a frame needs none of its pixels.
            int codeSize = 0;
            GifByteType* block = nullptr;
            if (DGifGetCode(gif.get(), &codeSize, &block) == GIF_ERROR)
                return giflibFail(gif->Error, frame);
            while (block)
                if (DGifGetCodeNext(gif.get(), &block) == GIF_ERROR)
                    return giflibFail(gif->Error, frame);
            info.indices.width = info.width;
            info.indices.height = info.height;
        }
        info.indices.left = info.left;
        info.indices.top = info.top;
        info.indices.palette = palette;
        info.indices.transparentIndex = info.transparentIndex;
        info.indices.delay = info.delay;
        info.indices.disposal = info.disposal;

        if (pixels) {
            const QImage before = info.disposal == DISPOSE_PREVIOUS ? canvas.copy() : QImage();
            Composite(info, palette, &canvas);
            QImage shown = canvas.copy();
            if (shown.isNull() || (info.disposal == DISPOSE_PREVIOUS && before.isNull()))
                return fail(QStringLiteral("out of memory at frame %1").arg(frame + 1));
            animation->composited.push_back(std::move(shown));
            if (info.disposal == DISPOSE_BACKGROUND) {
                // Browsers clear to transparent, showing the page behind.
                for (int y = std::max(0, info.top);
                     y < std::min(canvas.height(), info.top + info.height); ++y) {
                    auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
                    for (int x = std::max(0, info.left);
                         x < std::min(canvas.width(), info.left + info.width); ++x)
                        row[x] = 0;
                }
            } else if (info.disposal == DISPOSE_PREVIOUS) {
                canvas = before;
            }
        }
        animation->frames.push_back(std::move(info));
    }
    if (animation->frames.empty())
        return fail(QStringLiteral("it holds no image"));
    return Status::Ok();
}

} // namespace

std::int64_t GifReadMemoryLimit() {
    std::int64_t limit = 2048 * kMiB;
    // The machine's memory and the process's own limits (RLIMIT_AS, ...).
    if (const qint64 usable = UsableMemoryBytes(); usable > 0)
        limit = std::min<std::int64_t>(limit, usable / 4);
    return std::max<std::int64_t>(limit, 16 * kMiB);
}

Status ReadGif(const QString& path, GifAnimation* animation, std::int64_t memoryLimit) {
    *animation = GifAnimation();
    // The file is held in memory while it is read, so it counts too.
    const std::int64_t limit = memoryLimit > 0 ? memoryLimit : GifReadMemoryLimit();
    QByteArray data;
    if (Status s = ReadInputFile(path, limit / 2, QStringLiteral("a GIF read whole"), &data); !s)
        return s;
    return ReadGifData(data, animation, path, limit - data.size());
}

Status ReadGifData(const QByteArray& data, GifAnimation* animation, const QString& name,
                   std::int64_t memoryLimit) {
    const std::int64_t limit = memoryLimit > 0 ? memoryLimit : GifReadMemoryLimit();
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return Status::Error(QStringLiteral("Cannot read %1").arg(name));
    Source source{&buffer, data.size()};
    return Decode(&source, &data, animation, name, limit, true);
}

Status ReadGifOutline(const QString& path, GifAnimation* animation, std::int64_t memoryLimit) {
    *animation = GifAnimation();
    QFile file;
    if (Status s = OpenInputFile(path, &file); !s)
        return s;
    const QByteArray version = file.peek(6);
    Source source{&file, file.size()};
    const Status s = Decode(&source, nullptr, animation, path,
                            memoryLimit > 0 ? memoryLimit : kGifOutlineMemoryLimit, false);
    if (s)
        animation->version = version;
    if (s && file.error() != QFileDevice::NoError)
        return Status::Error(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return s;
}
