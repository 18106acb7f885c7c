// Inputs chosen to hurt: files that are not files, files that never end,
// small files that claim gigabytes, bases that split two ways. Each gets a
// message and exit 1 or 2, quickly and within a small address space.
#include "cli/cli_run.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/lzw_encoder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A hang ends as a signal (exit -1) rather than holding the test run.
void Bounded() {
    alarm(30);
}

// A hang ends too, and the memory allowed is the 512 MB any input may take.
void BoundedSmall() {
    alarm(30);
    rlimit limit{rlim_t(512) << 20, rlim_t(512) << 20};
    setrlimit(RLIMIT_AS, &limit);
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A GIF of `frames` 1 x 1 frames on a width x height screen, or with a
// comment of commentBytes bytes before them.
QByteArray TinyFramesGif(int width, int height, int frames, qint64 commentBytes = 0,
                         bool trailer = true) {
    QByteArray gif("GIF89a");
    auto word = [&gif](int v) {
        gif.append(char(v & 0xFF));
        gif.append(char((v >> 8) & 0xFF));
    };
    word(width);
    word(height);
    gif.append("\x80\x00\x00", 3);
    gif.append("\x00\x00\x00\xFF\xFF\xFF", 6);
    for (qint64 left = commentBytes; left > 0; left -= 255) {
        if (left == commentBytes)
            gif.append("\x21\xFE", 2);
        const int n = int(std::min<qint64>(left, 255));
        gif.append(char(n));
        gif.append(QByteArray(n, 'c'));
        if (left <= 255)
            gif.append(char(0));
    }
    const std::uint8_t pixel = 1;
    const std::vector<std::uint8_t> blocks = LzwEncode(&pixel, 1, 2);
    for (int i = 0; i < frames; ++i) {
        gif.append("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);
        gif.append(char(0x2C));
        word(i % width);
        word(0);
        word(1);
        word(1);
        gif.append(char(0));
        gif.append(char(2));
        gif.append(reinterpret_cast<const char*>(blocks.data()), qsizetype(blocks.size()));
        gif.append(char(0));
    }
    if (trailer)
        gif.append(';');
    return gif;
}

TEST(CliHostileInputs, OnlyRegularFilesAreRead) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.htm"));
    const QString fifoGif = dir.filePath(QStringLiteral("pipe.gif"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(fifoGif).constData(), 0600), 0);
    const QString out = dir.filePath(QStringLiteral("out.gif"));
    struct Case {
        QStringList args;
        const char* why;
    };
    const QList<Case> cases = {
        {{"info", fifo}, "FIFO"},
        {{"info", fifoGif}, "FIFO"},
        {{"info", "/dev/zero"}, "device"},
        {{"info", "/dev/null"}, "device"},
        {{"info", dir.path()}, "folder"},
        {{"render", "dynamic-picture", "--out", out, "--set", "picture=" + fifoGif}, "FIFO"},
        {{"render", "dynamic-picture", "--out", out, "--set", "picture=/dev/zero"}, "device"},
        {{"cell-pattern", "bitmap", "--out", out, "--picture", fifoGif}, "FIFO"},
        {{"cell-pattern", "bitmap", "--out", out, "--picture", "/dev/urandom"}, "device"},
    };
    for (const Case& c : cases) {
        const CliResult r = RunCli(c.args, Bounded);
        EXPECT_EQ(r.exitCode, 1) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.why))) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}

TEST(CliHostileInputs, AHugePageOfZerosIsNotHeld) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers reserve more address space than the limit";
    QTemporaryDir dir;
    // Sparse: nothing is stored, but a reader sees a page-sized file of 0s.
    for (const qint64 size : {qint64(900) << 20, qint64(3) << 30}) {
        const QString page = dir.filePath(QStringLiteral("zeros%1.htm").arg(size));
        QFile f(page);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (!f.resize(size))
            GTEST_SKIP() << "no sparse files here";
        f.close();
        const CliResult r = RunCli({"info", page}, BoundedSmall);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("a page Velmora did not write")))
            << r.out.toStdString();
    }
}

TEST(CliHostileInputs, InfoReadsNoPixelsAndShowsOneLineOfAComment) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers reserve more address space than the limit";
    QTemporaryDir dir;
    // 400 frames on a 4000 x 4000 screen: 25 GB composited, a few KB to
    // describe.
    const QString many = dir.filePath(QStringLiteral("many.gif"));
    WriteBytes(many, TinyFramesGif(4000, 4000, 400));
    CliResult r = RunCli({"info", many}, BoundedSmall);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("frames: 400"))) << r.out.toStdString();

    // A 40 MB comment: counted, shown as one cut line.
    const QString talk = dir.filePath(QStringLiteral("talk.gif"));
    WriteBytes(talk, TinyFramesGif(8, 8, 2, qint64(40) << 20));
    r = RunCli({"info", talk}, BoundedSmall);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_LT(r.out.size(), 2000);
    EXPECT_TRUE(r.out.contains(QStringLiteral("(41943040 bytes in all)")))
        << r.out.left(500).toStdString();
}

// The quantiser sized its colour table by the colours handed to it at once:
// 40000 of them asked for one block of 2 GB, refused under a limit the whole
// encode stays far below.
TEST(CliHostileInputs, AFrameOfManyColoursEncodesInASmallAddressSpace) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers reserve more address space than the limit";
    QTemporaryDir dir;
    QByteArray raw;
    for (int i = 0; i < 200 * 200; ++i) // every pixel a colour of its own
        raw.append(char(i & 0xFF)).append(char(i >> 8)).append(char((i * 7) & 0xFF));
    const QString in = dir.filePath(QStringLiteral("many.raw"));
    WriteBytes(in, raw);
    const QString out = dir.filePath(QStringLiteral("many.gif"));
    const CliResult r =
        RunCli({"encode", "--size", "200x200", "--in", in, "--out", out}, BoundedSmall);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("colors=256"))) << r.out.toStdString();
    GifAnimation gif;
    EXPECT_TRUE(ReadGif(out, &gif));
}

// The largest table a cell pattern takes makes frames of 8192 x 8192: the
// save held the first sampled frame to its end and drew one frame per core
// with six waiting, near 1 GB. Frames that large go one at a time.
TEST(CliHostileInputs, TheLargestTableSavesWithinTheMemoryOfOneFrame) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers reserve more address space than the limit";
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("big.gif"));
    const CliResult r =
        RunCli({"render", "moving-stripes", "--out", out, "--cell-pattern", "rect", "--table",
                "8192,8192,2,3,5", "--threads", "2", "--set", "speed=60"},
               [] {
                   rlimit limit{rlim_t(768) << 20, rlim_t(768) << 20};
                   setrlimit(RLIMIT_AS, &limit);
               });
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("width=8192 height=8192"))) << r.out.toStdString();
}

TEST(CliHostileInputs, AGifWithoutItsTrailerIsShownWithANote) {
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("cut.gif"));
    WriteBytes(cut, TinyFramesGif(8, 8, 3, 0, false));
    const CliResult r = RunCli({"info", cut});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("frames: 3")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("without its trailer"))) << r.out.toStdString();
}

TEST(CliHostileInputs, ABaseSplitsAtBothSeparatorsLikeThePage) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("site")));
    const CliResult r = RunCli({"page", "--out", dir.filePath(QStringLiteral("site/..\\evil"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The files go where the page's own names lead: beside site.
    EXPECT_EQ(FilesIn(dir.path()), (QStringList{"evil.gif", "evil.htm"}));
    EXPECT_TRUE(FilesIn(dir.filePath(QStringLiteral("site"))).isEmpty());
    EXPECT_TRUE(ReadFileBytes(dir.filePath(QStringLiteral("evil.htm")))
                    .contains("background=\"evil.gif\""));
}

// Values beyond what a save or a pattern can take are wrong values: exit 2,
// nothing written, the limit named, and no work spent first.
TEST(CliHostileInputs, ValuesBeyondTheLimitsAreUsageErrors) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("o.gif"));
    struct Case {
        QStringList args;
        const char* says;
    };
    const QList<Case> cases = {
        {{"render", "moving-stripes", "--out", out, "--set", "width=65536"}, "65535"},
        {{"render", "blinking-clouds", "--out", out, "--set", "length=2147483647"}, "more than"},
        // Fit to Cell names the border given, not the even one it uses.
        {{"render", "rotating-stripes", "--out", out, "--set", "fit-to-cell=1", "--table",
          "10,10,10,3,5"},
         "a border of 5 "},
        // One rule for a table, whichever command takes it.
        {{"cell-pattern", "rect", "--out", out, "--table", "450,200,201,3,5"}, "out of range"},
        {{"render", "moving-stripes", "--out", out, "--table", "450,200,201,3,5"}, "out of range"},
        // Work that grows with the cells is bounded by them.
        {{"cell-pattern", "rect", "--out", out, "--table", "8192,8192,8192,8192,0"}, "250000"},
        {{"cell-pattern", "round", "--out", out, "--table", "8192,8192,1024,1024,0"}, "250000"},
        {{"render", "moving-stripes", "--out", out, "--cell-pattern", "craft", "--table",
          "8192,8192,4096,4096,0"},
         "250000"},
        {{"render", "rotating-stripes", "--out", out, "--set", "fit-to-cell=1", "--table",
          "8192,8192,8192,8192,0"},
         "250000"},
        // Fewer cells, but pens so wide that each paints most of the table.
        {{"cell-pattern", "round", "--out", out, "--table", "8192,8192,500,500,0", "--set",
          "border=60"},
         "at most 8589 million"},
        {{"render", "moving-stripes", "--out", out, "--cell-pattern", "craft", "--table",
          "8192,8192,100,100,0", "--cell-set", "line-width=30", "--cell-set", "flat-inner=0"},
         "at most 8589 million"},
    };
    for (const Case& c : cases) {
        const CliResult r = RunCli(c.args, Bounded);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << r.err.toStdString();
    }
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty());
}

// A wide pen round a long curve was painted piece by piece, each short
// piece testing every pixel of its box: this pattern took half a minute or
// more. Painted row by row it takes about a second.
TEST(CliHostileInputs, AWidePenRoundALongCornerPaintsInTime) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers slow the painting past the alarm";
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("cell.gif"));
    // Wide pens that the painting limit lets through, each painted within
    // ten seconds of processor time, however busy the machine is: a round
    // corner as long as a side allows, and the most cells with wide straight
    // sides, which the limit must not refuse for fear of the curves' cost.
    for (const QStringList& args :
         {QStringList{"round", "--table", "4096,4096,2,3,5", "--set", "border=400", "--set",
                      "corner=65535"},
          QStringList{"rect", "--table", "8192,8192,500,500,0", "--set", "border=20"}}) {
        const CliResult r =
            RunCli(QStringList{"cell-pattern"} + args + QStringList{"--out", out}, [] {
                BoundedSmall();
                alarm(120);
                rlimit cpu{10, 10};
                setrlimit(RLIMIT_CPU, &cpu);
            });
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        GifAnimation gif;
        EXPECT_TRUE(ReadGif(out, &gif));
    }
}

} // namespace
