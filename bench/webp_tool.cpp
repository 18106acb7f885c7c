// Helper of bench/compare-webp: decodes an animated WebP (ours or another
// encoder's) into raw RGB24 frames, one per `step` milliseconds of play, so
// that it lines up with the source frames even where an encoder merged
// frames that did not change; and encodes a WebP's frames again losslessly,
// with our few-colour encoder or with libwebp's, to compare the two on the
// same frames.
//
//   velmora_webp_tool decode IN.webp OUT.raw [STEP_MS]
//   velmora_webp_tool reencode IN.webp OUT.webp fast|libwebp   (prints CPU seconds)
#include "core/imaging/webp_reader.h"
#include "core/imaging/webp_writer.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <ctime>

namespace {

class DecodedFrames : public FrameSource {
public:
    explicit DecodedFrames(const WebpAnimation* webp) : m_pWebp(webp) {}
    int FrameCount() const override { return int(m_pWebp->frames.size()); }
    QSize FrameSize() const override { return QSize(m_pWebp->width, m_pWebp->height); }
    int FrameDelay(int index) const override { return m_pWebp->durations[std::size_t(index)] / 10; }
    Status DrawFrame(int index, QImage* frame) override {
        *frame = m_pWebp->frames[std::size_t(index)];
        return Status::Ok();
    }

private:
    const WebpAnimation* m_pWebp;
};

double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool decode =
        (args.size() == 4 || args.size() == 5) && args[1] == QLatin1String("decode");
    const bool reencode = args.size() == 5 && args[1] == QLatin1String("reencode") &&
                          (args[4] == QLatin1String("fast") || args[4] == QLatin1String("libwebp"));
    if (!decode && !reencode) {
        std::fputs("usage: velmora_webp_tool decode IN.webp OUT.raw [STEP_MS]\n"
                   "       velmora_webp_tool reencode IN.webp OUT.webp fast|libwebp\n",
                   stderr);
        return 2;
    }
    WebpAnimation webp;
    if (Status s = ReadWebp(args[2], &webp, true); !s) {
        std::fprintf(stderr, "%s\n", qPrintable(s.message()));
        return 1;
    }
    if (reencode) {
        DecodedFrames frames(&webp);
        WebpOptions options;
        options.compression = WebpCompression::Lossless;
        options.losslessEncoder = args[4] == QLatin1String("fast") ? WebpLosslessEncoder::Fast
                                                                   : WebpLosslessEncoder::Library;
        const double start = ProcessSeconds();
        const Status s = EncodeAnimatedWebp(frames, args[3], options);
        if (!s) {
            std::fprintf(stderr, "%s\n", qPrintable(s.message()));
            return 1;
        }
        std::printf("%.3f\n", ProcessSeconds() - start);
        return 0;
    }
    const int step = args.size() == 5 ? args[4].toInt() : 100;
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
