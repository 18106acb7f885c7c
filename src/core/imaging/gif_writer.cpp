#include "core/imaging/gif_writer.h"

#include "core/base/atomic_file.h"
#include "core/imaging/lzw_encoder.h"

#include <gif_lib.h>

#include <algorithm>

namespace {

struct ColorMapDeleter {
    void operator()(ColorMapObject* p) const { GifFreeMapObject(p); }
};
using ColorMapPtr = std::unique_ptr<ColorMapObject, ColorMapDeleter>;

int WriteToSaveFile(GifFileType* gif, const GifByteType* data, int length) {
    auto* file = static_cast<AtomicFile*>(gif->UserData);
    return file->Write(reinterpret_cast<const char*>(data), length) ? length : -1;
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
    std::unique_ptr<AtomicFile> file;
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
        file.reset(); // drops the temporary file
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
    d->file = std::make_unique<AtomicFile>(path);
    if (Status s = d->file->Open(); !s) {
        d->file.reset();
        return s;
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
    if (!options.applicationId.isEmpty()) {
        if (options.applicationId.size() != 11)
            return d->Fail(QStringLiteral("an application extension needs an 11-byte name"));
        if (EGifPutExtensionLeader(d->gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
            EGifPutExtensionBlock(d->gif, 11, options.applicationId.constData()) == GIF_ERROR)
            return d->Fail(GifMessage(d->gif->Error));
        const QByteArray& data = options.applicationData;
        for (qsizetype at = 0; at < data.size(); at += 255) {
            const int length = int(std::min<qsizetype>(255, data.size() - at));
            if (EGifPutExtensionBlock(d->gif, length, data.constData() + at) == GIF_ERROR)
                return d->Fail(GifMessage(d->gif->Error));
        }
        if (EGifPutExtensionTrailer(d->gif) == GIF_ERROR)
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
    // giflib keeps its own copy of the last local table and, given none for
    // this frame, drops the pointer without freeing it: a frame on the
    // global table after one with a table of its own leaked the copy.
    if (!local && d->gif->Image.ColorMap) {
        GifFreeMapObject(d->gif->Image.ColorMap);
        d->gif->Image.ColorMap = nullptr;
    }
    GifByteType extension[4];
    EGifGCBToExtension(&gcb, extension);
    if (EGifPutExtension(d->gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR ||
        EGifPutImageDesc(d->gif, frame.left, frame.top, frame.width, frame.height, false,
                         local.get()) == GIF_ERROR)
        return d->Fail(GifMessage(d->gif->Error));
    // Every frame's data comes from our encoder, whose streams the strictest
    // decoders read; giflib has already written the code size, the blocks
    // follow as they are, then the empty block that ends the image.
    std::vector<std::uint8_t> encoded;
    if (!lzwBlocks) {
        if (frame.pixels.size() != std::size_t(frame.width) * std::size_t(frame.height))
            return d->Fail(QStringLiteral("a %1 x %2 frame holds %3 pixels")
                               .arg(frame.width)
                               .arg(frame.height)
                               .arg(frame.pixels.size()));
        for (std::uint8_t index : frame.pixels)
            if (index >= d->colors)
                return d->Fail(QStringLiteral("a pixel refers to colour %1 of a %2-colour table")
                                   .arg(index)
                                   .arg(d->colors));
        encoded = LzwEncode(frame.pixels.data(), frame.pixels.size(), MinCodeSize());
        lzwBlocks = &encoded;
    }
    const std::vector<std::uint8_t>& blocks = *lzwBlocks;
    // A length byte that overran the data would make giflib read past it.
    for (std::size_t at = 0; at < blocks.size(); at += std::size_t(blocks[at]) + 1) {
        if (blocks[at] == 0 || blocks.size() - at < std::size_t(blocks[at]) + 1)
            return d->Fail(QStringLiteral("the compressed frame is malformed"));
    }
    for (std::size_t at = 0; at < blocks.size(); at += std::size_t(blocks[at]) + 1) {
        if (EGifPutCodeNext(d->gif, blocks.data() + at) == GIF_ERROR)
            return d->Fail(GifMessage(d->gif->Error));
    }
    if (EGifPutCodeNext(d->gif, nullptr) == GIF_ERROR)
        return d->Fail(GifMessage(d->gif->Error));
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
    // Commit flushes and syncs first: a disk that fills up at the very end
    // still keeps the previous file.
    const Status committed = d->file->Commit();
    d->file.reset();
    return committed;
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
