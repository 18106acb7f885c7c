#include "cli/cli_run.h"
#include "core/imaging/gif_reader.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString WriteRaw(const QTemporaryDir& dir, int w, int h, int frames, int extraBytes = 0) {
    QByteArray raw;
    for (int f = 0; f < frames; ++f)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                raw.append(char((x * 20 + f * 5) & 0xFF));
                raw.append(char((y * 30) & 0xFF));
                raw.append(char(((x + y) * 10) & 0xFF));
            }
    raw.append(QByteArray(extraBytes, '\0'));
    const QString path = dir.filePath(QStringLiteral("frames.raw"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(raw);
    return path;
}

TEST(CliEncode, WritesTheRequestedStructure) {
    QTemporaryDir dir;
    const QString raw = WriteRaw(dir, 12, 8, 5);
    const QString out = dir.filePath(QStringLiteral("out.gif"));
    const CliResult r =
        RunCli({"encode", "--size", "12x8", "--in", raw, "--out", out, "--delay", "7", "--comment",
                "hello", "--loops", "2", "--disposal", "2", "--no-dither"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("frames=5"));
    EXPECT_TRUE(r.out.contains("colors="));
    EXPECT_TRUE(r.out.contains("seconds="));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(out, &gif));
    EXPECT_EQ(gif.width, 12);
    EXPECT_EQ(gif.height, 8);
    EXPECT_EQ(gif.loops, 2);
    EXPECT_EQ(gif.comment, QStringLiteral("hello"));
    ASSERT_EQ(gif.frames.size(), 5u);
    for (const auto& f : gif.frames) {
        EXPECT_EQ(f.delay, 7);
        EXPECT_EQ(f.disposal, 2);
    }
    // Few colours: the frames come back exactly.
    const QByteArray bytes = ReadFileBytes(raw);
    const QImage& last = gif.composited[4];
    const char* px = bytes.constData() + 4 * 12 * 8 * 3 + (3 * 12 + 5) * 3;
    EXPECT_EQ(last.pixel(5, 3) & 0xFFFFFF,
              qRgb(uchar(px[0]), uchar(px[1]), uchar(px[2])) & 0xFFFFFF);
}

TEST(CliEncode, BadInputWritesNothing) {
    QTemporaryDir dir;
    const QString raw = WriteRaw(dir, 4, 4, 2, 5);
    const QString out = dir.filePath(QStringLiteral("x.gif"));
    CliResult r = RunCli({"encode", "--size", "4x4", "--in", raw, "--out", out});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("101")) << r.err.toStdString(); // the file's size
    EXPECT_TRUE(r.err.contains("48"));                         // a frame's size
    EXPECT_FALSE(QFile::exists(out));

    const QList<QStringList> bad = {
        {"--size", "4by4"},   {"--size", "0x4"},   {"--size", "70000x2"}, {"--delay", "-1"},
        {"--loops", "70000"}, {"--disposal", "4"}, {"--threads", "0"},    {"--what"},
    };
    for (const QStringList& args : bad) {
        QStringList all{"encode", "--size", "4x4", "--in", raw, "--out", out};
        all += args;
        EXPECT_EQ(RunCli(all).exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    EXPECT_EQ(RunCli({"encode", "--in", raw, "--out", out}).exitCode, 2);
    r = RunCli({"encode", "--size", "4x4", "--in", dir.filePath("none.raw"), "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("none.raw"));
    QFile(dir.filePath("empty.raw")).open(QIODevice::WriteOnly);
    EXPECT_EQ(RunCli({"encode", "--size", "4x4", "--in", dir.filePath("empty.raw"), "--out", out})
                  .exitCode,
              2);
    EXPECT_FALSE(QFile::exists(out));
}

TEST(CliEncode, UnwritableOutputKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString raw = WriteRaw(dir, 4, 4, 1);
    const QString out = dir.filePath(QStringLiteral("sub/x.gif"));
    const CliResult r = RunCli({"encode", "--size", "4x4", "--in", raw, "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(out));
}

} // namespace
