#include "cli/output_format.h"

#include "core/base/limits.h"

#include <QFileInfo>

namespace {

bool HasSuffix(const QString& path, const char* suffix) {
    return QFileInfo(path).suffix().compare(QLatin1String(suffix), Qt::CaseInsensitive) == 0;
}

} // namespace

bool ReadOutputFormatOption(const QString& arg, ArgumentReader& reader,
                            OutputFormatOptions* options) {
    if (arg == QLatin1String("--format")) {
        const QString value = reader.Value(arg);
        if (value == QLatin1String("gif"))
            options->format = AnimationFormat::Gif;
        else if (value == QLatin1String("webp"))
            options->format = AnimationFormat::Webp;
        else if (value == QLatin1String("both"))
            options->format = AnimationFormat::Both;
        else
            reader.BadValue(arg, value, QStringLiteral("gif, webp or both"));
        return true;
    }
    if (arg == QLatin1String("--webp-quality")) {
        options->quality = reader.IntValue(arg, 0, 100);
        return true;
    }
    if (arg == QLatin1String("--webp-compression")) {
        const QString value = reader.Value(arg);
        if (value == QLatin1String("auto"))
            options->compression = WebpCompression::Auto;
        else if (value == QLatin1String("lossless"))
            options->compression = WebpCompression::Lossless;
        else if (value == QLatin1String("lossy"))
            options->compression = WebpCompression::Lossy;
        else
            reader.BadValue(arg, value, QStringLiteral("auto, lossless or lossy"));
        return true;
    }
    return false;
}

QString OutputFormatHelp() {
    return QStringLiteral(
               "  --format F         gif (default), webp (an animated WebP of the true-colour\n"
               "                     frames, at most %1 pixels a side) or both (the GIF and\n"
               "                     NAME.webp beside it, replaced together or not at all)\n"
               "  --webp-quality Q   0 to 100 (default %2): the lossy quality, or the\n"
               "                     lossless effort\n"
               "  --webp-compression M\n"
               "                     auto (default: the smaller of the two on the first\n"
               "                     frame when it has few colours, else lossy),\n"
               "                     lossless or lossy\n")
        .arg(kMaxWebpSide)
        .arg(kDefaultWebpQuality);
}

QString GifTarget(const QString& out, const OutputFormatOptions& options) {
    if (!options.WritesGif())
        return QString();
    return out;
}

QString WebpTarget(const QString& out, const OutputFormatOptions& options) {
    if (!options.WritesWebp())
        return QString();
    if (options.format == AnimationFormat::Webp && HasSuffix(out, "webp"))
        return out;
    return WebpPathFor(out);
}
