#include "cli/cli_run.h"
#include "core/imaging/gif_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(CliRubberClouds, SeedRepeatsTheFileAndIsReported) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.gif")),
                  b = dir.filePath(QStringLiteral("b.gif"));
    const QStringList common = {"--seed", "12",        "--set", "width=70",
                                "--set",  "height=50", "--set", "layers-density=3",
                                "--set",  "outward=0"};
    CliResult r = RunCli(QStringList{"render", "rubber-clouds", "--out", a} + common);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("frames=30 delay=10 width=70 height=50 seed=12"));
    r = RunCli(QStringList{"render", "rubber-clouds", "--out", b} + common);
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(ReadAll(a), ReadAll(b));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(a, &gif));
    EXPECT_EQ(gif.frames.size(), 30u);

    // Without a seed one is chosen, and shown.
    r = RunCli({"render", "rubber-clouds", "--out", b, "--set", "width=20", "--set", "height=20"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral(" seed=")));
}

TEST(CliRubberClouds, NotesTheFrameCapAndKnowsItsNames) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("c.gif"));
    CliResult r = RunCli({"render", "rubber-clouds", "--out", out, "--seed", "1", "--set",
                          "width=16", "--set", "height=16", "--set", "border-width=400"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("frames=500 ")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("cut to 500 frames")));

    r = RunCli({"render", "rubber-clouds", "--help"});
    ASSERT_EQ(r.exitCode, 0);
    for (const char* name :
         {"width", "height", "colors", "background-color", "color1", "color5", "bumps", "squeeze",
          "speed", "border-width", "border-distance", "background-borders", "constant-bumps",
          "outward", "layers-density", "dither"})
        EXPECT_TRUE(r.out.contains(QString::fromLatin1(name))) << name;

    r = RunCli({"render", "rubber-clouds", "--out", out, "--set", "outward=2"});
    EXPECT_EQ(r.exitCode, 2);
}

} // namespace
