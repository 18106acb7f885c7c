// Animated WebP beside the GIF from the command line, and the modern page
// that prefers it: checked by tidy and shown by a real browser.
#include "cli/cli_run.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/webp_reader.h"
#include "file_contents.h"

#include <QColor>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// `frames` raw RGB frames of one colour.
QByteArray SolidFrames(int w, int h, int frames, QRgb color) {
    QByteArray raw;
    for (int i = 0; i < w * h * frames; ++i)
        raw += char(qRed(color)), raw += char(qGreen(color)), raw += char(qBlue(color));
    return raw;
}

} // namespace

// Every type saves both files from one render; the WebP carries the same
// record as the GIF, which info reads back, and plays forever.
TEST(CliWebp, BothFormatsCarryTheRecord) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("f.gif"));
    const QString webp = dir.filePath(QStringLiteral("f.webp"));
    CliResult r =
        RunCli({"render", "flowing-clouds", "--out", gif, "--format", "both", "--seed", "4242",
                "--set", "width=60", "--set", "height=40", "--webp-compression", "lossy"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    WebpAnimation animation;
    ASSERT_TRUE(ReadWebp(webp, &animation, true).ok());
    GifAnimation gifAnimation;
    ASSERT_TRUE(ReadGif(gif, &gifAnimation).ok());
    EXPECT_EQ(animation.frames.size(), gifAnimation.frames.size());
    EXPECT_EQ(animation.width, 60);
    EXPECT_EQ(animation.loops, 0);
    r = RunCli({"info", webp});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("animation: flowing-clouds"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("seed: 4242")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("compression: lossy")));
    const QString gifInfo = RunCli({"info", gif}).out;
    EXPECT_EQ(gifInfo.mid(gifInfo.indexOf(QStringLiteral("animation:"))),
              r.out.mid(r.out.indexOf(QStringLiteral("animation:"))));

    // The record travels as XMP metadata, which libwebp's own checker knows.
    const QString webpinfo = QStandardPaths::findExecutable(QStringLiteral("webpinfo"));
    if (!webpinfo.isEmpty()) {
        QProcess check;
        check.start(webpinfo, {QStringLiteral("-diag"), webp});
        ASSERT_TRUE(check.waitForFinished(60000));
        const QString report = QString::fromUtf8(check.readAll());
        EXPECT_EQ(check.exitCode(), 0) << report.toStdString();
        EXPECT_FALSE(report.contains(QStringLiteral("Warning"), Qt::CaseInsensitive))
            << report.toStdString();
        EXPECT_TRUE(report.contains(QStringLiteral("No error detected."))) << report.toStdString();
    }
    // Stripes at their defaults have few colours: lossless.
    r = RunCli({"render", "moving-stripes", "--out", webp, "--format", "webp"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(RunCli({"info", webp}).out.contains(QStringLiteral("compression: lossless")));
}

// A frame a WebP cannot hold is a wrong value: exit 2, nothing written, the
// previous files kept; the GIF alone still takes it. What is not a WebP is
// refused by info with a reason.
TEST(CliWebp, OversizeFramesAndForeignFilesAreRefused) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("w.gif"));
    const QString webp = dir.filePath(QStringLiteral("w.webp"));
    WriteBytes(gif, "previous gif");
    WriteBytes(webp, "previous webp");
    for (const char* format : {"webp", "both"}) {
        const CliResult r = RunCli({"render", "moving-stripes", "--out", gif, "--format", format,
                                    "--set", "width=16384", "--set", "height=8"});
        EXPECT_EQ(r.exitCode, 2) << format;
        EXPECT_TRUE(r.err.contains(QStringLiteral("16383"))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("nothing was written")));
    }
    const QString raw = dir.filePath(QStringLiteral("f.raw"));
    WriteBytes(raw, SolidFrames(16400, 1, 1, qRgb(1, 2, 3)));
    CliResult r =
        RunCli({"encode", "--size", "16400x1", "--in", raw, "--out", gif, "--format", "webp"});
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(gif), QByteArray("previous gif"));
    EXPECT_EQ(ReadFileBytes(webp), QByteArray("previous webp"));

    r = RunCli({"info", webp});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not a WebP"))) << r.err.toStdString();
    WriteBytes(webp, QByteArray("RIFF\x40\0\0\0WEBPVP8X", 16) + QByteArray(20, '\xff'));
    r = RunCli({"info", webp});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("velmora-cli info: Cannot read")))
        << r.err.toStdString();
}

// The modern page: no errors in tidy, reopened by the page reader in both
// styles, and its missing WebP made from the GIF.
TEST(CliModernPage, PassesTidyReopensAndHasItsWebp) {
    const QString tidy = QStandardPaths::findExecutable(QStringLiteral("tidy"));
    ASSERT_FALSE(tidy.isEmpty()) << "tidy is installed by scripts/install-deps";
    QTemporaryDir dir;
    const QList<QStringList> variants = {
        {},
        {"--hide-cells"},
        {"--rows", "4", "--columns", "5", "--border", "7", "--cell-color", "#102030"},
    };
    for (const QStringList& extra : variants) {
        for (const char* style : {"classic", "modern"}) {
            const QString base = dir.filePath(QStringLiteral("p"));
            QFile::remove(base + QStringLiteral(".webp"));
            CliResult r = RunCli(QStringList{"page", "--out", base, "--style", style} + extra);
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
            const bool modern = QLatin1String(style) == QLatin1String("modern");
            EXPECT_EQ(QFile::exists(base + QStringLiteral(".webp")), modern);
            r = RunCli({"info", base + QStringLiteral(".htm")});
            EXPECT_TRUE(r.out.contains(QStringLiteral("a Velmora page"))) << r.out.toStdString();
            EXPECT_TRUE(r.out.contains(QStringLiteral("style: ") + QLatin1String(style)));
            EXPECT_EQ(r.out.contains(QStringLiteral("p.webp:\n  format: animated WebP")), modern)
                << r.out.toStdString();
            if (!modern)
                continue;
            const CliResult t = RunProgram(tidy, {"-errors", "-q", base + QStringLiteral(".htm")});
            // Warnings are allowed (the background attribute is kept on
            // purpose, as the last fallback); errors are not.
            EXPECT_NE(t.exitCode, 2) << t.err.toStdString();
            EXPECT_FALSE(t.err.contains(QStringLiteral("Error"))) << t.err.toStdString();
            WebpAnimation webp;
            EXPECT_TRUE(ReadWebp(base + QStringLiteral(".webp"), &webp, true).ok());
        }
    }
    // A modern page edited by hand is not ours.
    const QString base = dir.filePath(QStringLiteral("p"));
    ASSERT_EQ(RunCli({"page", "--out", base, "--style", "modern"}).exitCode, 0);
    QByteArray page = ReadFileBytes(base + QStringLiteral(".htm"));
    page.replace("padding: 0;", "padding: 1;");
    WriteBytes(base + QStringLiteral(".htm"), page);
    EXPECT_TRUE(RunCli({"info", base + QStringLiteral(".htm")})
                    .out.contains(QStringLiteral("a page Velmora did not write")));
}

// In a real browser the modern page shows the WebP, the classic one the GIF:
// the two are of different colours, and a screenshot tells which was used.
TEST(CliModernPage, ChromiumShowsTheWebpOnTheModernPage) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    ASSERT_FALSE(chromium.isEmpty()) << "chromium is installed by scripts/install-deps";
    QTemporaryDir dir;
    const QString raw = dir.filePath(QStringLiteral("f.raw"));
    const QRgb red = qRgb(220, 0, 0), green = qRgb(0, 200, 0);
    WriteBytes(raw, SolidFrames(40, 40, 2, red));
    ASSERT_EQ(RunCli({"encode", "--size", "40x40", "--in", raw, "--out",
                      dir.filePath(QStringLiteral("anim.gif"))})
                  .exitCode,
              0);
    WriteBytes(raw, SolidFrames(40, 40, 2, green));
    ASSERT_EQ(RunCli({"encode", "--size", "40x40", "--in", raw, "--out",
                      dir.filePath(QStringLiteral("anim.webp")), "--format", "webp"})
                  .exitCode,
              0);
    for (const char* style : {"classic", "modern"}) {
        const QString page = dir.filePath(QLatin1String(style));
        ASSERT_EQ(RunCli({"page", "--out", page, "--style", style, "--image-name", "anim",
                          "--hide-cells", "--page-color", "#0000ff"})
                      .exitCode,
                  0);
        const QString shot = dir.filePath(QLatin1String(style) + QStringLiteral(".png"));
        const CliResult r = RunProgram(
            chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                       "--user-data-dir=" + dir.filePath(QStringLiteral("profile")),
                       "--virtual-time-budget=3000", "--window-size=600,400",
                       "--screenshot=" + shot, "file://" + page + QStringLiteral(".htm")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage image(shot);
        ASSERT_FALSE(image.isNull()) << style;
        // Inside the 450 x 200 table, away from the body's margin.
        const QRgb seen = image.pixel(200, 100);
        const QRgb expected = QLatin1String(style) == QLatin1String("modern") ? green : red;
        EXPECT_LT(std::abs(qRed(seen) - qRed(expected)) + std::abs(qGreen(seen) - qGreen(expected)),
                  30)
            << style << ": " << QColor(seen).name().toStdString();
    }
}

#include <sched.h>
#include <sys/mount.h>

// `both` replaces the two files together or not at all: on a disk with room
// for one of the new files but not for both, the previous files stay.
TEST(CliWebp, BothIsAllOrNothing) {
    QTemporaryDir dir;
    if (unshare(CLONE_NEWNS) == 0)
        mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    if (mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    const QString gif = dir.filePath(QStringLiteral("b.gif"));
    const QString webp = dir.filePath(QStringLiteral("b.webp"));
    const QStringList args{"render",
                           "flowing-clouds",
                           "--out",
                           gif,
                           "--seed",
                           "9",
                           "--set",
                           "width=100",
                           "--set",
                           "height=100",
                           "--webp-compression",
                           "lossless"};
    // How much each takes, then the previous files.
    ASSERT_EQ(RunCli(args + QStringList{"--format", "both"}).exitCode, 0);
    const qint64 gifBytes = QFileInfo(gif).size(), webpBytes = QFileInfo(webp).size();
    ASSERT_GT(webpBytes, 8192);
    ASSERT_GT(gifBytes, 8192);
    WriteBytes(gif, "previous gif");
    WriteBytes(webp, "previous webp");
    // Leave room for one of the two and a little, not for both. Which one
    // is written first, and so which one the message names, depends on
    // which finishes first.
    {
        QFile filler(dir.filePath(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        filler.resize(std::max<qint64>(0, filler.size() - std::max(gifBytes, webpBytes) - 8192));
    }
    const CliResult r = RunCli(args + QStringList{"--format", "both"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(webp) || r.err.contains(gif)) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(gif), QByteArray("previous gif"));
    EXPECT_EQ(ReadFileBytes(webp), QByteArray("previous webp"));
    EXPECT_EQ(FilesIn(dir.path()), (QStringList{"b.gif", "b.webp", "filler"}));
    umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
}
