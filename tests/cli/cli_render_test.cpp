#include "cli/cli_run.h"
#include "core/animation/renderer_parameters.h"
#include "core/imaging/gif_reader.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>

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

// Runs velmora-cli with 4 GB of address space and kills it after a minute
// (five in a sanitized build).
// A sanitized build cannot start under that limit; there an allocation the
// allocator refuses must still come back as a failure the tool reports.
CliResult RunLimited(const QStringList& args) {
    QProcess process;
    if (kSanitizedBuild) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QString options = env.value(QStringLiteral("ASAN_OPTIONS"));
        if (!options.isEmpty())
            options += QLatin1Char(':');
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   options + QStringLiteral("allocator_may_return_null=1"));
        process.setProcessEnvironment(env);
    } else {
        process.setChildProcessModifier([] {
            rlimit limit{4'000'000'000, 4'000'000'000};
            setrlimit(RLIMIT_AS, &limit);
        });
    }
    process.start(QStringLiteral(VELMORA_CLI), args);
    // A sanitized build runs the heaviest values several times slower; a
    // hang is still a hang at five minutes.
    if (!process.waitForFinished(kSanitizedBuild ? 300000 : 60000)) {
        process.kill();
        process.waitForFinished();
        return {-2, {}, QStringLiteral("no end in time")};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// Every parameter of every type, at the extremes of an int: each run ends
// by itself with 0 (and a GIF that reads back as reported), 1 or 2 (and a
// message, the previous file unchanged), never with a signal or a hang.
TEST(CliRender, ExtremeValuesOfEveryParameterEnd) {
    constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("x.gif"));
    const QByteArray previous("previous animation");
    const QStringList types = RendererTypeNames();
    ASSERT_FALSE(types.isEmpty());
    for (const QString& type : types) {
        for (const RendererParameter& p : RendererParameters(type)) {
            for (const int value : {kMax, kMin, 0, -1}) {
                {
                    QFile f(out);
                    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                    f.write(previous);
                }
                QStringList args = {"render", type, "--out", out, "--threads", "2"};
                // Small frames keep each case quick, unless the size is
                // what is being tried.
                if (p.name != QLatin1String("width") && p.name != QLatin1String("height"))
                    args << "--set"
                         << "width=24"
                         << "--set"
                         << "height=16";
                args << "--set" << QStringLiteral("%1=%2").arg(p.name).arg(value);
                const std::string what = args.mid(1).join(' ').toStdString();
                const CliResult r = RunLimited(args);
                ASSERT_GE(r.exitCode, 0) << what << ": " << r.err.toStdString();
                ASSERT_LE(r.exitCode, 2) << what << ": " << r.err.toStdString();
                if (r.exitCode == 0) {
                    const QRegularExpressionMatch m =
                        QRegularExpression(
                            QStringLiteral("frames=(\\d+) .*width=(\\d+) height=(\\d+)"))
                            .match(r.out);
                    ASSERT_TRUE(m.hasMatch()) << what << ": " << r.out.toStdString();
                    GifAnimation gif;
                    ASSERT_TRUE(ReadGif(out, &gif)) << what;
                    EXPECT_EQ(gif.frames.size(), m.captured(1).toULongLong()) << what;
                    EXPECT_EQ(gif.width, m.captured(2).toInt()) << what;
                    EXPECT_EQ(gif.height, m.captured(3).toInt()) << what;
                } else {
                    EXPECT_FALSE(r.err.trimmed().isEmpty()) << what;
                    EXPECT_EQ(ReadFileBytes(out), previous) << what;
                }
                EXPECT_EQ(FilesIn(dir.path()), QStringList{"x.gif"}) << what;
            }
        }
    }
}

TEST(CliRender, NotesForDelaysBrowsersChangeAndForTheFrameCap) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("n.gif"));
    CliResult r = RunCli({"render", "moving-stripes", "--out", out, "--set", "width=20", "--set",
                          "height=20", "--set", "speed=2147483647"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("delay=0")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("\nnote: Frames of 0 hundredths")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("10 hundredths"))) << r.err.toStdString();

    r = RunCli({"render", "moving-stripes", "--out", out, "--set", "width=20", "--set", "height=20",
                "--set", "stripe-width=100000"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("frames=500 "))) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("note: "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("500 frames"))) << r.err.toStdString();

    // An ordinary save has nothing to note: it says what it came to, as the
    // animation windows do, and that is all.
    r = RunCli({"render", "moving-stripes", "--out", out});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("^saved \\S*n\\.gif: \\d+ KB, \\d+ frames, [0-9.]+ s a loop\\n$"))
            .match(r.err)
            .hasMatch())
        << r.err.toStdString();
}

TEST(CliRender, TableAndNumbersOutOfRangeAreUsageErrors) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("t.gif"));
    const QList<QStringList> cases = {
        {"render", "rotating-stripes", "--out", out, "--table", "450,200,0,3,5"},
        {"render", "rotating-stripes", "--out", out, "--table", "450,200,2,-3,5"},
        {"render", "rotating-stripes", "--out", out, "--table", "0,200,2,3,5"},
        {"render", "rotating-stripes", "--out", out, "--table", "65536,200,2,3,5"},
        {"render", "rotating-stripes", "--out", out, "--table", "450,200,2,3,-1"},
        {"render", "rotating-stripes", "--out", out, "--table", "450,200,2,3,99999999999"},
        {"render", "rotating-stripes", "--out", out, "--table", "450,200,2,3,65536"},
        {"render", "rotating-stripes", "--out", out, "--table", "450,200,201,3,5"},
        {"render", "rotating-stripes", "--out", out, "--table", "450,200,2,451,5"},
        {"render", "moving-stripes", "--out", out, "--set", "stripe-width=99999999999"},
        {"render", "moving-stripes", "--out", out, "--threads", "0"},
    };
    for (const QStringList& args : cases) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("out of range"))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

TEST(CliRender, FitToCellWithHugeTablesEndsWithAMessage) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("f.gif"));
    // Cells below a pixel, a border wider than the table: wrong values.
    for (const char* table : {"450,200,200,450,300", "450,200,2,3,65535"}) {
        const CliResult r = RunLimited({"render", "rotating-stripes", "--out", out, "--set",
                                        "fit-to-cell=1", "--table", table});
        EXPECT_EQ(r.exitCode, 2) << table << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("cells"))) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

} // namespace
