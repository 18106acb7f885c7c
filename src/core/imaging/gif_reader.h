// Reads a GIF back the way a browser shows it: every frame composited on the
// canvas, with disposal and transparency honoured. A file is untrusted: its
// sizes are checked against a memory budget before anything is allocated.
#pragma once

#include "core/base/status.h"
#include "core/imaging/indexed_image.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

struct GifFrameInfo {
    int left = 0, top = 0, width = 0, height = 0;
    int delay = 0;
    int disposal = 0;
    int transparentIndex = -1;
    bool localColorTable = false;
    IndexedImage indices; // the frame's own pixels and its colour table
};

// An application extension other than the looping one: its 11-byte
// identifier and its sub-blocks joined.
struct GifApplicationExtension {
    QByteArray identifier;
    QByteArray data;
};

struct GifAnimation {
    QByteArray version; // "GIF87a" or "GIF89a"
    int width = 0, height = 0;
    PaletteColors globalPalette;
    int loops = -1; // -1: no looping extension
    QString comment;
    std::int64_t commentBytes = 0; // all of the comments' bytes, kept or not
    // The file ends after a complete block without the trailer byte, as a
    // cut download may: browsers show it, so it is read, and said.
    bool missingTrailer = false;
    std::vector<GifApplicationExtension> applications;
    std::vector<GifFrameInfo> frames;
    std::vector<QImage> composited; // ARGB32, canvas size, one per frame
};

// The memory a read may take when the caller names no limit: a quarter of
// the memory this process may use (the machine's, or less under an
// address-space limit), at most 2 GiB.
std::int64_t GifReadMemoryLimit();

// What describing a GIF may take: its frame list and its extensions, no
// pixels.
inline constexpr std::int64_t kGifOutlineMemoryLimit = std::int64_t(128) << 20;
// The comment text an outline keeps; the rest is only counted.
inline constexpr qsizetype kGifOutlineCommentChars = 4096;

// `memoryLimit` bounds what the decoded animation may take (the composited
// canvases, the frames' indices and their bookkeeping); 0 means
// GifReadMemoryLimit(). Beyond it the read fails and says why.
Status ReadGif(const QString& path, GifAnimation* animation, std::int64_t memoryLimit = 0);
Status ReadGifData(const QByteArray& data, GifAnimation* animation, const QString& name = {},
                   std::int64_t memoryLimit = 0);

// The GIF without its pixels, for describing it: the screen, every frame's
// place, delay, disposal and palette (their indices stay empty), the loop
// count, the comment (its first kGifOutlineCommentChars characters) and the
// application extensions. The file is read as a stream, never held whole,
// and its image data is skipped undecoded; everything kept counts against
// kGifOutlineMemoryLimit (or memoryLimit when given).
Status ReadGifOutline(const QString& path, GifAnimation* animation, std::int64_t memoryLimit = 0);
