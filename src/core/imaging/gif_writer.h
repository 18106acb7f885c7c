// Writes GIF89a files with giflib: a global colour table (and frames' local
// ones where they differ), an optional
// looping extension and comment, then frames as they are produced. The file
// is written under a temporary name and only replaces the target at Finish().
#pragma once

#include "core/base/status.h"
#include "core/imaging/cell_mask.h"
#include "core/imaging/indexed_image.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

struct GifFileOptions {
    QString comment; // written when not empty
    int loops = 0;   // NETSCAPE2.0 loop count, 0 = forever
    bool loopExtension = true;
    // A private application extension written after the looping one: an
    // 11-byte identifier (8 letters and a 3-byte code) and its data, which
    // other readers skip. Nothing is written while the identifier is empty.
    QByteArray applicationId;
    QByteArray applicationData;
};

class GifWriter {
public:
    GifWriter();
    ~GifWriter(); // an unfinished file is discarded
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    Status Open(const QString& path, int width, int height, const PaletteColors& palette,
                const GifFileOptions& options);
    // A frame whose palette is empty or the global one uses the global
    // colour table; another palette (at most the global table's size) is
    // written as the frame's local table.
    // lzwBlocks, when given, is the frame's data already compressed with
    // LzwEncode at MinCodeSize(); otherwise it is compressed here.
    Status WriteFrame(const IndexedImage& frame,
                      const std::vector<std::uint8_t>* lzwBlocks = nullptr);
    int MinCodeSize() const;
    // Closes the file and renames it over the target.
    Status Finish();
    // Drops the temporary file; the target is left as it was.
    void Cancel();

    // Writes one still image with its own palette as the whole file.
    static Status WriteStill(const QString& path, const IndexedImage& image);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The cell-pattern GIF: 1 bit per pixel, index 0 transparent, index 1 the cell
// colour.
Status SaveCellMaskGif(const QString& path, const CellMask& mask, COLORREF cellColor);
