#include "cli/encode_command.h"

#include "cli/arguments.h"
#include "cli/output_format.h"
#include "core/base/atomic_file.h"
#include "core/base/limits.h"
#include "core/base/staged_file_set.h"
#include "core/imaging/frame_encoder.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <future>
#include <new>
#include <system_error>
#include <unistd.h>

const char* const kEncodeHelp =
    R"(Usage: velmora-cli encode --size WxH --in FRAMES.raw --out FILE.gif [options]

Encodes raw frames (W x H x 3 bytes each, red, green, blue, row by row,
frames one after another) into an animated GIF with the pipeline Velmora's
animations use: one palette chosen for the whole animation (and frames' own
where the colours move), Floyd-Steinberg dithering unless turned off, GIF89a
with a looping extension. A frame that shows the frame before moved by a few
pixels (a pan) takes that frame's colours, moved, so that the dithering
travels with the picture; only the pixels that came into view are mapped.

Options:
  --size WxH         frame size in pixels (required), each side 1 to 65535
                     (GIF's limit)
  --in FILE          raw frames (required)
  --out FILE.gif     the GIF to write (required); replaced only when the
                     whole file was written
  --delay D          frame delay in hundredths of a second (0..65535;
                     default 10)
  --no-dither        map to the nearest colour instead of diffusing the error
  --palette MODE     global (one palette for every frame), local (a palette
                     per frame) or auto (frames get their own palette where
                     the global one serves them clearly worse; default)
  --comment TEXT     comment extension (default: none)
  --loops N          loop count, 0 = forever (0..65535; default 0)
  --disposal M       disposal method of every frame (0..3; default 0)
  --threads N        worker threads (default: one per core)
%1  --help             show this text

Limits: a frame also has to fit in memory, which a save needs about 8 bytes a
pixel for (a 65535 x 65535 frame takes 32 GiB); a larger one is refused with
"Not enough memory for a W x H frame" before any work starts. At most 1000000
frames are taken from one file.

It prints the frame count, the palette size, the frames with their own
palette, the seconds taken and each stage's CPU seconds (summed over threads;
waiting does not count).
With --format webp the frames go into an animated WebP as they are (full
colour; FILE.webp, or FILE.gif's name with .webp), with both into the GIF and
the WebP beside it, which replace the previous files together or not at all.
Exit status: 0 written, 1 a file could not be read or written or memory ran
out (the previous files are kept), 2 a wrong option or value (a frame over
16383 pixels a side for a WebP).
)";

namespace {

class RawFrameSource : public FrameSource {
public:
    RawFrameSource(QFile* file, QSize size, int count, int delay)
        : m_pFile(file), m_size(size), m_nCount(count), m_nDelay(delay) {}

    int FrameCount() const override { return m_nCount; }
    QSize FrameSize() const override { return m_size; }
    int FrameDelay(int) const override { return m_nDelay; }
    bool CheapToRedraw() const override { return true; }
    bool MayPan() const override { return true; }

    // Runs on the encoder's worker threads, so nothing may be thrown from
    // here: a failed allocation is a Status like any other failure.
    Status DrawFrame(int index, QImage* frame) override {
        try {
            return ReadFrame(index, frame);
        } catch (const std::bad_alloc&) {
            return NotEnoughMemory();
        }
    }

private:
    Status NotEnoughMemory() const {
        return Status::Error(QStringLiteral("Not enough memory for a %1 x %2 frame")
                                 .arg(m_size.width())
                                 .arg(m_size.height()));
    }

    Status ReadFrame(int index, QImage* frame) {
        const qint64 bytes = qint64(m_size.width()) * m_size.height() * 3;
        QByteArray raw(bytes, Qt::Uninitialized);
        // Positioned reads need no shared file position, so the workers read
        // their frames at the same time.
        qint64 done = 0;
        while (done < bytes) {
            const ssize_t n = ::pread(m_pFile->handle(), raw.data() + done,
                                      std::size_t(bytes - done), off_t(bytes * index + done));
            if (n <= 0)
                return Status::Error(
                    QStringLiteral("Cannot read frame %1 of %2: %3")
                        .arg(index)
                        .arg(m_pFile->fileName(),
                             QString::fromLocal8Bit(std::strerror(n < 0 ? errno : EIO))));
            done += n;
        }
        const QImage rgb(reinterpret_cast<const uchar*>(raw.constData()), m_size.width(),
                         m_size.height(), m_size.width() * 3, QImage::Format_RGB888);
        // QImage reports a failed allocation only as a null image.
        *frame = rgb.convertToFormat(QImage::Format_RGB32);
        if (frame->isNull())
            return NotEnoughMemory();
        return Status::Ok();
    }

    QFile* m_pFile;
    QSize m_size;
    int m_nCount;
    int m_nDelay;
};

// Stops an encode once the other format's encode has failed.
class StopOnFailure : public ProgressSink {
public:
    explicit StopOnFailure(const std::atomic<bool>* failed) : m_pFailed(failed) {}
    bool Progress(int, int) override {
        if (m_pFailed->load())
            m_bStopped = true;
        return !m_bStopped;
    }
    bool Stopped() const { return m_bStopped; }

private:
    const std::atomic<bool>* m_pFailed;
    std::atomic<bool> m_bStopped{false};
};

} // namespace

int RunEncodeCommand(const QStringList& args) {
    ArgumentReader reader(QStringLiteral("encode"), args);
    QSize size;
    QString in, out;
    EncodeOptions options;
    int delay = 10;
    OutputFormatOptions format;
    while (!reader.AtEnd()) {
        const QString arg = reader.Next();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            PrintOut(QString::fromUtf8(kEncodeHelp).arg(OutputFormatHelp()).trimmed());
            return kExitOk;
        } else if (arg == QLatin1String("--size")) {
            const QString text = reader.Value(arg);
            static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,9})x([0-9]{1,9})$"));
            const auto match = pattern.match(text);
            const int w = match.hasMatch() ? match.captured(1).toInt() : 0;
            const int h = match.hasMatch() ? match.captured(2).toInt() : 0;
            if (!match.hasMatch())
                reader.BadValue(arg, text,
                                QStringLiteral("WIDTHxHEIGHT, each from 1 to %1").arg(kMaxGifSide));
            if (w < 1 || h < 1 || w > kMaxGifSide || h > kMaxGifSide)
                reader.Fail(QStringLiteral("--size %1 is out of range: a GIF is 1 to %2 pixels "
                                           "wide and high")
                                .arg(text)
                                .arg(kMaxGifSide));
            size = QSize(w, h);
        } else if (arg == QLatin1String("--in")) {
            in = reader.Value(arg);
        } else if (arg == QLatin1String("--out")) {
            out = reader.Value(arg);
        } else if (arg == QLatin1String("--delay")) {
            delay = reader.IntValue(arg, 0, 65535);
        } else if (arg == QLatin1String("--no-dither")) {
            options.dither = false;
        } else if (arg == QLatin1String("--palette")) {
            const QString mode = reader.Value(arg);
            if (mode == QLatin1String("global"))
                options.palette = PaletteMode::Global;
            else if (mode == QLatin1String("local"))
                options.palette = PaletteMode::Local;
            else if (mode == QLatin1String("auto"))
                options.palette = PaletteMode::Auto;
            else
                reader.BadValue(arg, mode, QStringLiteral("global, local or auto"));
        } else if (arg == QLatin1String("--comment")) {
            options.file.comment = reader.Value(arg);
        } else if (arg == QLatin1String("--loops")) {
            options.file.loops = reader.IntValue(arg, 0, 65535);
        } else if (arg == QLatin1String("--disposal")) {
            options.disposal = reader.IntValue(arg, 0, 3);
        } else if (arg == QLatin1String("--threads")) {
            options.threads = reader.IntValue(arg, 1, 256);
        } else if (ReadOutputFormatOption(arg, reader, &format)) {
        } else {
            reader.Fail(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }
    if (!size.isValid())
        reader.Fail(QStringLiteral("--size WxH is required"));
    if (in.isEmpty())
        reader.Fail(QStringLiteral("--in FILE is required"));
    if (out.isEmpty())
        reader.Fail(QStringLiteral("--out FILE.gif is required"));

    if (format.WritesWebp()) {
        if (Status s = CheckWebpFrameSize(size); !s) {
            PrintError(
                QStringLiteral("velmora-cli encode: %1 (nothing was written)").arg(s.message()));
            return kExitUsage;
        }
    }
    const QString gifOut = GifTarget(out, format);
    const QString webpOut = WebpTarget(out, format);
    // Everything that can be known to fail is refused before any work.
    for (const QString& target : {gifOut, webpOut}) {
        if (target.isEmpty())
            continue;
        if (Status s = AtomicFile::CheckTarget(target); !s) {
            PrintError(s.message());
            return kExitFailure;
        }
    }
    if (!FramesFitInMemory(size.width(), size.height(), 1)) {
        PrintError(QStringLiteral("Not enough memory for a %1 x %2 frame: a save needs %3 MiB "
                                  "for it (%4 bytes a pixel)")
                       .arg(size.width())
                       .arg(size.height())
                       .arg(FrameSetBytes(size.width(), size.height(), 1) >> 20)
                       .arg(kFrameBytesPerPixel));
        return kExitFailure;
    }

    QFile file(in);
    if (!file.open(QIODevice::ReadOnly)) {
        PrintError(QStringLiteral("Cannot open %1: %2").arg(in, file.errorString()));
        return kExitFailure;
    }
    const qint64 frameBytes = qint64(size.width()) * size.height() * 3;
    const qint64 fileBytes = file.size();
    if (fileBytes == 0 || fileBytes % frameBytes != 0) {
        PrintError(QStringLiteral("velmora-cli encode: %1 holds %2 bytes, which is not a whole "
                                  "number of %3 x %4 frames of %5 bytes each")
                       .arg(in)
                       .arg(fileBytes)
                       .arg(size.width())
                       .arg(size.height())
                       .arg(frameBytes));
        return kExitUsage;
    }
    const qint64 frames = fileBytes / frameBytes;
    if (frames > kMaxEncodeFrames) {
        PrintError(QStringLiteral("velmora-cli encode: %1 holds %2 frames, out of range: at most "
                                  "%3 are taken")
                       .arg(in)
                       .arg(frames)
                       .arg(kMaxEncodeFrames));
        return kExitUsage;
    }
    RawFrameSource source(&file, size, int(frames), delay);
    // Both files are complete before either replaces anything.
    StagedFileSet files;
    QString gifPath = gifOut, webpPath = webpOut;
    if (format.format == AnimationFormat::Both) {
        Status staged;
        gifPath = files.Stage(gifOut, &staged);
        if (staged)
            webpPath = files.Stage(webpOut, &staged);
        if (!staged) {
            PrintError(staged.message());
            return kExitFailure;
        }
    }
    EncodeStats stats;
    WebpOptions webp;
    webp.compression = format.compression;
    webp.quality = format.quality;
    webp.threads = options.threads;
    WebpStats webpStats;
    // Both formats are encoded side by side (the source reads with positioned
    // reads, so the two may read it at once); either side failing stops the
    // other at its next frame.
    std::atomic<bool> failed{false};
    StopOnFailure gifProgress(&failed), webpProgress(&failed);
    std::future<Status> webpDone;
    if (format.format == AnimationFormat::Both) {
        // Beside a GIF the WebP should not keep the save waiting: few-colour
        // frames take our quicker lossless encoder, as the animation saves do.
        webp.losslessEncoder = WebpLosslessEncoder::Fast;
        try {
            webpDone = std::async(std::launch::async, [&] {
                Status s = EncodeAnimatedWebp(source, webpPath, webp, &webpProgress, &webpStats);
                if (!s)
                    failed = true;
                return s;
            });
        } catch (const std::system_error&) {
            PrintError(QStringLiteral("No thread could be started for the WebP"));
            return kExitFailure;
        }
    }
    if (format.WritesGif()) {
        Status s = EncodeAnimatedGif(source, gifPath, options, &gifProgress, &stats);
        if (!s)
            failed = true;
        if (webpDone.valid()) {
            // Where both failed, the GIF's failure is the one to tell unless
            // it was only the WebP's failure stopping it.
            const Status webpStatus = webpDone.get();
            if (!webpStatus && (s || gifProgress.Stopped()))
                s = webpStatus;
            if (s)
                s = files.Commit();
        }
        if (!s) {
            PrintError(files.Named(s).message());
            return kExitFailure;
        }
    }
    if (format.WritesWebp()) {
        if (format.format != AnimationFormat::Both) {
            if (Status s = EncodeAnimatedWebp(source, webpPath, webp, nullptr, &webpStats); !s) {
                PrintError(s.message());
                return kExitFailure;
            }
        }
        PrintOut(QStringLiteral("webp: frames=%1 compression=%2 seconds=%3")
                     .arg(webpStats.frames)
                     .arg(webpStats.lossless ? QStringLiteral("lossless") : QStringLiteral("lossy"))
                     .arg(webpStats.wallSeconds, 0, 'f', 3));
        if (!format.WritesGif())
            return kExitOk;
    }
    PrintOut(QStringLiteral("frames=%1 colors=%2 local-palettes=%3 seconds=%4")
                 .arg(stats.frames)
                 .arg(stats.paletteSize)
                 .arg(stats.localPalettes)
                 .arg(stats.wallSeconds, 0, 'f', 3));
    PrintOut(QStringLiteral("stages: read=%1 palette=%2 remap=%3 write=%4 (CPU seconds)")
                 .arg(stats.drawSeconds, 0, 'f', 3)
                 .arg(stats.paletteSeconds, 0, 'f', 3)
                 .arg(stats.remapSeconds, 0, 'f', 3)
                 .arg(stats.writeSeconds, 0, 'f', 3));
    return kExitOk;
}
