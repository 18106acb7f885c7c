#include "cli/page_command.h"

#include "cli/arguments.h"
#include "cli/cell_pattern_command.h"
#include "core/animation/animation_save.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/webp_save.h"
#include "core/base/atomic_file.h"
#include "core/base/atomic_write.h"
#include "core/base/staged_file_set.h"
#include "core/page/html_table.h"
#include "core/page/page_names.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

const char* const kPageHelp =
    R"(Usage: velmora-cli page --out BASE [options]

Writes the table page BASE.htm. When the animation the page names (BASE.gif,
or NAME.gif with --image-name) does not exist yet, the default animation is
written there first, so the page set is complete. Every target is checked
before anything is written.

Options (applied in this order, each clamped as the Table Properties window
clamps it):
  --out BASE            page set base path (required); the page is BASE.htm.
                        BASE must end in a file name: '/', 'sub/' or '.'
                        name folders and are refused; '\' separates
                        folders too, as in the names inside the page
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
                        the animation; that file must already exist (save a
                        cell pattern from Velmora first)
  --image-name NAME     name the images NAME.gif and NAME-cell.gif instead of
                        using the page's own base name (empty: the page's;
                        NAME.gif is taken as NAME); they sit in BASE's folder
  --style STYLE         classic (default: the HTML 4 page Velmora has always
                        written) or modern (HTML5 with CSS: the table shows
                        BASE.webp where the browser takes WebP, BASE.gif
                        elsewhere). A modern page needs its WebPs: a missing
                        BASE.webp (and BASE-cell.webp with --cell-layer) is
                        made from its GIF
  --help                show this text

Limits: a page holds at most 1 GiB of text (about 30 million cells); a
larger table is refused before anything is written.

Exit status: 0 written, 1 a file could not be read or written (the previous
files are kept), 2 a wrong option or value (nothing is written then).
)";

const char* const kDemoHelp =
    R"(Usage: velmora-cli demo [DIR]

Writes two example page sets into DIR, by default ./velmora-demo: demo.htm
with its animation demo.gif (Moving Stripes) and the same as an animated
WebP, demo.webp, and pattern.htm, the same
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
    PageStyle style = PageStyle::Classic;
};

// A base whose file name part is empty, "." or ".." names a folder: its page
// would be ".htm" or "..htm", a hidden file beside the folder.
bool NamesAFolder(const QString& base) {
    const QString name = base.mid(LastSeparator(base) + 1);
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
}

// The files of one page set, as the page names them: the images sit beside
// the page under the names the page uses for them.
struct PageSetPaths {
    QString page;
    QString animation;
    QString cellPattern;
    QString animationWebp;
    QString cellPatternWebp;
};

PageSetPaths PathsOf(const QString& base, const QString& imageName) {
    PageSetPaths paths;
    paths.page = base + QStringLiteral(".htm");
    const PageImageNames names = ImageNamesFor(paths.page, imageName);
    const QString folder = FolderOf(base);
    paths.animation = folder + names.animation;
    paths.cellPattern = folder + names.cellPattern;
    paths.animationWebp = folder + names.animationWebp;
    paths.cellPatternWebp = folder + names.cellPatternWebp;
    return paths;
}

// The cell-pattern GIF a page with a cell layer lays over its animation.
// Nothing writes a default one here yet, so the page is refused while the
// file is missing rather than pointing at nothing. Once the cell-pattern
// painters exist, this is where a default Rectangle mask gets written.
Status CheckCellPattern(const QString& path) {
    if (QFileInfo(path).isFile())
        return Status::Ok();
    return Status::Error(QStringLiteral("velmora-cli page: the cell pattern %1 does not exist; "
                                        "--cell-layer lays it over the animation, so save one "
                                        "there first (nothing was written)")
                             .arg(path));
}

// Checks everything the page set needs before anything is written: a page
// within the size limit (a usage error otherwise), writable targets and, for
// a cell layer, its cell pattern.
int CheckPageSet(const CHtmlTable& table, const PageSetPaths& paths, const QString& imageName,
                 bool writeAnimation) {
    if (Status s = table.CheckPageSize(paths.page, imageName); !s) {
        PrintError(QStringLiteral("velmora-cli page: %1").arg(s.message()));
        return kExitUsage;
    }
    Status s = AtomicFile::CheckTarget(paths.page);
    // An existing animation is kept, but a folder of that name is no
    // animation.
    if (s && (writeAnimation || QFileInfo(paths.animation).isDir()))
        s = AtomicFile::CheckTarget(paths.animation);
    if (s && table.HasCellPattern())
        s = CheckCellPattern(paths.cellPattern);
    if (table.GetPageStyle() == PageStyle::Modern) {
        if (s)
            s = AtomicFile::CheckTarget(paths.animationWebp);
        if (s && table.HasCellPattern())
            s = AtomicFile::CheckTarget(paths.cellPatternWebp);
    }
    if (!s) {
        PrintError(s.message());
        return kExitFailure;
    }
    return kExitOk;
}

// Writes the default animation under the name the page uses, when it is
// missing (or always with replaceAnimation), then the page: the page set is
// complete whenever the page exists.
int WritePageSet(const CHtmlTable& table, const QString& base, const QString& imageName,
                 bool replaceAnimation = false) {
    const PageSetPaths paths = PathsOf(base, imageName);
    const bool writeAnimation = replaceAnimation || !QFileInfo::exists(paths.animation);
    if (const int checked = CheckPageSet(table, paths, imageName, writeAnimation);
        checked != kExitOk)
        return checked;
    // Both files are complete before either is renamed into place: a failure
    // keeps the previous set whole and leaves no new file.
    StagedFileSet files;
    auto failed = [&files](const Status& s) {
        PrintError(files.Named(s).message());
        return kExitFailure;
    };
    Status s;
    QString stagedAnimation;
    if (writeAnimation) {
        stagedAnimation = files.Stage(paths.animation, &s);
        if (!s)
            return failed(s);
        if (s = CopyFileAtomically(kDefaultAnimation, stagedAnimation); !s)
            return failed(s);
    }
    // A modern page prefers the WebPs by type, and a browser that takes
    // WebP does not fall back to the GIF when the WebP is missing: each
    // missing one (or one whose GIF is new) is made from its GIF.
    QStringList madeWebps;
    if (table.GetPageStyle() == PageStyle::Modern) {
        std::vector<std::pair<QString, QString>> webps; // GIF, WebP
        if (writeAnimation || !QFileInfo::exists(paths.animationWebp))
            webps.emplace_back(writeAnimation ? stagedAnimation : paths.animation,
                               paths.animationWebp);
        if (table.HasCellPattern() && !QFileInfo::exists(paths.cellPatternWebp))
            webps.emplace_back(paths.cellPattern, paths.cellPatternWebp);
        for (const auto& [gif, webp] : webps) {
            const QString staged = files.Stage(webp, &s);
            if (!s)
                return failed(s);
            if (s = WriteWebpFromGif(gif, staged); !s)
                return failed(s);
            madeWebps << webp;
        }
    }
    const QString stagedPage = files.Stage(paths.page, &s);
    if (!s)
        return failed(s);
    QString error;
    if (!table.WritePageTo(stagedPage, paths.page, imageName, &error))
        return failed(Status::Error(error));
    if (s = files.Commit(); !s)
        return failed(s);
    PrintOut(paths.page);
    if (writeAnimation)
        PrintOut(paths.animation);
    for (const QString& webp : madeWebps)
        PrintOut(webp);
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
            o.base = SeparatorsAsSlashes(reader.Value(arg));
            if (o.base.isEmpty())
                reader.BadValue(arg, o.base, QStringLiteral("a path"));
            if (NamesAFolder(o.base))
                reader.BadValue(arg, o.base,
                                QStringLiteral("a base path ending in a file name, such as "
                                               "site/shop (it names a folder)"));
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
            // "anim.gif" names the GIF itself: it means anim, not anim.gif.gif.
            if (o.imageName.size() > 4 &&
                o.imageName.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
                o.imageName.chop(4);
            if (o.imageName.contains(QLatin1Char('/')) || o.imageName.contains(QLatin1Char('\\')) ||
                o.imageName == QLatin1String(".") || o.imageName == QLatin1String(".."))
                reader.BadValue(arg, o.imageName, QStringLiteral("a file name without a folder"));
        } else if (arg == QLatin1String("--style")) {
            const QString name = reader.Value(arg);
            const std::optional<PageStyle> style = PageStyleFromName(name);
            if (!style)
                reader.BadValue(arg, name, QStringLiteral("classic or modern"));
            o.style = *style;
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
    table.SetPageStyle(o.style);
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
    const QString base = QDir(dir).filePath(QStringLiteral("demo"));
    for (const QString& target : {base + QStringLiteral(".gif"), base + QStringLiteral(".webp"),
                                  base + QStringLiteral(".htm")}) {
        if (Status s = AtomicFile::CheckTarget(target); !s) {
            PrintError(s.message());
            return kExitFailure;
        }
    }
    CHtmlTable table;
    table.SetWidth(480);
    table.SetHeight(240);
    table.SetRows(3);
    table.SetColumns(4);
    table.SetBorder(8);
    table.SetCellColor(MakeColorRef(0xfa, 0xf6, 0xee));
    table.SetPageColor(MakeColorRef(0x2b, 0x2d, 0x42));
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
    if (Status s = SaveAnimation(stripes); !s) {
        PrintError(s.message());
        return kExitFailure;
    }
    if (Status s = WriteAnimatedWebp(stripes, base + QStringLiteral(".webp")); !s) {
        PrintError(s.message());
        return kExitFailure;
    }
    int result = WritePageSet(table, base, QString());
    if (result == kExitOk)
        PrintOut(base + QStringLiteral(".gif\n") + base + QStringLiteral(".webp"));
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
