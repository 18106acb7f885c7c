#include "cli/render_command.h"

#include "cli/arguments.h"
#include "cli/cell_pattern_command.h"
#include "cli/output_format.h"
#include "core/animation/animation_save.h"
#include "core/animation/renderer_parameters.h"
#include "core/animation/save_summary.h"
#include "core/base/atomic_file.h"
#include "core/base/limits.h"
#include "core/base/staged_file_set.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <map>
#include <optional>

namespace {

QString RenderHelp(const QString& type) {
    QString text =
        QStringLiteral(
            "Usage: velmora-cli render TYPE --out FILE.gif [--format gif|webp|both]\n"
            "           [--set NAME=VALUE]... [--seed N] [--table W,H,ROWS,COLUMNS,BORDER]\n"
            "           [--dump-frames FILE.raw] [--threads N]\n\n"
            "Saves an animation as Velmora's animation windows save it. TYPE is one of:\n"
            "  %1.\n"
            "Values go through the renderer's setters, so they are clamped as in the\n"
            "animation windows. It prints frames=N delay=D width=W height=H.\n\n"
            "  --set NAME=VALUE   a parameter (see 'velmora-cli render TYPE --help'); numbers\n"
            "                     are whole numbers, colours #rrggbb, switches 0 or 1\n"
            "  --seed N           seed of the random sequence (default: the time)\n"
            "  --table W,H,ROWS,COLUMNS,BORDER\n"
            "                     the table the cell pattern and Fit to Cell work on\n"
            "                     (default 450,200,2,3,5)\n"
            "  --dump-frames FILE also write the drawn frames as raw RGB24\n"
            "  --threads N        worker threads (default: one per core)\n"
            "  --palette MODE     global, local (a palette per frame) or auto (default)\n"
            "  --stats            also print the time taken, per frame and stage\n")
            .arg(WrapList(RendererTypeNames(), 2, 2)) +
        OutputFormatHelp() + RenderCellPatternHelp();
    if (type.isEmpty())
        return text;
    text += QStringLiteral("\nParameters of %1:\n").arg(type);
    auto renderer = CreateRendererByName(type);
    for (const RendererParameter& p : RendererParameters(type)) {
        QString value;
        switch (p.kind) {
        case RendererParameter::Color:
            value = ColorText(COLORREF(p.get(*renderer)));
            break;
        case RendererParameter::Boolean:
            value = QString::number(p.get(*renderer));
            break;
        case RendererParameter::String:
            value = p.getText(*renderer);
            if (value.isEmpty())
                value = QStringLiteral("none");
            break;
        default:
            value = QString::number(p.get(*renderer));
            break;
        }
        // Descriptions wrap under themselves, past the 2 + 20 + 1 columns
        // of the name.
        if (p.deferred)
            text += QStringLiteral("  %1 %2\n")
                        .arg(p.name + QStringLiteral("=1"), -20)
                        .arg(Wrap(p.description, 23, 23));
        else
            // "(default X)" stays on one line: it goes through the wrap
            // as one word.
            text += QStringLiteral("  %1 %2\n")
                        .arg(p.name, -20)
                        .arg(Wrap(QStringLiteral("%1 (default\x01%2)").arg(p.description, value),
                                  23, 23)
                                 .replace(QLatin1Char('\x01'), QLatin1Char(' ')));
    }
    return text;
}

std::optional<int> ParseSwitch(const QString& text) {
    if (text == QLatin1String("1") || text == QLatin1String("true") || text == QLatin1String("on"))
        return 1;
    if (text == QLatin1String("0") || text == QLatin1String("false") ||
        text == QLatin1String("off"))
        return 0;
    return std::nullopt;
}

Status DumpFrames(AnimationRenderer& renderer, const QString& path) {
    AtomicFile file(path);
    if (Status s = file.Open(); !s)
        return s;
    auto copy = renderer.Clone();
    copy->Restart();
    const QSize size = copy->OutputSize();
    const QString noMemory = QStringLiteral("Not enough memory for a %1 x %2 frame")
                                 .arg(size.width())
                                 .arg(size.height());
    QImage frame(size, QImage::Format_RGB32);
    if (frame.isNull())
        return Status::Error(noMemory);
    for (int i = 0; i < copy->FrameCount() && file.error() == QFileDevice::NoError; ++i) {
        copy->DrawFrame(i, &frame);
        const QImage rgb = frame.convertToFormat(QImage::Format_RGB888);
        if (rgb.isNull())
            return Status::Error(noMemory);
        for (int y = 0; y < rgb.height(); ++y)
            file.Write(reinterpret_cast<const char*>(rgb.constScanLine(y)),
                       qint64(rgb.width()) * 3);
    }
    return file.Commit();
}

} // namespace

int RunRenderCommand(const QStringList& args) {
    ArgumentReader reader(QStringLiteral("render"), args);
    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h")) {
        PrintOut(RenderHelp(QString()).trimmed());
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    const QString type = reader.Next();
    if (!RendererTypeNames().contains(type))
        reader.Fail(QStringLiteral("unknown animation type '%1' (one of: %2)")
                        .arg(type, RendererTypeNames().join(QStringLiteral(", "))));
    const std::vector<RendererParameter> parameters = RendererParameters(type);
    QString out, dump;
    std::optional<std::uint32_t> seed;
    std::vector<std::pair<const RendererParameter*, int>> values;
    std::vector<std::pair<const RendererParameter*, QString>> texts;
    int table[5] = {450, 200, 2, 3, 5};
    int threads = 0;
    bool printStats = false;
    RenderCellPatternOptions cellPattern;
    PaletteMode paletteMode = PaletteMode::Auto;
    OutputFormatOptions format;
    while (!reader.AtEnd()) {
        const QString arg = reader.Next();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            PrintOut(RenderHelp(type).trimmed());
            return kExitOk;
        } else if (arg == QLatin1String("--out")) {
            out = reader.Value(arg);
        } else if (arg == QLatin1String("--dump-frames")) {
            dump = reader.Value(arg);
        } else if (arg == QLatin1String("--seed")) {
            seed = std::uint32_t(reader.IntValue(arg, 0, std::numeric_limits<int>::max()));
        } else if (arg == QLatin1String("--palette")) {
            const QString mode = reader.Value(arg);
            if (mode == QLatin1String("global"))
                paletteMode = PaletteMode::Global;
            else if (mode == QLatin1String("local"))
                paletteMode = PaletteMode::Local;
            else if (mode == QLatin1String("auto"))
                paletteMode = PaletteMode::Auto;
            else
                reader.BadValue(arg, mode, QStringLiteral("global, local or auto"));
        } else if (arg == QLatin1String("--stats")) {
            printStats = true;
        } else if (arg == QLatin1String("--threads")) {
            threads = reader.IntValue(arg, 1, 256);
        } else if (arg == QLatin1String("--table")) {
            reader.TableValue(arg, table);
        } else if (arg == QLatin1String("--set")) {
            const QString text = reader.Value(arg);
            const auto [name, value] = reader.NameValue(arg, text);
            const RendererParameter* parameter = nullptr;
            for (const RendererParameter& p : parameters)
                if (p.name == name)
                    parameter = &p;
            if (!parameter)
                reader.Fail(
                    QStringLiteral("%1 has no parameter '%2' (see 'velmora-cli render %1 --help')")
                        .arg(type, name));
            if (parameter->kind == RendererParameter::String) {
                texts.emplace_back(parameter, value);
                continue;
            }
            std::optional<int> v;
            switch (parameter->kind) {
            case RendererParameter::String:
                break;
            case RendererParameter::Integer: {
                int number = 0;
                const IntParse parsed = ParseInt(value, &number);
                if (parsed == IntParse::OutOfRange)
                    reader.OutOfRange(arg, text, std::numeric_limits<int>::min(),
                                      std::numeric_limits<int>::max());
                if (parsed == IntParse::Ok)
                    v = number;
                break;
            }
            case RendererParameter::Boolean:
                v = ParseSwitch(value);
                break;
            case RendererParameter::Color: {
                const auto c = ParseColorText(value);
                if (c)
                    v = int(*c);
                break;
            }
            }
            if (!v)
                reader.BadValue(arg, text,
                                parameter->kind == RendererParameter::Color
                                    ? QStringLiteral("a colour #rrggbb")
                                : parameter->kind == RendererParameter::Boolean
                                    ? QStringLiteral("0 or 1")
                                    : QStringLiteral("a whole number"));
            values.emplace_back(parameter, *v);
        } else if (ReadRenderCellPatternOption(arg, reader, &cellPattern)) {
        } else if (ReadOutputFormatOption(arg, reader, &format)) {
        } else {
            reader.Fail(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }
    if (out.isEmpty())
        reader.Fail(QStringLiteral("--out FILE.gif is required"));
    const QString gifOut = GifTarget(out, format);
    const QString webpOut = WebpTarget(out, format);
    // Every output is checked before the animation is drawn: a frame dump
    // into a missing folder must not fail after the GIF was replaced.
    for (const QString& target : {gifOut, webpOut, dump}) {
        if (target.isEmpty())
            continue;
        if (Status s = AtomicFile::CheckTarget(target); !s) {
            PrintError(s.message());
            return kExitFailure;
        }
    }

    // With more than one file (GIF and WebP, or a frame dump), all are
    // complete before any replaces anything: one that fails keeps the
    // previous files of the others too.
    StagedFileSet files;
    QString gifPath = gifOut;
    QString webpPath = webpOut;
    QString dumpPath;
    const int outputs = int(!gifOut.isEmpty()) + int(!webpOut.isEmpty()) + int(!dump.isEmpty());
    if (outputs > 1) {
        Status staged;
        for (QString* path : {&gifPath, &webpPath}) {
            if (staged && !path->isEmpty())
                *path = files.Stage(*path, &staged);
        }
        if (staged && !dump.isEmpty())
            dumpPath = files.Stage(dump, &staged);
        if (!staged) {
            PrintError(staged.message());
            return kExitFailure;
        }
    }
    std::unique_ptr<AnimationRenderer> renderer = CreateRendererByName(type);
    renderer->SetAnimationGifPath(gifPath);
    for (const auto& [parameter, text] : texts)
        parameter->setText(*renderer, text);
    for (const auto& [parameter, value] : values)
        if (!parameter->deferred)
            parameter->set(*renderer, value);
    renderer->SetTable({table[0], table[1], table[2], table[3], table[4]});
    renderer->SetFixedSeed(seed);
    for (const auto& [parameter, value] : values)
        if (parameter->deferred)
            parameter->set(*renderer, value);
    if (const int code = ApplyRenderCellPattern(cellPattern, *renderer, reader); code != kExitOk)
        return code;

    renderer->PrepareSave();
    // Values the save cannot take (a frame beyond a GIF's size, more work
    // than a save can do, cells too small to fit, a frame larger than a
    // WebP holds) are usage errors, refused before anything is written; a
    // file that cannot be read or memory that runs short is a failure.
    for (const Status& s : {renderer->CheckSave(), renderer->CheckPreparedSave(),
                            format.WritesWebp() ? CheckWebpSave(*renderer) : Status::Ok()}) {
        if (s)
            continue;
        if (!s.IsWrongValue()) {
            PrintError(s.message());
            return kExitFailure;
        }
        PrintError(QStringLiteral("velmora-cli render: %1 (nothing was written)").arg(s.message()));
        return kExitUsage;
    }
    SaveOptions options;
    EncodeStats stats;
    options.stats = &stats;
    options.threads = threads;
    options.palette = paletteMode;
    SaveOutcome outcome;
    WebpStats webpStats;
    WebpSaveOptions webp;
    webp.compression = format.compression;
    webp.quality = format.quality;
    webp.threads = threads;
    webp.stats = &webpStats;
    // Both formats are written side by side, each on its own threads.
    Status saved = format.WritesGif() && format.WritesWebp()
                       ? WriteAnimationWithWebp(*renderer, options, webpPath, webp, &outcome)
                   : format.WritesGif() ? WriteAnimation(*renderer, options, &outcome)
                                        : WriteAnimatedWebp(*renderer, webpPath, webp);
    if (!saved) {
        PrintError(files.Named(saved).message());
        return kExitFailure;
    }
    if (outputs > 1) {
        Status s = dump.isEmpty() ? Status::Ok() : DumpFrames(*renderer, dumpPath);
        if (s)
            s = files.Commit();
        if (!s) {
            PrintError(files.Named(s).message());
            return kExitFailure;
        }
    }
    // What the save came to, in the animation windows' words: the size and
    // play time, then notes (frames browsers play slower, the type's own).
    QStringList notes;
    if (format.WritesGif()) {
        PrintError(QStringLiteral("saved %1: %2")
                       .arg(QDir::toNativeSeparators(gifOut), outcome.summary.value(0)));
        notes << outcome.summary.mid(1) + outcome.notes;
    }
    if (format.WritesWebp()) {
        const QStringList summary = SaveSummary(*renderer, QFileInfo(webpOut).size());
        PrintError(QStringLiteral("saved %1: %2")
                       .arg(QDir::toNativeSeparators(webpOut), summary.value(0)));
        if (!format.WritesGif())
            notes << summary.mid(1) + renderer->SaveNotes();
        notes << WebpSaveNotes(*renderer);
    }
    for (const QString& note : notes)
        PrintError(QStringLiteral("note: ") + note);
    const QSize size = renderer->OutputSize();
    QString line = QStringLiteral("frames=%1 delay=%2 width=%3 height=%4")
                       .arg(renderer->FrameCount())
                       .arg(renderer->FrameCount() > 0 ? renderer->FrameDelay(0) : 0)
                       .arg(size.width())
                       .arg(size.height());
    if (renderer->UsesRandomness())
        line += QStringLiteral(" seed=%1").arg(renderer->GetLastSeed());
    PrintOut(line);
    if (printStats) {
        const int n = std::max(stats.frames, 1);
        PrintOut(QStringLiteral(
                     "seconds=%1 per-frame-ms: draw=%2 palette=%3 remap=%4 encode=%5 colors=%6")
                     .arg(stats.wallSeconds, 0, 'f', 3)
                     .arg(stats.drawSeconds * 1000 / n, 0, 'f', 3)
                     .arg(stats.paletteSeconds * 1000 / n, 0, 'f', 3)
                     .arg(stats.remapSeconds * 1000 / n, 0, 'f', 3)
                     .arg(stats.writeSeconds * 1000 / n, 0, 'f', 3)
                     .arg(stats.paletteSize));
        if (format.WritesWebp())
            PrintOut(QStringLiteral("webp: seconds=%1 draw=%2 encode=%3 compression=%4")
                         .arg(webpStats.wallSeconds, 0, 'f', 3)
                         .arg(webpStats.drawSeconds, 0, 'f', 3)
                         .arg(webpStats.encodeSeconds, 0, 'f', 3)
                         .arg(webpStats.lossless ? QStringLiteral("lossless")
                                                 : QStringLiteral("lossy")));
    }
    return kExitOk;
}
