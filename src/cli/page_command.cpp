#include "cli/page_command.h"

#include "animation/moving_stripes_renderer.h"
#include "cli/arguments.h"
#include "cli/cell_pattern_command.h"
#include "page/atomic_write.h"
#include "page/html_table.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

const char* const kPageHelp =
    R"(Usage: velmora-cli page --out BASE [options]

Writes the table page BASE.htm. When BASE.gif does not exist yet, the default
animation is copied there, so the page set is complete.

Options (applied in this order, each clamped as the Table Properties window
clamps it):
  --out BASE            page set base path (required); the page is BASE.htm
  --hide-cells          do not draw the grid of cells
  --width N             table width in pixels (at least 2; default 450)
  --height N            table height in pixels (at least 2; default 200)
  --border N            spacing between cells (1 .. min(width, height) / 2;
                        default 5)
  --rows N              rows of cells (at least 1; default 2)
  --columns N           columns of cells (at least 1; default 3)
  --cell-color #rrggbb  colour of the cells (default #ffffff)
  --page-color #rrggbb  page background colour (default #ffffff)
  --cell-layer          lay a separate cell-pattern GIF (BASE-cell.gif) over
                        the animation
  --image-name NAME     name the images NAME.gif and NAME-cell.gif instead of
                        using the page's own base name (empty: the page's)
  --help                show this text

Exit status: 0 written, 1 a file could not be written, 2 a wrong option or
value (nothing is written then).
)";

const char* const kDemoHelp =
    R"(Usage: velmora-cli demo [DIR]

Writes two example page sets into DIR, by default ./velmora-demo: demo.htm
with its animation demo.gif (Moving Stripes), and pattern.htm, the same
animation (pattern.gif) seen through a craft-scissors cell pattern laid over
it (pattern-cell.gif); and tells how to open them.
)";

namespace {

const QString kDefaultAnimation = QStringLiteral(":/images/default.gif");

struct PageOptions {
    QString base;
    bool hideCells = false;
    std::optional<int> width, height, border, rows, columns;
    std::optional<COLORREF> cellColor, pageColor;
    bool cellLayer = false;
    QString imageName;
};

// Writes the page and, when missing, the default animation beside it.
int WritePageSet(const CHtmlTable& table, const QString& base, const QString& imageName,
                 bool replaceAnimation = false) {
    const QString page = base + QStringLiteral(".htm");
    QString error;
    if (!table.WritePage(page, imageName, &error)) {
        PrintError(error);
        return kExitFailure;
    }
    PrintOut(page);
    const QString gif = base + QStringLiteral(".gif");
    if (replaceAnimation || !QFileInfo::exists(gif)) {
        if (Status s = CopyFileAtomically(kDefaultAnimation, gif); !s) {
            PrintError(s.message());
            return kExitFailure;
        }
        PrintOut(gif);
    }
    return kExitOk;
}

} // namespace

int RunPageCommand(const QStringList& args) {
    ArgumentReader reader(QStringLiteral("page"), args);
    PageOptions o;
    bool haveOut = false;
    constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    while (!reader.AtEnd()) {
        const QString arg = reader.Next();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            PrintOut(QString::fromUtf8(kPageHelp).trimmed());
            return kExitOk;
        } else if (arg == QLatin1String("--out")) {
            o.base = reader.Value(arg);
            if (o.base.isEmpty())
                reader.BadValue(arg, o.base, QStringLiteral("a path"));
            haveOut = true;
        } else if (arg == QLatin1String("--hide-cells")) {
            o.hideCells = true;
        } else if (arg == QLatin1String("--width")) {
            o.width = reader.IntValue(arg, kMin, kMax);
        } else if (arg == QLatin1String("--height")) {
            o.height = reader.IntValue(arg, kMin, kMax);
        } else if (arg == QLatin1String("--border")) {
            o.border = reader.IntValue(arg, kMin, kMax);
        } else if (arg == QLatin1String("--rows")) {
            o.rows = reader.IntValue(arg, kMin, kMax);
        } else if (arg == QLatin1String("--columns")) {
            o.columns = reader.IntValue(arg, kMin, kMax);
        } else if (arg == QLatin1String("--cell-color")) {
            o.cellColor = reader.ColorValue(arg);
        } else if (arg == QLatin1String("--page-color")) {
            o.pageColor = reader.ColorValue(arg);
        } else if (arg == QLatin1String("--cell-layer")) {
            o.cellLayer = true;
        } else if (arg == QLatin1String("--image-name")) {
            o.imageName = reader.Value(arg);
            if (o.imageName.contains(QLatin1Char('/')) || o.imageName.contains(QLatin1Char('\\')))
                reader.BadValue(arg, o.imageName, QStringLiteral("a file name without a folder"));
        } else {
            reader.Fail(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }
    if (!haveOut)
        reader.Fail(QStringLiteral("--out BASE is required"));

    CHtmlTable table;
    table.SetShowCells(!o.hideCells);
    if (o.width)
        table.SetWidth(*o.width);
    if (o.height)
        table.SetHeight(*o.height);
    if (o.border)
        table.SetBorder(*o.border);
    if (o.rows)
        table.SetRows(*o.rows);
    if (o.columns)
        table.SetColumns(*o.columns);
    if (o.cellColor)
        table.SetCellColor(*o.cellColor);
    if (o.pageColor)
        table.SetPageColor(*o.pageColor);
    table.SetCellPattern(o.cellLayer);
    return WritePageSet(table, o.base, o.imageName);
}

int RunDemoCommand(const QStringList& args) {
    ArgumentReader reader(QStringLiteral("demo"), args);
    QString dir = QStringLiteral("velmora-demo");
    bool haveDir = false;
    while (!reader.AtEnd()) {
        const QString arg = reader.Next();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            PrintOut(QString::fromUtf8(kDemoHelp).trimmed());
            return kExitOk;
        }
        if (arg.startsWith(QLatin1Char('-')) || haveDir)
            reader.Fail(QStringLiteral("unexpected argument '%1'").arg(arg));
        dir = arg;
        haveDir = true;
    }
    if (!QDir().mkpath(dir)) {
        PrintError(QStringLiteral("Cannot create the folder %1").arg(dir));
        return kExitFailure;
    }
    CHtmlTable table;
    table.SetWidth(480);
    table.SetHeight(240);
    table.SetRows(3);
    table.SetColumns(4);
    table.SetBorder(8);
    table.SetCellColor(MakeColorRef(0xfa, 0xf6, 0xee));
    table.SetPageColor(MakeColorRef(0x2b, 0x2d, 0x42));
    const QString base = QDir(dir).filePath(QStringLiteral("demo"));
    // Three-colour stripes, cut to one seamless tile that the page repeats.
    MovingStripesRenderer stripes;
    stripes.SetNumberOfColors(3);
    stripes.SetStripeColor(0, MakeColorRef(0xef, 0x23, 0x3c));
    stripes.SetStripeColor(1, MakeColorRef(0xed, 0xf2, 0xf4));
    stripes.SetStripeColor(2, MakeColorRef(0x8d, 0x99, 0xae));
    stripes.SetBackgroundColor(MakeColorRef(0x2b, 0x2d, 0x42));
    stripes.SetSpeed(24);
    stripes.Tile();
    stripes.SetAnimationGifPath(base + QStringLiteral(".gif"));
    if (Status s = stripes.SaveAnimatedGif(); !s) {
        PrintError(s.message());
        return kExitFailure;
    }
    int result = WritePageSet(table, base, QString());
    if (result == kExitOk)
        PrintOut(base + QStringLiteral(".gif"));
    // The same animation through a cell pattern of its own GIF, which takes
    // the place of the plain grid.
    const QString patternBase = QDir(dir).filePath(QStringLiteral("pattern"));
    if (result == kExitOk) {
        table.SetShowCells(false);
        table.SetCellPattern(true);
        const QString cellGif = patternBase + QStringLiteral("-cell.gif");
        Status s =
            CopyFileAtomically(base + QStringLiteral(".gif"), patternBase + QStringLiteral(".gif"));
        if (s)
            s = WriteDemoCellPattern(table, cellGif, stripes);
        if (!s) {
            PrintError(s.message());
            return kExitFailure;
        }
        result = WritePageSet(table, patternBase, QString());
        if (result == kExitOk)
            PrintOut(patternBase + QStringLiteral(".gif\n") + cellGif);
    }
    if (result == kExitOk)
        PrintOut(QStringLiteral("Open %1 or %2 in a web browser to see the pages.")
                     .arg(QFileInfo(base + QStringLiteral(".htm")).absoluteFilePath(),
                          QFileInfo(patternBase + QStringLiteral(".htm")).absoluteFilePath()));
    return result;
}
