#include "imaging/gif_reader.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct Source {
    const QByteArray* data;
    qsizetype at = 0;
};

int ReadFromBuffer(GifFileType* gif, GifByteType* out, int length) {
    auto* src = static_cast<Source*>(gif->UserData);
    const qsizetype n = std::min<qsizetype>(length, src->data->size() - src->at);
    if (n <= 0)
        return 0;
    std::memcpy(out, src->data->constData() + src->at, std::size_t(n));
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
    if (!map)
        return palette;
    for (int i = 0; i < map->ColorCount; ++i)
        palette.push_back(qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
    return palette;
}

void ReadExtensions(const ExtensionBlock* blocks, int count, GifAnimation* animation) {
    for (int i = 0; i < count; ++i) {
        const ExtensionBlock& b = blocks[i];
        if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
            std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0 && i + 1 < count) {
            const ExtensionBlock& sub = blocks[i + 1];
            if (sub.Function == CONTINUE_EXT_FUNC_CODE && sub.ByteCount >= 3 && sub.Bytes[0] == 1)
                animation->loops = sub.Bytes[1] | (sub.Bytes[2] << 8);
        } else if (b.Function == COMMENT_EXT_FUNC_CODE) {
            animation->comment +=
                QString::fromLatin1(reinterpret_cast<const char*>(b.Bytes), b.ByteCount);
            for (int k = i + 1; k < count && blocks[k].Function == CONTINUE_EXT_FUNC_CODE; ++k)
                animation->comment += QString::fromLatin1(
                    reinterpret_cast<const char*>(blocks[k].Bytes), blocks[k].ByteCount);
        }
    }
}

} // namespace

Status ReadGif(const QString& path, GifAnimation* animation) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    return ReadGifData(file.readAll(), animation, path);
}

Status ReadGifData(const QByteArray& data, GifAnimation* animation, const QString& name) {
    *animation = GifAnimation();
    auto fail = [&](const QString& why) {
        return Status::Error(QStringLiteral("Cannot read %1: %2").arg(name, why));
    };
    Source source{&data};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadFromBuffer, &error));
    if (!gif)
        return fail(QString::fromLatin1(GifErrorString(error)));
    if (DGifSlurp(gif.get()) == GIF_ERROR)
        return fail(QString::fromLatin1(GifErrorString(gif->Error)));

    animation->version = data.left(6);
    animation->width = gif->SWidth;
    animation->height = gif->SHeight;
    animation->globalPalette = PaletteOf(gif->SColorMap);
    if (animation->width <= 0 || animation->height <= 0)
        return fail(QStringLiteral("the logical screen is empty"));

    QImage canvas(animation->width, animation->height, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    for (int f = 0; f < gif->ImageCount; ++f) {
        const SavedImage& saved = gif->SavedImages[f];
        ReadExtensions(saved.ExtensionBlocks, saved.ExtensionBlockCount, animation);
        GifFrameInfo info;
        info.left = saved.ImageDesc.Left;
        info.top = saved.ImageDesc.Top;
        info.width = saved.ImageDesc.Width;
        info.height = saved.ImageDesc.Height;
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif.get(), f, &gcb) == GIF_OK) {
            info.delay = gcb.DelayTime;
            info.disposal = gcb.DisposalMode;
            info.transparentIndex = gcb.TransparentColor;
        }
        info.localColorTable = saved.ImageDesc.ColorMap != nullptr;
        const PaletteColors palette =
            info.localColorTable ? PaletteOf(saved.ImageDesc.ColorMap) : animation->globalPalette;
        info.indices = IndexedImage(info.width, info.height);
        std::memcpy(info.indices.pixels.data(), saved.RasterBits,
                    std::size_t(info.width) * std::size_t(info.height));
        info.indices.palette = palette;
        info.indices.transparentIndex = info.transparentIndex;
        info.indices.delay = info.delay;
        info.indices.disposal = info.disposal;

        const QImage before = info.disposal == DISPOSE_PREVIOUS ? canvas.copy() : QImage();
        for (int y = 0; y < info.height; ++y) {
            const int cy = info.top + y;
            if (cy < 0 || cy >= canvas.height())
                continue;
            auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(cy));
            const std::uint8_t* src = info.indices.Row(y);
            for (int x = 0; x < info.width; ++x) {
                const int cx = info.left + x;
                if (cx < 0 || cx >= canvas.width() || src[x] == info.transparentIndex)
                    continue;
                row[cx] = src[x] < palette.size() ? (palette[src[x]] | 0xFF000000u) : 0xFF000000u;
            }
        }
        animation->composited.push_back(canvas.copy());
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
        animation->frames.push_back(std::move(info));
    }
    // Extensions after the last image (a trailing comment) land here.
    ReadExtensions(gif->ExtensionBlocks, gif->ExtensionBlockCount, animation);
    return Status::Ok();
}
