// The scrolling animations through velmora-cli: a picture given by path, and
// what happens when it cannot be read.
#include "cli/cli_run.h"
#include "core/imaging/gif_reader.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(CliScrolling, DynamicPictureFromAPath) {
    QTemporaryDir dir;
    QImage picture(100, 70, QImage::Format_RGB32);
    picture.fill(qRgb(20, 90, 200));
    for (int x = 0; x < 100; ++x)
        picture.setPixel(x, x % 70, qRgb(250, 250, 0));
    const QString path = dir.filePath(QStringLiteral("tile.png"));
    ASSERT_TRUE(picture.save(path, "PNG"));
    const QString out = dir.filePath(QStringLiteral("d.gif"));
    CliResult r = RunCli({"render", "dynamic-picture", "--out", out, "--set",
                          QStringLiteral("picture=") + path, "--set", "angle=0"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("frames=75 delay=10 width=300 height=210"));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(out, &gif));
    EXPECT_EQ(gif.frames.size(), 75u);

    r = RunCli({"render", "dynamic-picture", "--help"});
    EXPECT_TRUE(r.out.contains(QStringLiteral("picture")));
}

TEST(CliScrolling, DynamicPictureThatCannotBeReadWritesNothing) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("d.gif"));
    CliResult r = RunCli({"render", "dynamic-picture", "--out", out});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Fill the filename to load")));
    EXPECT_FALSE(QFile::exists(out));

    const QString missing = dir.filePath(QStringLiteral("missing.png"));
    r = RunCli(
        {"render", "dynamic-picture", "--out", out, "--set", QStringLiteral("picture=") + missing});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(missing)) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

TEST(CliScrolling, FlowingCloudsRepeatsWithItsSeed) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.gif")),
                  b = dir.filePath(QStringLiteral("b.gif"));
    const QStringList common = {"--seed", "77", "--set", "colors=4", "--set", "angle=100"};
    CliResult r = RunCli(QStringList{"render", "flowing-clouds", "--out", a} + common);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("seed=77")));
    r = RunCli(QStringList{"render", "flowing-clouds", "--out", b} + common);
    ASSERT_EQ(r.exitCode, 0);
    QFile fa(a), fb(b);
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
    EXPECT_EQ(fa.readAll(), fb.readAll());
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(a, &gif));
    EXPECT_EQ(gif.width, 200);
}

} // namespace
