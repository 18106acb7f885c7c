// Reads an animated WebP back: its outline (canvas, frames, delays, loop,
// the animation's record) for describing and reopening it, or every frame
// composited as a browser shows it. A file is untrusted: its sizes are
// checked against a memory budget before any pixel is decoded.
#pragma once

#include "core/base/status.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

struct WebpAnimation {
    int width = 0, height = 0;
    int loops = 0; // 0: forever
    bool hasAlpha = false;
    bool animated = false;      // false: a still image (one frame)
    std::vector<int> durations; // milliseconds, one per frame
    std::vector<bool> lossless; // per frame, as stored
    QByteArray record;          // the record chunk's data; empty when none
    std::vector<QImage> frames; // ARGB32, canvas size; only when read with pixels
};

// Whether the bytes start like a WebP (RIFF....WEBP).
bool LooksLikeWebp(const QByteArray& head);

// `memoryLimit` bounds the file held and, with pixels, the decoded canvases;
// 0 means a quarter of the usable memory, at most 2 GiB. Beyond it, or for a
// file that is not a sound WebP, the read fails and says why.
Status ReadWebpData(const QByteArray& data, WebpAnimation* animation, bool pixels,
                    const QString& name = {}, std::int64_t memoryLimit = 0);
Status ReadWebp(const QString& path, WebpAnimation* animation, bool pixels,
                std::int64_t memoryLimit = 0);
