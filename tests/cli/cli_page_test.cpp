#include "cli/cli_run.h"
#include "core/page/html_table.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(CliPage, DefaultsMatchTheLibraryAndCompleteTheSet) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("Untitled1"));
    const CliResult r = RunCli({QStringLiteral("page"), QStringLiteral("--out"), base});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(base + QStringLiteral(".htm")),
              CHtmlTable().ComposePage(base + QStringLiteral(".htm"), QString()));
    const QByteArray gif = ReadFileBytes(base + QStringLiteral(".gif"));
    EXPECT_TRUE(gif.startsWith("GIF89a"));
    EXPECT_TRUE(r.out.contains(base + QStringLiteral(".htm")));
    EXPECT_TRUE(r.out.contains(base + QStringLiteral(".gif")));

    // An existing animation is left alone.
    QFile f(base + QStringLiteral(".gif"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("mine");
    f.close();
    ASSERT_EQ(RunCli({QStringLiteral("page"), QStringLiteral("--out"), base}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(base + QStringLiteral(".gif")), QByteArray("mine"));
}

TEST(CliPage, OptionsGoThroughTheSettersInOrder) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("shop"));
    // The cell layer needs its cell pattern in place.
    QFile cell(dir.filePath(QStringLiteral("banner-cell.gif")));
    ASSERT_TRUE(cell.open(QIODevice::WriteOnly));
    cell.write("cell");
    cell.close();
    const CliResult r = RunCli({"page",
                                "--out",
                                base,
                                "--border",
                                "30",
                                "--height",
                                "40",
                                "--width",
                                "-7",
                                "--rows",
                                "0",
                                "--columns",
                                "4",
                                "--cell-color",
                                "#FF0080",
                                "--page-color",
                                "#030201",
                                "--hide-cells",
                                "--cell-layer",
                                "--image-name",
                                "banner"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    CHtmlTable expected;
    expected.SetShowCells(false);
    expected.SetWidth(-7);
    expected.SetHeight(40);
    expected.SetBorder(30); // clamped by the width just set: 2 / 2 = 1
    expected.SetRows(0);
    expected.SetColumns(4);
    expected.SetCellColor(MakeColorRef(0xff, 0x00, 0x80));
    expected.SetPageColor(MakeColorRef(0x03, 0x02, 0x01));
    expected.SetCellPattern(true);
    EXPECT_EQ(expected.GetBorder(), 1);
    EXPECT_EQ(ReadFileBytes(base + QStringLiteral(".htm")),
              expected.ComposePage(base + QStringLiteral(".htm"), QStringLiteral("banner")));
}

TEST(CliPage, BadValuesWriteNothing) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("p"));
    const QList<QStringList> bad = {
        {"--width", "abc"},
        {"--width", "12abc"},
        {"--width", ""},
        {"--height", "1.5"},
        {"--border", "99999999999"},
        {"--rows", "--columns"},
        {"--columns"},
        {"--cell-color", "red"},
        {"--cell-color", "#12345"},
        {"--page-color", "#12345g"},
        {"--page-color", "ffffff"},
        {"--bogus"},
        {"--width", " 5"},
        {"--image-name", "a/b"},
        {"--image-name", ".."},
    };
    for (const QStringList& args : bad) {
        const CliResult r = RunCli(QStringList{"page", "--out", base} + args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_TRUE(FilesIn(dir.path()).isEmpty()) << args.join(' ').toStdString();
    }
    const CliResult noOut = RunCli({"page", "--width", "5"});
    EXPECT_EQ(noOut.exitCode, 2);
    EXPECT_TRUE(noOut.err.contains("--out"));
    const CliResult named = RunCli({"page", "--out", base, "--rows", "x7"});
    EXPECT_TRUE(named.err.contains("--rows"));
    EXPECT_TRUE(named.err.contains("x7"));
}

TEST(CliPage, UnwritablePageIsReported) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("missing/p"));
    const CliResult r = RunCli({"page", "--out", base});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Cannot open ") + base + QStringLiteral(".htm: ")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("does not exist")));
}

TEST(CliPage, WritesTheSetThePageNames) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("q"));
    // The page names other.gif: that is the file completed, not q.gif.
    CliResult r = RunCli({"page", "--out", base, "--image-name", "other"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(FilesIn(dir.path()), (QStringList{"other.gif", "q.htm"}));
    EXPECT_TRUE(ReadFileBytes(dir.filePath(QStringLiteral("other.gif"))).startsWith("GIF89a"));
    EXPECT_TRUE(r.out.contains(dir.filePath(QStringLiteral("other.gif"))));

    // A cell layer needs its cell pattern; without one nothing is written.
    r = RunCli({"page", "--out", dir.filePath(QStringLiteral("c")), "--cell-layer"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(dir.filePath(QStringLiteral("c-cell.gif")))) << r.err.toStdString();
    r = RunCli({"page", "--out", base, "--image-name", "third", "--cell-layer"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("third-cell.gif")));
    EXPECT_EQ(FilesIn(dir.path()), (QStringList{"other.gif", "q.htm"}));

    QFile cell(dir.filePath(QStringLiteral("other-cell.gif")));
    ASSERT_TRUE(cell.open(QIODevice::WriteOnly));
    cell.write("cell");
    cell.close();
    // Named by its file, the GIF is the same one.
    r = RunCli({"page", "--out", base, "--image-name", "other.GIF", "--cell-layer"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray page = ReadFileBytes(base + QStringLiteral(".htm"));
    EXPECT_TRUE(page.contains("background=\"other.gif\""));
    EXPECT_TRUE(page.contains("background=\"other-cell.gif\""));
    EXPECT_EQ(ReadFileBytes(dir.filePath(QStringLiteral("other-cell.gif"))), QByteArray("cell"));
}

TEST(CliPage, BasesThatNameAFolderAreRefused) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("sub")));
    for (const QString& base :
         {QStringLiteral("/"), QStringLiteral("sub/"), QStringLiteral("."), QStringLiteral(".."),
          QStringLiteral("sub/."), QStringLiteral("sub\\")}) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(VELMORA_CLI), {"page", "--out", base});
        process.waitForFinished(60000);
        EXPECT_EQ(process.exitCode(), 2) << base.toStdString();
        EXPECT_TRUE(process.readAllStandardError().contains("names a folder"));
    }
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty());
    EXPECT_TRUE(FilesIn(dir.filePath(QStringLiteral("sub"))).isEmpty());
}

TEST(CliPage, APageTooLargeIsRefusedBeforeAnyWrite) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("big"));
    for (const QStringList& size :
         {QStringList{"--rows", "100000", "--columns", "1000"},
          QStringList{"--rows", "2147483647", "--columns", "2147483647"}}) {
        const CliResult r = RunCli(QStringList{"page", "--out", base} + size);
        EXPECT_EQ(r.exitCode, 2) << size.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("at most 1 GiB"))) << r.err.toStdString();
    }
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty());
}

TEST(CliDemo, WritesACompleteSet) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("demo-here"));
    const CliResult r = RunCli({"demo", target});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(FilesIn(target), (QStringList{"demo.gif", "demo.htm", "demo.webp", "pattern-cell.gif",
                                            "pattern.gif", "pattern.htm"}));
    EXPECT_TRUE(
        ReadFileBytes(target + QStringLiteral("/demo.htm")).contains("background=\"demo.gif\""));
    EXPECT_EQ(RunCli({"demo", target, "extra"}).exitCode, 2);
}

TEST(CliHelp, DescribesEveryCommand) {
    const CliResult r = RunCli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"page", "encode", "demo"})
        EXPECT_TRUE(r.out.contains(QLatin1String(word)));
    const CliResult page = RunCli({"page", "--help"});
    for (const char* option :
         {"--width", "--height", "--border", "--rows", "--columns", "--cell-color", "--page-color",
          "--hide-cells", "--cell-layer", "--image-name"})
        EXPECT_TRUE(page.out.contains(QLatin1String(option))) << option;
    // The limits are stated where a user looks first.
    for (const char* limit : {"65535", "500 frames", "5000", "1000000", "1 GiB", "32 GiB"})
        EXPECT_TRUE(r.out.contains(QLatin1String(limit))) << limit;
    EXPECT_TRUE(page.out.contains(QLatin1String("1 GiB")));
    EXPECT_TRUE(RunCli({"encode", "--help"}).out.contains(QLatin1String("65535")));
    EXPECT_EQ(RunCli({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(RunCli({}).exitCode, 2);
    // Every help reads in an 80-column terminal, lists pasted in included.
    for (const QStringList& args :
         {QStringList{"--help"}, QStringList{"page", "--help"}, QStringList{"render", "--help"},
          QStringList{"render", "rubber-clouds", "--help"}, QStringList{"encode", "--help"},
          QStringList{"cell-pattern", "--help"}, QStringList{"info", "--help"},
          QStringList{"demo", "--help"}}) {
        const CliResult help = RunCli(args);
        EXPECT_EQ(help.exitCode, 0) << args.join(' ').toStdString();
        for (const QString& line : help.out.split(QLatin1Char('\n')))
            EXPECT_LE(line.size(), 80)
                << args.join(' ').toStdString() << ": " << line.toStdString();
    }
}

} // namespace
