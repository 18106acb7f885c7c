#include "imaging/gif_writer.h"

#include "imaging/lzw_encoder.h"

#include <QFileInfo>
#include <QSaveFile>

#include <gif_lib.h>

#include <algorithm>

namespace {

struct ColorMapDeleter {
    void operator()(ColorMapObject* p) const { GifFreeMapObject(p); }
};
using ColorMapPtr = std::unique_ptr<ColorMapObject, ColorMapDeleter>;

int WriteToSaveFile(GifFileType* gif, const GifByteType* data, int length) {
    auto* file = static_cast<QSaveFile*>(gif->UserData);
    return int(file->write(reinterpret_cast<const char*>(data), length));
}

// The colour table is padded with black to the power of two GIF requires;
// giflib's minimum is 2 entries.
ColorMapPtr MakeColorMap(const PaletteColors& palette) {
    int bits = 1;
    while ((1 << bits) < int(palette.size()) && bits < 8)
        ++bits;
    ColorMapPtr map(GifMakeMapObject(1 << bits, nullptr));
    if (!map)
        return map;
    for (int i = 0; i < (1 << bits); ++i) {
        const QRgb c = i < int(palette.size()) ? palette[i] : qRgb(0, 0, 0);
        map->Colors[i] =
            GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    return map;
}

QString GifMessage(int code) {
    const char* text = GifErrorString(code);
    return text ? QString::fromLatin1(text) : QStringLiteral("GIF error %1").arg(code);
}

} // namespace

struct GifWriter::Impl {
    std::unique_ptr<QSaveFile> file;
    GifFileType* gif = nullptr;
    QString path;
    int width = 0;
    int height = 0;
    int colors = 0;
    PaletteColors global; // a frame with another palette carries it as a local table

    Status Fail(const QString& what) {
        QString reason = what;
        if (file && file->error() != QFileDevice::NoError)
            reason = file->errorString();
        Discard();
        return Status::Error(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    void Discard() {
        if (gif) {
            int error = 0;
            EGifCloseFile(gif, &error);
            gif = nullptr;
        }
        if (file) {
            file->cancelWriting();
            file->commit(); // only removes the temporary file
            file.reset();
        }
    }
};

GifWriter::GifWriter() : d(std::make_unique<Impl>()) {}

GifWriter::~GifWriter() {
    d->Discard();
}

void GifWriter::Cancel() {
    d->Discard();
}

Status GifWriter::Open(const QString& path, int width, int height, const PaletteColors& palette,
                       const GifFileOptions& options) {
    d->Discard();
    d->path = path;
    d->width = width;
    d->height = height;
    if (width < 1 || height < 1 || width > 65535 || height > 65535)
        return Status::Error(QStringLiteral("Cannot write %1: a GIF image cannot be %2 x %3 pixels")
                                 .arg(path)
                                 .arg(width)
                                 .arg(height));
    if (palette.empty() || palette.size() > 256)
        return Status::Error(QStringLiteral("Cannot write %1: the palette has %2 colours")
                                 .arg(path)
                                 .arg(palette.size()));
    QFileInfo info(path);
    if (path.isEmpty() || info.isDir() || (info.exists() && !info.isWritable()))
        return Status::Error(QStringLiteral("Cannot open ") + path);
    d->file = std::make_unique<QSaveFile>(path);
    if (!d->file->open(QIODevice::WriteOnly)) {
        d->file.reset();
        return Status::Error(QStringLiteral("Cannot open ") + path);
    }
    int error = 0;
    d->gif = EGifOpen(d->file.get(), WriteToSaveFile, &error);
    if (!d->gif)
        return d->Fail(GifMessage(error));
    EGifSetGifVersion(d->gif, true);
    ColorMapPtr map = MakeColorMap(palette);
    if (!map)
        return d->Fail(QStringLiteral("out of memory"));
    d->colors = map->ColorCount;
    d->global = palette;
    if (EGifPutScreenDesc(d->gif, width, height, 8, 0, map.get()) == GIF_ERROR)
        return d->Fail(GifMessage(d->gif->Error));

    if (options.loopExtension) {
        const unsigned char id[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        const int loops = std::clamp(options.loops, 0, 65535);
        const unsigned char data[] = {1, GifByteType(loops & 0xFF), GifByteType(loops >> 8)};
        if (EGifPutExtensionLeader(d->gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
            EGifPutExtensionBlock(d->gif, sizeof id, id) == GIF_ERROR ||
            EGifPutExtensionBlock(d->gif, sizeof data, data) == GIF_ERROR ||
            EGifPutExtensionTrailer(d->gif) == GIF_ERROR)
            return d->Fail(GifMessage(d->gif->Error));
    }
    if (!options.comment.isEmpty()) {
        // Comment blocks carry at most 255 bytes each.
        const QByteArray text = options.comment.toLatin1();
        if (EGifPutExtensionLeader(d->gif, COMMENT_EXT_FUNC_CODE) == GIF_ERROR)
            return d->Fail(GifMessage(d->gif->Error));
        for (qsizetype at = 0; at < text.size(); at += 255) {
            const int length = int(std::min<qsizetype>(255, text.size() - at));
            if (EGifPutExtensionBlock(d->gif, length, text.constData() + at) == GIF_ERROR)
                return d->Fail(GifMessage(d->gif->Error));
        }
        if (EGifPutExtensionTrailer(d->gif) == GIF_ERROR)
            return d->Fail(GifMessage(d->gif->Error));
    }
    return Status::Ok();
}

int GifWriter::MinCodeSize() const {
    return GifMinCodeSize(d->colors);
}

Status GifWriter::WriteFrame(const IndexedImage& frame,
                             const std::vector<std::uint8_t>* lzwBlocks) {
    if (!d->gif)
        return Status::Error(QStringLiteral("Cannot write %1: the file is not open").arg(d->path));
    if (frame.left < 0 || frame.top < 0 || frame.width < 1 || frame.height < 1 ||
        frame.left + frame.width > d->width || frame.top + frame.height > d->height)
        return d->Fail(QStringLiteral("a frame of %1 x %2 at %3, %4 in a %5 x %6 animation")
                           .arg(frame.width)
                           .arg(frame.height)
                           .arg(frame.left)
                           .arg(frame.top)
                           .arg(d->width)
                           .arg(d->height));
    GraphicsControlBlock gcb;
    gcb.DisposalMode = std::clamp(frame.disposal, 0, 3);
    gcb.UserInputFlag = false;
    gcb.DelayTime = std::clamp(frame.delay, 0, 65535);
    gcb.TransparentColor = frame.transparentIndex >= 0 && frame.transparentIndex < d->colors
                               ? frame.transparentIndex
                               : NO_TRANSPARENT_COLOR;
    // A local table has the global one's size, so that both give the image
    // data the same code size.
    ColorMapPtr local;
    if (!frame.palette.empty() && frame.palette != d->global) {
        if (int(frame.palette.size()) > d->colors)
            return d->Fail(QStringLiteral("a frame's palette of %1 colours in a file of %2")
                               .arg(frame.palette.size())
                               .arg(d->colors));
        PaletteColors padded = frame.palette;
        padded.resize(std::size_t(d->colors), qRgb(0, 0, 0));
        local = MakeColorMap(padded);
        if (!local)
            return d->Fail(QStringLiteral("out of memory"));
    }
    GifByteType extension[4];
    EGifGCBToExtension(&gcb, extension);
    if (EGifPutExtension(d->gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR ||
        EGifPutImageDesc(d->gif, frame.left, frame.top, frame.width, frame.height, false,
                         local.get()) == GIF_ERROR)
        return d->Fail(GifMessage(d->gif->Error));
    if (lzwBlocks) {
        // giflib has already written the code size; the blocks follow as
        // they are, then the empty block that ends the image.
        for (std::size_t at = 0; at < lzwBlocks->size(); at += std::size_t((*lzwBlocks)[at]) + 1) {
            if (EGifPutCodeNext(d->gif, lzwBlocks->data() + at) == GIF_ERROR)
                return d->Fail(GifMessage(d->gif->Error));
        }
        if (EGifPutCodeNext(d->gif, nullptr) == GIF_ERROR)
            return d->Fail(GifMessage(d->gif->Error));
    } else {
        // giflib's line writer takes a non-const buffer but does not change it.
        auto* pixels = const_cast<GifPixelType*>(frame.pixels.data());
        if (EGifPutLine(d->gif, pixels, frame.width * frame.height) == GIF_ERROR)
            return d->Fail(GifMessage(d->gif->Error));
    }
    if (d->file->error() != QFileDevice::NoError)
        return d->Fail(d->file->errorString());
    return Status::Ok();
}

Status GifWriter::Finish() {
    if (!d->gif)
        return Status::Error(QStringLiteral("Cannot write %1: the file is not open").arg(d->path));
    int error = 0;
    const int closed = EGifCloseFile(d->gif, &error);
    d->gif = nullptr;
    if (closed == GIF_ERROR)
        return d->Fail(GifMessage(error));
    if (!d->file->commit()) {
        const QString reason = d->file->errorString();
        d->file.reset();
        return Status::Error(QStringLiteral("Cannot write %1: %2").arg(d->path, reason));
    }
    d->file.reset();
    return Status::Ok();
}

Status GifWriter::WriteStill(const QString& path, const IndexedImage& image) {
    GifWriter writer;
    GifFileOptions options;
    options.loopExtension = false;
    if (Status s = writer.Open(path, image.width, image.height, image.palette, options); !s)
        return s;
    if (Status s = writer.WriteFrame(image); !s)
        return s;
    return writer.Finish();
}

Status SaveCellMaskGif(const QString& path, const CellMask& mask, COLORREF cellColor) {
    if (mask.IsEmpty())
        return Status::Error(
            QStringLiteral("Cannot write %1: the cell pattern is empty").arg(path));
    return GifWriter::WriteStill(path, mask.ToIndexedImage(cellColor));
}
