// velmora-cli info: a GIF's frames and its recorded animation, a page's table
// and the GIFs it names.
#include "cli/cli_run.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(CliInfo, GifShowsFramesAndTheRecordedAnimation) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("f.gif"));
    CliResult r = RunCli({"render", "flowing-clouds", "--out", out, "--seed", "321", "--set",
                          "width=20", "--set", "height=16"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunCli({"info", out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("size: 20 x 16")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("loop: forever"));
    EXPECT_TRUE(r.out.contains("comment: Velmora"));
    EXPECT_TRUE(r.out.contains("animation: flowing-clouds"));
    EXPECT_TRUE(r.out.contains("  width: 20"));
    EXPECT_TRUE(r.out.contains("  seed: 321"));
}

TEST(CliInfo, PageShowsItsTableAndItsGifs) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("shop"));
    CliResult r =
        RunCli({"page", "--out", base, "--rows", "4", "--columns", "6", "--cell-color", "#102030"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunCli({"render", "moving-stripes", "--out", base + ".gif", "--set", "speed=120"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunCli({"info", base + ".htm"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("a Velmora page")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("rows: 4"));
    EXPECT_TRUE(r.out.contains("columns: 6"));
    EXPECT_TRUE(r.out.contains("cell colour: #102030"));
    EXPECT_TRUE(r.out.contains("shop.gif:"));
    EXPECT_TRUE(r.out.contains("animation: moving-stripes"));
    EXPECT_TRUE(r.out.contains("speed: 120"));
}

TEST(CliInfo, ForeignAndUnreadableFiles) {
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("x.htm"));
    QFile f(page);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><body>not ours</body></html>");
    f.close();
    CliResult r = RunCli({"info", page});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("did not write"));
    r = RunCli({"info", dir.filePath(QStringLiteral("none.gif"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.isEmpty());
    r = RunCli({"info"});
    EXPECT_EQ(r.exitCode, 2);
}

} // namespace
