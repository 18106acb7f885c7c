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
    std::vector<GifApplicationExtension> applications;
    std::vector<GifFrameInfo> frames;
    std::vector<QImage> composited; // ARGB32, canvas size, one per frame
};

// The memory a read may take when the caller names no limit: a quarter of
// the machine's memory, at most 2 GiB.
std::int64_t GifReadMemoryLimit();

// `memoryLimit` bounds what the decoded animation may take (the composited
// canvases, the frames' indices and their bookkeeping); 0 means
// GifReadMemoryLimit(). Beyond it the read fails and says why.
Status ReadGif(const QString& path, GifAnimation* animation, std::int64_t memoryLimit = 0);
Status ReadGifData(const QByteArray& data, GifAnimation* animation, const QString& name = {},
                   std::int64_t memoryLimit = 0);
