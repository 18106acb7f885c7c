#include "cli/cli_run.h"
#include "imaging/gif_reader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(CliRender, ReportsWhatItWrote) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("m.gif"));
    const QString raw = dir.filePath(QStringLiteral("m.raw"));
    CliResult r = RunCli({"render", "moving-stripes", "--out", out, "--set", "speed=100", "--set",
                          "width=30", "--set", "height=20", "--dump-frames", raw});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("frames=2 delay=10 width=30 height=20"));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(out, &gif));
    EXPECT_EQ(gif.frames.size(), 2u);
    EXPECT_EQ(QFileInfo(raw).size(), 2 * 30 * 20 * 3);

    r = RunCli({"render", "rotating-stripes", "--out", out, "--set", "fit-to-cell=1", "--table",
                "450,200,2,3,5"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("frames=10 delay=10 width=450 height=200"));

    r = RunCli({"render", "moving-stripes", "--out", out, "--set", "tile=1", "--set", "angle=0"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("width=40 height=10"));

    r = RunCli(
        {"render", "moving-stripes", "--out", out, "--set", "width=-4", "--set", "colors=9"});
    ASSERT_EQ(r.exitCode, 0); // clamped by the setters
    EXPECT_TRUE(r.out.contains("width=5"));
}

TEST(CliRender, BadParametersWriteNothing) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("x.gif"));
    const QList<QStringList> bad = {
        {"render", "moving-stripes", "--out", out, "--set", "wobble=3"},
        {"render", "moving-stripes", "--out", out, "--set", "speed=fast"},
        {"render", "moving-stripes", "--out", out, "--set", "color1=red"},
        {"render", "moving-stripes", "--out", out, "--set", "dither=2"},
        {"render", "moving-stripes", "--out", out, "--set", "fit-to-cell=1"},
        {"render", "rotating-stripes", "--out", out, "--set", "angle=10"},
        {"render", "moving-stripes", "--out", out, "--set", "speed"},
        {"render", "moving-stripes", "--out", out, "--table", "1,2,3"},
        {"render", "spinning-cubes", "--out", out},
        {"render", "moving-stripes"},
    };
    for (const QStringList& args : bad) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_FALSE(QFile::exists(out)) << args.join(' ').toStdString();
    }
}

TEST(CliRender, HelpListsEveryParameter) {
    const CliResult r = RunCli({"render", "moving-stripes", "--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* name : {"width", "height", "colors", "angle", "stripe-width",
                             "stripe-distance", "background-color", "color1", "color5",
                             "background-stripes", "speed", "dither", "tile=1"})
        EXPECT_TRUE(r.out.contains(QLatin1String(name))) << name;
    EXPECT_TRUE(RunCli({"render", "rotating-stripes", "--help"}).out.contains("fit-to-cell"));
}

} // namespace
