#include "cli/info_command.h"

#include "cli/arguments.h"
#include "core/animation/animation_record.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/webp_reader.h"
#include "core/page/page_names.h"
#include "core/page/page_reader.h"

#include <QFileInfo>
#include <algorithm>
#include <map>

namespace {

const char* const kInfoHelp = R"(Usage: velmora-cli info FILE.gif|FILE.webp|FILE.htm

Prints what the file holds. For a GIF: its size, frames and their delays, the
loop count, the comment, and the animation it was saved from (type, values and
seed) when Velmora saved it. For an animated WebP the same (delays in
milliseconds), whether it has transparency and how its frames are compressed.
For a page Velmora wrote: the table's values and the GIFs it names, each
described as above; a page Velmora did not write is said to be one.

Exit status: 0 done, 1 the file could not be read, 2 a wrong option.
)";

QString YesNo(bool value) {
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

// Delays as runs: "10 x 12" for twelve frames of 10 hundredths.
QString DelayRuns(const GifAnimation& gif) {
    QStringList runs;
    for (std::size_t i = 0; i < gif.frames.size();) {
        std::size_t j = i;
        while (j < gif.frames.size() && gif.frames[j].delay == gif.frames[i].delay)
            ++j;
        runs << QStringLiteral("%1 x %2").arg(gif.frames[i].delay).arg(j - i);
        i = j;
    }
    return runs.join(QStringLiteral(", "));
}

// At most one line of the comment: it is the file's text, of any length.
QString CommentLine(const GifAnimation& gif) {
    if (gif.commentBytes == 0)
        return QStringLiteral("(none)");
    constexpr qsizetype kShown = 200;
    QString line = gif.comment.section(QLatin1Char('\n'), 0, 0);
    line.remove(QLatin1Char('\r'));
    for (QChar& ch : line)
        if (ch < QLatin1Char(' '))
            ch = QLatin1Char(' ');
    const bool cut = line.size() > kShown || line.size() < gif.commentBytes;
    line.truncate(kShown);
    if (cut)
        line += QStringLiteral(" ... (%1 bytes in all)").arg(gif.commentBytes);
    return line;
}

QStringList DescribeRecord(const std::optional<AnimationRecord>& record) {
    QStringList lines;
    if (!record) {
        lines << QStringLiteral("animation: not recorded (not saved by Velmora)");
        return lines;
    }
    lines << QStringLiteral("animation: %1").arg(record->type);
    if (!record->version.isEmpty())
        lines << QStringLiteral("  saved by: Velmora %1").arg(record->version);
    for (const auto& [name, value] : record->values)
        lines << QStringLiteral("  %1: %2").arg(name, value);
    lines << QStringLiteral("  seed: %1")
                 .arg(record->seed ? QString::number(*record->seed)
                                   : QStringLiteral("(none: the type draws no random numbers)"));
    return lines;
}

QString DescribeWebp(const QString& path, const QString& indent, Status* status) {
    WebpAnimation webp;
    // A description needs the frame list and the record, never the pixels.
    *status = ReadWebp(path, &webp, false);
    if (!*status)
        return QString();
    QStringList runs;
    for (std::size_t i = 0; i < webp.durations.size();) {
        std::size_t j = i;
        while (j < webp.durations.size() && webp.durations[j] == webp.durations[i])
            ++j;
        runs << QStringLiteral("%1 x %2").arg(webp.durations[i]).arg(j - i);
        i = j;
    }
    const auto lossless = std::count(webp.lossless.begin(), webp.lossless.end(), true);
    QStringList lines;
    lines << QStringLiteral("format: %1")
                 .arg(webp.animated ? QStringLiteral("animated WebP")
                                    : QStringLiteral("WebP (still)"));
    lines << QStringLiteral("size: %1 x %2").arg(webp.width).arg(webp.height);
    lines << QStringLiteral("frames: %1").arg(webp.durations.size());
    lines << QStringLiteral("delays (ms x frames): %1").arg(runs.join(QStringLiteral(", ")));
    lines << QStringLiteral("loop: %1")
                 .arg(webp.loops == 0 ? QStringLiteral("forever") : QString::number(webp.loops));
    lines << QStringLiteral("alpha: %1").arg(YesNo(webp.hasAlpha));
    lines << QStringLiteral("compression: %1")
                 .arg(lossless == qsizetype(webp.lossless.size()) ? QStringLiteral("lossless")
                      : lossless == 0                             ? QStringLiteral("lossy")
                                      : QStringLiteral("mixed (%1 lossless frames)").arg(lossless));
    lines << DescribeRecord(webp.record.isEmpty() ? std::nullopt
                                                  : ParseAnimationRecord(webp.record));
    return indent + lines.join(QLatin1Char('\n') + indent);
}

QString DescribeGif(const QString& path, const QString& indent, Status* status) {
    GifAnimation gif;
    // A description needs the frame list and the record, never the pixels.
    *status = ReadGifOutline(path, &gif);
    if (!*status)
        return QString();
    QStringList lines;
    lines << QStringLiteral("size: %1 x %2").arg(gif.width).arg(gif.height);
    lines << QStringLiteral("frames: %1").arg(gif.frames.size());
    lines << QStringLiteral("delays (hundredths x frames): %1").arg(DelayRuns(gif));
    lines << QStringLiteral("loop: %1")
                 .arg(gif.loops < 0    ? QStringLiteral("none (plays once)")
                      : gif.loops == 0 ? QStringLiteral("forever")
                                       : QString::number(gif.loops));
    lines << QStringLiteral("comment: %1").arg(CommentLine(gif));
    if (gif.missingTrailer)
        lines << QStringLiteral("note: the file ends without its trailer byte (as a cut "
                                "download does); browsers show its frames");
    lines << DescribeRecord(FindAnimationRecord(gif));
    return indent + lines.join(QLatin1Char('\n') + indent);
}

int DescribePage(const QString& path) {
    std::optional<PageContents> page;
    if (Status s = ReadPage(path, &page); !s) {
        PrintError(QStringLiteral("velmora-cli info: %1").arg(s.message()));
        return kExitFailure;
    }
    if (!page) {
        PrintOut(QStringLiteral("%1: a page Velmora did not write").arg(path));
        return kExitOk;
    }
    const CHtmlTable& t = page->table;
    QStringList lines;
    lines << QStringLiteral("%1: a Velmora page").arg(path);
    lines << QStringLiteral("table: %1 x %2").arg(t.GetWidth()).arg(t.GetHeight());
    lines << QStringLiteral("cells shown: %1").arg(YesNo(page->showCells));
    if (page->showCells) {
        lines << QStringLiteral("rows: %1").arg(t.GetRows());
        lines << QStringLiteral("columns: %1").arg(t.GetColumns());
        lines << QStringLiteral("cell spacing: %1").arg(t.GetBorder());
    }
    lines << QStringLiteral("cell colour: %1").arg(ColorText(t.GetCellColor()));
    lines << QStringLiteral("page colour: %1").arg(ColorText(page->pageColor));
    lines << QStringLiteral("cell layer: %1").arg(YesNo(t.HasCellPattern()));
    lines << QStringLiteral("style: %1").arg(PageStyleName(t.GetPageStyle()));
    QStringList gifs{page->animationName};
    if (t.HasCellPattern())
        gifs << page->cellPatternName;
    // A modern page names its WebPs too.
    if (t.GetPageStyle() == PageStyle::Modern) {
        const PageImageNames names = ImageNamesFor(
            page->imageBase.isEmpty() ? QStringLiteral("page") : QStringLiteral("page.htm"),
            page->imageBase);
        gifs << names.animationWebp;
        if (t.HasCellPattern())
            gifs << names.cellPatternWebp;
    }
    int result = kExitOk;
    const QString folder = FolderOf(path);
    for (const QString& name : gifs) {
        const QString gifPath = folder + name;
        lines << QStringLiteral("%1:").arg(name);
        if (!QFileInfo::exists(gifPath)) {
            lines << QStringLiteral("  missing");
            continue;
        }
        Status status;
        const QString text = name.endsWith(QLatin1String(".webp"))
                                 ? DescribeWebp(gifPath, QStringLiteral("  "), &status)
                                 : DescribeGif(gifPath, QStringLiteral("  "), &status);
        if (!status) {
            lines << QStringLiteral("  unreadable: %1").arg(status.message());
            result = kExitFailure;
        } else {
            lines << text;
        }
    }
    PrintOut(lines.join(QLatin1Char('\n')));
    return result;
}

} // namespace

int RunInfoCommand(const QStringList& args) {
    if (args.size() == 1 &&
        (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        PrintOut(QString::fromUtf8(kInfoHelp).trimmed());
        return kExitOk;
    }
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-')))
        throw UsageError(QStringLiteral("velmora-cli info: name one GIF, WebP or page\nTry "
                                        "'velmora-cli info --help'."));
    const QString path = args[0];
    const QString suffix = QFileInfo(path).suffix();
    const bool webp = suffix.compare(QLatin1String("webp"), Qt::CaseInsensitive) == 0;
    if (webp || suffix.compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0) {
        Status status;
        const QString text =
            webp ? DescribeWebp(path, QString(), &status) : DescribeGif(path, QString(), &status);
        if (!status) {
            PrintError(QStringLiteral("velmora-cli info: %1").arg(status.message()));
            return kExitFailure;
        }
        PrintOut(path + QStringLiteral(":\n") + text);
        return kExitOk;
    }
    return DescribePage(path);
}
