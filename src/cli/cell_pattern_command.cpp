#include "cli/cell_pattern_command.h"
#include "cli/arguments.h"

#include "core/animation/renderer_parameters.h"
#include "core/cellmask/mask_painters.h"
#include "core/document/cell_pattern_painter.h"
#include "core/imaging/picture_loader.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

const char* const kCellPatternHelp =
    R"(Usage: velmora-cli cell-pattern PATTERN --out FILE.gif [options]

Paints a cell pattern as Velmora's pattern windows paint it and writes it as
a page's cell GIF (BASE-cell.gif): one bit per pixel, as large as the table,
transparent (index 0) along the lines where the animation shows and the cell
colour (index 1) in the cells. It prints width=W height=H, and seed=S for
craft, whose outlines are random.

PATTERN is one of:
  rect     one rectangle outline per cell
  round    one rounded rectangle per cell
  craft    a wavy outline per cell, as if cut with craft scissors
  bitmap   a black-and-white picture stretched into every cell

Options:
  --out FILE.gif        the cell GIF to write (required)
  --table W,H,ROWS,COLUMNS,BORDER
                        the table (default 450,200,2,3,5); width, height, rows
                        and columns are at least 1, the border at least 0
  --cell-color #rrggbb  colour of the cells (default #ffffff)
  --set NAME=VALUE      a parameter of the pattern (below); switches 0 or 1
  --seed N              craft: the seed of the outline's random numbers
                        (default: the time); a seed draws the same outline
                        again
  --picture FILE        bitmap: the picture (BMP, PNG, JPEG or GIF), or the
                        name of a bundled pattern: %1
  --help                show this text

)";

namespace {

bool ParseSwitchText(const QString& text, int* value) {
    if (text == QLatin1String("1") || text == QLatin1String("true") || text == QLatin1String("on"))
        *value = 1;
    else if (text == QLatin1String("0") || text == QLatin1String("false") ||
             text == QLatin1String("off"))
        *value = 0;
    else
        return false;
    return true;
}

QStringList BundledPictureNames() {
    QStringList names =
        QDir(QStringLiteral(":/CellPattern")).entryList({QStringLiteral("*.bmp")}, QDir::Files);
    for (QString& name : names)
        name.chop(4);
    return names;
}

// A file, or when there is no such file, a bundled pattern of that name
// (in any case).
Status LoadCellPicture(const QString& name, QImage* picture) {
    if (!QFileInfo::exists(name)) {
        for (const QString& bundled : BundledPictureNames())
            if (bundled.compare(name, Qt::CaseInsensitive) == 0)
                return LoadPicture(QStringLiteral(":/CellPattern/%1.bmp").arg(bundled), picture);
    }
    return LoadPicture(name, picture);
}

// NAME=VALUE texts into the parameters of their kind; records whether a
// photo size was given.
void ApplySets(const QStringList& sets, const QString& option, const QString& command,
               const ArgumentReader& reader, CellPatternParameters* p, bool* photoWidth,
               bool* photoHeight) {
    const std::vector<CellPatternParameterInfo> list = CellPatternParameterList(p->kind);
    const QString pattern = CellPatternKindName(p->kind);
    for (const QString& text : sets) {
        const auto [name, value] = reader.NameValue(option, text);
        const CellPatternParameterInfo* info = nullptr;
        for (const CellPatternParameterInfo& candidate : list)
            if (candidate.name == name)
                info = &candidate;
        if (!info)
            reader.Fail(QStringLiteral("the %1 pattern has no parameter '%2' (see 'velmora-cli %3 "
                                       "--help')")
                            .arg(pattern, name, command));
        int v = 0;
        if (info->isSwitch) {
            if (!ParseSwitchText(value, &v))
                reader.BadValue(option, text, QStringLiteral("%1=0 or %1=1").arg(name));
        } else {
            const std::optional<int> number = ParseStrictInt(value);
            if (!number || *number < info->minimum || *number > info->maximum)
                reader.BadValue(option, text,
                                QStringLiteral("a whole number from %1 to %2")
                                    .arg(info->minimum)
                                    .arg(info->maximum));
            v = *number;
        }
        info->set(*p, v);
        if (name == QLatin1String("photo-width"))
            *photoWidth = true;
        if (name == QLatin1String("photo-height"))
            *photoHeight = true;
    }
}

QString TableText(const AnimationRenderer& r) {
    return QStringLiteral("table=%1,%2,%3,%4,%5")
        .arg(r.GetTableWidth())
        .arg(r.GetTableHeight())
        .arg(r.GetRows())
        .arg(r.GetColumns())
        .arg(r.GetBorder());
}

// Everything the two commands share once the options are read: the values
// checked, the craft table fitted around photos when a photo size was
// given, the picture loaded, and the pattern applied to the renderer (whose
// flag says whether it is written or kept). Returns an exit code.
int PaintForRenderer(CellPatternKind kind, const QStringList& sets, const QString& setOption,
                     const QString& command, const QString& picturePath,
                     std::optional<std::uint32_t> seed, const ArgumentReader& reader,
                     AnimationRenderer& renderer, CellPatternResult* result) {
    CellPatternParameters p = CellPatternParameters::Defaults(kind);
    bool photoWidth = false, photoHeight = false;
    ApplySets(sets, setOption, command, reader, &p, &photoWidth, &photoHeight);
    p.seed = seed;
    if (kind == CellPatternKind::Bitmap && picturePath.isEmpty())
        reader.Fail(QStringLiteral("the bitmap pattern needs --picture FILE"));
    if (kind != CellPatternKind::Bitmap && !picturePath.isEmpty())
        reader.Fail(QStringLiteral("--picture is for the bitmap pattern only"));
    if (Status s = CheckCellPatternParameters(p); !s)
        reader.Fail(s.message());
    if (photoWidth || photoHeight) {
        // The size not given is the one the cells hold now, as the craft
        // scissors window starts with it.
        const QSize now = RendererPhotoSize(renderer, 10, 2, 8);
        FitRendererTableToPhoto(renderer, photoWidth ? p.photoWidth : now.width(),
                                photoHeight ? p.photoHeight : now.height(), p.bumpsY, p.lineWidth,
                                p.margin);
        PrintOut(TableText(renderer));
    }
    if (Status s = CheckCellPatternWork(renderer.Table(), p); !s)
        reader.Fail(s.message());
    if (kind == CellPatternKind::Bitmap) {
        QImage picture;
        if (Status s = LoadCellPicture(picturePath, &picture); !s) {
            PrintError(s.message());
            return kExitFailure;
        }
        renderer.SetCellPicture(picture);
    }
    if (Status s = ApplyCellPattern(renderer, p, result); !s) {
        PrintError(s.message());
        return kExitFailure;
    }
    return kExitOk;
}

QString ParameterLines() {
    QString text = QStringLiteral("Parameters (default, range):\n");
    for (const QString& name : CellPatternKindNames()) {
        const CellPatternKind kind = *CellPatternKindFromName(name);
        const CellPatternParameters defaults = CellPatternParameters::Defaults(kind);
        text += QStringLiteral("  %1\n").arg(name);
        for (const CellPatternParameterInfo& info : CellPatternParameterList(kind)) {
            QString label = info.label;
            if (label.endsWith(QLatin1Char(':')))
                label.chop(1);
            QString value = QString::number(info.get(defaults));
            if (info.name.startsWith(QLatin1String("photo-")))
                value = QStringLiteral("what the cells hold now");
            text += QStringLiteral("    %1 %2 (%3; %4 .. %5)\n")
                        .arg(info.name, -14)
                        .arg(label, value)
                        .arg(info.minimum)
                        .arg(info.maximum);
        }
    }
    text += QStringLiteral(
        "  Giving craft a photo-width or photo-height first resizes the table so that\n"
        "  every cell holds a photo of that size inside its frame, and prints the new\n"
        "  table=W,H,ROWS,COLUMNS,BORDER.\n");
    return text;
}

} // namespace

int RunCellPatternCommand(const QStringList& args) {
    const QString command = QStringLiteral("cell-pattern");
    ArgumentReader reader(command, args);
    const QString help =
        QString::fromUtf8(kCellPatternHelp).arg(WrapList(BundledPictureNames(), 50, 24)) +
        ParameterLines();
    if (args.isEmpty()) {
        PrintError(help.trimmed());
        return kExitUsage;
    }
    if (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        PrintOut(help.trimmed());
        return kExitOk;
    }
    const QString pattern = reader.Next();
    const std::optional<CellPatternKind> kind = CellPatternKindFromName(pattern);
    if (!kind)
        reader.Fail(QStringLiteral("unknown pattern '%1' (one of: %2)")
                        .arg(pattern, CellPatternKindNames().join(QStringLiteral(", "))));
    QString out, picture;
    QStringList sets;
    std::optional<std::uint32_t> seed;
    std::optional<COLORREF> cellColor;
    int table[5] = {450, 200, 2, 3, 5};
    while (!reader.AtEnd()) {
        const QString arg = reader.Next();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            PrintOut(help.trimmed());
            return kExitOk;
        } else if (arg == QLatin1String("--out")) {
            out = reader.Value(arg);
            if (out.isEmpty())
                reader.BadValue(arg, out, QStringLiteral("a path"));
        } else if (arg == QLatin1String("--table")) {
            reader.TableValue(arg, table);
        } else if (arg == QLatin1String("--cell-color")) {
            cellColor = reader.ColorValue(arg);
        } else if (arg == QLatin1String("--set")) {
            sets << reader.Value(arg);
        } else if (arg == QLatin1String("--seed")) {
            seed = std::uint32_t(reader.IntValue(arg, 0, std::numeric_limits<int>::max()));
        } else if (arg == QLatin1String("--picture")) {
            picture = reader.Value(arg);
        } else {
            reader.Fail(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }
    if (out.isEmpty())
        reader.Fail(QStringLiteral("--out FILE.gif is required"));

    // The pattern goes through a renderer, the way the pattern windows paint
    // it; as a layer of its own the mask is written at once.
    std::unique_ptr<AnimationRenderer> renderer = CreateRendererByName(RendererTypeNames().first());
    TableGeometry geometry{table[0], table[1], table[2], table[3], table[4]};
    if (cellColor)
        geometry.cellColor = *cellColor;
    renderer->SetTable(geometry);
    renderer->SetCellGifPath(out);
    renderer->SetMask(MaskMode::SeparateLayer, nullptr);
    CellPatternResult result;
    if (const int code = PaintForRenderer(*kind, sets, QStringLiteral("--set"), command, picture,
                                          seed, reader, *renderer, &result);
        code != kExitOk)
        return code;
    QString line =
        QStringLiteral("width=%1 height=%2").arg(result.mask->Width()).arg(result.mask->Height());
    if (*kind == CellPatternKind::CraftScissors)
        line += QStringLiteral(" seed=%1").arg(result.seed);
    PrintOut(line);
    return kExitOk;
}

bool ReadRenderCellPatternOption(const QString& arg, ArgumentReader& reader,
                                 RenderCellPatternOptions* options) {
    if (arg == QLatin1String("--cell-pattern")) {
        options->pattern = reader.Value(arg);
        if (!CellPatternKindFromName(options->pattern))
            reader.BadValue(arg, options->pattern,
                            CellPatternKindNames().join(QStringLiteral(", ")));
    } else if (arg == QLatin1String("--cell-set")) {
        options->sets << reader.Value(arg);
    } else if (arg == QLatin1String("--cell-color")) {
        options->cellColor = reader.ColorValue(arg);
    } else if (arg == QLatin1String("--cell-seed")) {
        options->seed = std::uint32_t(reader.IntValue(arg, 0, std::numeric_limits<int>::max()));
    } else if (arg == QLatin1String("--picture")) {
        options->picture = reader.Value(arg);
    } else {
        return false;
    }
    return true;
}

int ApplyRenderCellPattern(const RenderCellPatternOptions& options, AnimationRenderer& renderer,
                           const ArgumentReader& reader) {
    if (options.cellColor) {
        TableGeometry geometry = renderer.Table();
        geometry.cellColor = *options.cellColor;
        renderer.SetTable(geometry);
    }
    if (options.pattern.isEmpty()) {
        if (!options.sets.isEmpty() || !options.picture.isEmpty() || options.seed)
            reader.Fail(
                QStringLiteral("--cell-set, --cell-seed and --picture need --cell-pattern"));
        return kExitOk;
    }
    const CellPatternKind kind = *CellPatternKindFromName(options.pattern);
    // Merged: nothing is written now, and the frames cover the table.
    renderer.SetMask(MaskMode::MergedIntoFrames, nullptr);
    CellPatternResult result;
    if (const int code = PaintForRenderer(kind, options.sets, QStringLiteral("--cell-set"),
                                          QStringLiteral("cell-pattern"), options.picture,
                                          options.seed, reader, renderer, &result);
        code != kExitOk)
        return code;
    renderer.SetFrameWidth(renderer.GetTableWidth());
    renderer.SetFrameHeight(renderer.GetTableHeight());
    if (kind == CellPatternKind::CraftScissors)
        PrintOut(QStringLiteral("cell-seed=%1").arg(result.seed));
    return kExitOk;
}

QString RenderCellPatternHelp() {
    return QStringLiteral(
        "  --cell-pattern PATTERN\n"
        "                     paint a cell pattern (rect, round, craft, bitmap) on the\n"
        "                     --table and merge it into every frame: the cells become\n"
        "                     transparent over the cell colour, and the frames take the\n"
        "                     table's size (see 'velmora-cli cell-pattern --help')\n"
        "  --cell-set NAME=VALUE  a parameter of the pattern\n"
        "  --cell-color #rrggbb   the table's cell colour (default #ffffff)\n"
        "  --cell-seed N      seed of a craft pattern's outline (default: the time)\n"
        "  --picture FILE     the bitmap pattern's picture\n");
}

Status WriteDemoCellPattern(const CHtmlTable& table, const QString& cellGifPath,
                            AnimationRenderer& renderer) {
    TableGeometry geometry;
    geometry.width = table.GetWidth();
    geometry.height = table.GetHeight();
    geometry.rows = table.GetRows();
    geometry.columns = table.GetColumns();
    geometry.border = table.GetBorder();
    geometry.cellColor = table.GetCellColor();
    renderer.SetTable(geometry);
    renderer.SetCellGifPath(cellGifPath);
    renderer.SetMask(MaskMode::SeparateLayer, nullptr);
    CellPatternParameters craft = CellPatternParameters::Defaults(CellPatternKind::CraftScissors);
    craft.seed = 20;
    return ApplyCellPattern(renderer, craft);
}
