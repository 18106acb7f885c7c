// Helper of bench/compare-webp: decodes an animated WebP (ours or another
// encoder's) into raw RGB24 frames, one per `step` milliseconds of play, so
// that it lines up with the source frames even where an encoder merged
// frames that did not change.
//
//   velmora_webp_tool decode IN.webp OUT.raw [STEP_MS]
#include "core/imaging/webp_reader.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if ((args.size() != 4 && args.size() != 5) || args[1] != QLatin1String("decode")) {
        std::fputs("usage: velmora_webp_tool decode IN.webp OUT.raw [STEP_MS]\n", stderr);
        return 2;
    }
    const int step = args.size() == 5 ? args[4].toInt() : 100;
    WebpAnimation webp;
    if (Status s = ReadWebp(args[2], &webp, true); !s) {
        std::fprintf(stderr, "%s\n", qPrintable(s.message()));
        return 1;
    }
    QFile out(args[3]);
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    for (std::size_t i = 0; i < webp.frames.size(); ++i) {
        const QImage rgb = webp.frames[i].convertToFormat(QImage::Format_RGB888);
        const int repeat = std::max(1, (webp.durations[i] + step / 2) / std::max(step, 1));
        for (int r = 0; r < repeat; ++r)
            for (int y = 0; y < rgb.height(); ++y)
                out.write(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    return 0;
}
