// The output options `render` and `encode` share: which files (GIF, WebP or
// both) and how the WebP is compressed.
#pragma once

#include "cli/arguments.h"
#include "core/animation/webp_save.h"

struct OutputFormatOptions {
    AnimationFormat format = AnimationFormat::Gif;
    WebpCompression compression = WebpCompression::Auto;
    int quality = kDefaultWebpQuality;

    bool WritesGif() const { return format != AnimationFormat::Webp; }
    bool WritesWebp() const { return format != AnimationFormat::Gif; }
};

// Takes arg (and its value) when it is one of the options; false otherwise.
bool ReadOutputFormatOption(const QString& arg, ArgumentReader& reader,
                            OutputFormatOptions* options);

// The options' help lines.
QString OutputFormatHelp();

// The files a save with --out writes: the GIF at out (or out's .gif name),
// the WebP beside it ("name.webp"). For --format webp, an --out naming a
// .webp is the WebP itself.
QString GifTarget(const QString& out, const OutputFormatOptions& options);
QString WebpTarget(const QString& out, const OutputFormatOptions& options);
