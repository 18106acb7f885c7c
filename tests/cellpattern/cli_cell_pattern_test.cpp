// velmora-cli cell-pattern, render --cell-pattern and the demo's pattern page.
#include "cli/cli_run.h"
#include "core/imaging/gif_reader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(CliCellPattern, WritesTheCellGif) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("t-cell.gif"));
    CliResult r = RunCli({"cell-pattern", "rect", "--out", out, "--table", "120,80,2,2,6",
                          "--cell-color", "#ff8000", "--set", "border=3", "--set", "margin=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("width=120 height=80"));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(out, &gif));
    ASSERT_EQ(gif.frames.size(), 1u);
    EXPECT_EQ(gif.width, 120);
    EXPECT_EQ(gif.frames[0].transparentIndex, 0);
    ASSERT_EQ(gif.globalPalette.size(), 2u);
    EXPECT_EQ(gif.globalPalette[1], qRgb(0xff, 0x80, 0x00));

    for (const char* pattern : {"round", "craft"}) {
        r = RunCli({"cell-pattern", pattern, "--out", out});
        ASSERT_EQ(r.exitCode, 0) << pattern << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(QLatin1String("width=450 height=200"))) << pattern;
    }
    r = RunCli({"cell-pattern", "bitmap", "--out", out, "--picture", "heart", "--set", "border=4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("width=450 height=200"));
}

TEST(CliCellPattern, CraftSeedRepeatsThePattern) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.gif")),
                  b = dir.filePath(QStringLiteral("b.gif"));
    CliResult r = RunCli({"cell-pattern", "craft", "--out", a, "--seed", "42"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("width=450 height=200 seed=42"));
    // Without a seed one is chosen and printed; given back it draws the
    // same file.
    r = RunCli({"cell-pattern", "craft", "--out", b, "--set", "flat-inner=0"});
    ASSERT_EQ(r.exitCode, 0);
    const QString seed = r.out.trimmed().section(QLatin1String("seed="), 1);
    ASSERT_FALSE(seed.isEmpty());
    const QByteArray first = ReadFileBytes(b);
    r = RunCli({"cell-pattern", "craft", "--out", b, "--set", "flat-inner=0", "--seed", seed});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(ReadFileBytes(b), first);
    EXPECT_NE(ReadFileBytes(a), first);
}

TEST(CliCellPattern, PhotoSizeFitsTheTableFirst) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("p.gif"));
    const CliResult r = RunCli({"cell-pattern", "craft", "--out", out, "--seed", "1", "--set",
                                "photo-width=640", "--set", "photo-height=480"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(),
              QStringLiteral("table=2004,1023,2,3,21\nwidth=2004 height=1023 seed=1"));
}

TEST(CliCellPattern, UsageErrorsWriteNothing) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("x.gif"));
    const QList<QStringList> bad = {
        {"cell-pattern", "hexagons", "--out", out},
        {"cell-pattern", "rect"},
        {"cell-pattern", "rect", "--out", out, "--set", "corner=5"},
        {"cell-pattern", "rect", "--out", out, "--set", "border=thick"},
        {"cell-pattern", "rect", "--out", out, "--set", "border=-1"},
        {"cell-pattern", "craft", "--out", out, "--set", "bumps-y=1"},
        {"cell-pattern", "craft", "--out", out, "--set", "flat-inner=2"},
        {"cell-pattern", "craft", "--out", out, "--seed", "-3"},
        {"cell-pattern", "rect", "--out", out, "--picture", "heart"},
        {"cell-pattern", "bitmap", "--out", out},
        {"cell-pattern", "rect", "--out", out, "--table", "1,2,3"},
        {"cell-pattern", "rect", "--out", out, "--table", "70000,10,1,1,0"},
        {"cell-pattern", "rect", "--out", out, "--cell-color", "orange"},
        {"cell-pattern", "rect", "--out", out, "--wobble"},
        {"cell-pattern"},
    };
    for (const QStringList& args : bad) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(out)) << args.join(' ').toStdString();
    }
    // A picture that cannot be read, or a folder that is not there, is a
    // file error.
    CliResult r = RunCli({"cell-pattern", "bitmap", "--out", out, "--picture",
                          dir.filePath(QStringLiteral("none.bmp"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFile::exists(out));
    r = RunCli({"cell-pattern", "rect", "--out", dir.filePath(QStringLiteral("no/x.gif"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("no/x.gif")));
}

TEST(CliCellPattern, HelpListsTheParameters) {
    const CliResult r = RunCli({"cell-pattern", "--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"rect", "round", "craft", "bitmap", "border", "margin", "corner",
                             "bumps-y", "bumps-x", "line-width", "flat-inner", "photo-width",
                             "photo-height", "--seed", "--picture", "Heart"})
        EXPECT_TRUE(r.out.contains(QLatin1String(word))) << word;
    EXPECT_TRUE(RunCli({"--help"}).out.contains(QLatin1String("cell-pattern")));
    EXPECT_TRUE(RunCli({"render", "--help"}).out.contains(QLatin1String("--cell-pattern")));
}

TEST(CliRenderCellPattern, MergesTheMaskIntoEveryFrame) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("m.gif"));
    CliResult r = RunCli({"render", "moving-stripes", "--out", out, "--set", "speed=100", "--table",
                          "90,60,2,2,4", "--cell-pattern", "craft", "--cell-seed", "3",
                          "--cell-set", "flat-inner=0", "--cell-color", "#00ff00"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("cell-seed=3")));
    EXPECT_TRUE(r.out.contains(QLatin1String("width=90 height=60"))); // the table's size
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(out, &gif));
    ASSERT_GE(gif.frames.size(), 1u);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("m-cell.gif"))));
    for (const GifFrameInfo& f : gif.frames) {
        EXPECT_EQ(f.transparentIndex, 0);
        int transparent = 0;
        for (std::uint8_t index : f.indices.pixels)
            transparent += index == 0;
        // Most of a line-only craft pattern is cell.
        EXPECT_GT(transparent, 90 * 60 / 2);
        EXPECT_LT(transparent, 90 * 60);
    }
    EXPECT_EQ(gif.globalPalette[0], qRgb(0, 255, 0));

    // Pattern options without a pattern, or a bad pattern value, are usage
    // errors that write nothing.
    const QString none = dir.filePath(QStringLiteral("none.gif"));
    for (const QStringList& args :
         QList<QStringList>{{"render", "moving-stripes", "--out", none, "--cell-set", "border=3"},
                            {"render", "moving-stripes", "--out", none, "--cell-pattern", "dots"},
                            {"render", "moving-stripes", "--out", none, "--cell-pattern", "rect",
                             "--cell-set", "border=x"}}) {
        r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(none));
    }
}

TEST(CliDemo, PatternPageLaysTheCellGifOverTheAnimation) {
    QTemporaryDir dir;
    const CliResult r = RunCli({"demo", dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray page = ReadFileBytes(dir.filePath(QStringLiteral("pattern.htm")));
    EXPECT_TRUE(page.contains("background=\"pattern.gif\""));
    EXPECT_TRUE(page.contains("background=\"pattern-cell.gif\""));
    GifAnimation cell;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("pattern-cell.gif")), &cell));
    EXPECT_EQ(cell.width, 480);
    EXPECT_EQ(cell.height, 240);
    EXPECT_EQ(cell.frames[0].transparentIndex, 0);
    EXPECT_EQ(ReadFileBytes(dir.filePath(QStringLiteral("pattern.gif"))),
              ReadFileBytes(dir.filePath(QStringLiteral("demo.gif"))));
}

} // namespace
