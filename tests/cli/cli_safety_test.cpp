// Failures the command line must survive: a full disk, too little memory,
// outputs it cannot write. Each leaves the previous files exactly as they were
// and says why.
#include "cli/cli_run.h"
#include "core/imaging/gif_reader.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

void LimitAddressSpace(rlim_t bytes) {
    rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A 64 KB tmpfs of our own, in a mount namespace of this process where that
// is allowed (as root), so nothing outside sees it.
class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        if (unshare(CLONE_NEWNS) == 0)
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        if (mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, m_options) != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
        m_bMounted = true;
    }
    void TearDown() override {
        if (m_bMounted)
            umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    // Takes every free block, so the next write fails with ENOSPC.
    void Fill() {
        QFile f(Path("filler"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (f.write(block) == block.size()) {
        }
    }

    QTemporaryDir m_dir;
    bool m_bMounted = false;
    const char* m_options = "size=64k";
};

// Room for bytes but for no new file: the temporary file cannot be made.
class NoInodes : public FullDisk {
protected:
    NoInodes() { m_options = "size=1m,nr_inodes=8"; }
    void TakeEveryInode() {
        for (int i = 0; i < 100; ++i) {
            QFile f(m_dir.filePath(QStringLiteral("f%1").arg(i)));
            if (!f.open(QIODevice::WriteOnly))
                return;
        }
        FAIL() << "the inodes never ran out";
    }
};

TEST_F(FullDisk, EveryCommandKeepsThePreviousFilesAndSaysWhy) {
    ASSERT_EQ(RunCli({"page", "--out", Path("old")}).exitCode, 0);
    ASSERT_EQ(RunCli({"render", "moving-stripes", "--out", Path("r.gif")}).exitCode, 0);
    WriteBytes(Path("e.gif"), "old animation");
    WriteBytes(Path("frames.raw"), QByteArray(4 * 4 * 3 * 2, '\x40'));
    QDir().mkpath(Path("demo"));
    WriteBytes(Path("demo/demo.gif"), "old demo animation");
    const QStringList kept = {"old.htm", "old.gif", "r.gif", "e.gif", "demo/demo.gif"};
    std::map<QString, QByteArray> before;
    for (const QString& name : kept)
        before[name] = ReadFileBytes(m_dir.filePath(name));
    Fill();

    const QList<QStringList> commands = {
        {"page", "--out", Path("old"), "--rows", "20", "--columns", "20"},
        {"render", "moving-stripes", "--out", Path("r.gif")},
        {"encode", "--size", "4x4", "--in", Path("frames.raw"), "--out", Path("e.gif")},
        {"demo", Path("demo")},
        // The page is fine, the default animation copied beside it is not.
        {"page", "--out", Path("new")},
    };
    for (const QStringList& args : commands) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString() << "\n" << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device")))
            << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("Unknown error")));
    }
    for (const QString& name : kept)
        EXPECT_EQ(ReadFileBytes(m_dir.filePath(name)), before[name]) << name.toStdString();
    // No page pointing at a missing animation, no temporary files left.
    EXPECT_FALSE(QFile::exists(Path("new.htm")));
    EXPECT_EQ(FilesIn(m_dir.path()),
              (QStringList{"e.gif", "filler", "frames.raw", "old.gif", "old.htm", "r.gif"}));
    EXPECT_EQ(FilesIn(Path("demo")), QStringList{"demo.gif"});
}

// Commands that write several files write all of them or none: here the
// first file fits and the second does not.
TEST_F(FullDisk, ASetOfFilesIsNeverHalfReplaced) {
    ASSERT_EQ(RunCli({"render", "moving-stripes", "--out", Path("r.gif"), "--set", "width=60",
                      "--set", "height=60"})
                  .exitCode,
              0);
    const QByteArray gif = ReadFileBytes(Path("r.gif"));
    // The GIF fits; its raw frames (10 KB each) do not.
    CliResult r =
        RunCli({"render", "moving-stripes", "--out", Path("r.gif"), "--set", "width=60", "--set",
                "height=60", "--set", "colors=3", "--dump-frames", Path("d.raw")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(Path("d.raw"))) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(Path("r.gif")), gif);
    // The default animation fits; a page of 2000 rows does not.
    r = RunCli({"page", "--out", Path("new"), "--rows", "2000", "--columns", "10"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device"))) << r.err.toStdString();
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"r.gif"});
}

TEST_F(NoInodes, TheMessageSaysWhyTheFileCouldNotBeMade) {
    ASSERT_EQ(RunCli({"page", "--out", Path("p")}).exitCode, 0);
    const QByteArray page = ReadFileBytes(Path("p.htm"));
    TakeEveryInode();
    for (const QStringList& args :
         {QStringList{"page", "--out", Path("p"), "--rows", "3"},
          QStringList{"render", "moving-stripes", "--out", Path("p.gif")}}) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral(": No space left on device")))
            << r.err.toStdString();
    }
    EXPECT_EQ(ReadFileBytes(Path("p.htm")), page);
}

// Every limit on address space from the least the tool starts in upwards:
// memory runs out at each stage in turn (a thread's stack, a pool thread's
// start, a cell list, a frame) and each must end in a message, never an
// abort or a wait for ever.
TEST(CliMemory, RunningOutEndsWithAMessageNotAnAbort) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers reserve more address space than the limit";
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("m.gif"));
    const QString picture = dir.filePath(QStringLiteral("p.png"));
    QImage photo(500, 300, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x * 7 % 256, (x * y) % 251, y * 13 % 256));
    ASSERT_TRUE(photo.save(picture));
    const auto limited = [](rlim_t megabytes) {
        return [megabytes] { LimitAddressSpace(megabytes * 1'000'000); };
    };
    rlim_t floor = 40;
    while (floor < 400 && RunCli({"--version"}, limited(floor)).exitCode != 0)
        floor += 2;
    ASSERT_LT(floor, 400u) << "the tool does not start in 400 MB";
    const QList<QStringList> commands = {
        {"render", "moving-stripes", "--out", out, "--threads", "2"},
        {"render", "dynamic-picture", "--set", "picture=" + picture, "--set", "speed=250", "--out",
         out, "--threads", "2"},
    };
    for (const QStringList& command : commands) {
        int written = 0;
        for (rlim_t mb = floor; mb < floor + 50; mb += 2) {
            WriteBytes(out, "previous animation");
            const CliResult r = RunCli(command, limited(mb));
            const std::string where = command.join(' ').toStdString() + " in " +
                                      std::to_string(mb) + " MB: " + r.err.toStdString();
            ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.exitCode << ", " << where;
            if (r.exitCode == 0) {
                ++written;
                continue;
            }
            EXPECT_FALSE(r.err.trimmed().isEmpty()) << where;
            EXPECT_FALSE(r.err.contains(QStringLiteral("Resource temporarily unavailable")))
                << where;
            EXPECT_EQ(ReadFileBytes(out), QByteArray("previous animation")) << where;
            EXPECT_EQ(FilesIn(dir.path()), QStringList({"m.gif", "p.png"})) << where;
        }
        EXPECT_GT(written, 0) << command.join(' ').toStdString() << " never had enough";
    }
}

TEST(CliMemory, EncodeRefusesAFrameThatCannotFit) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers reserve more address space than the limit";
    QTemporaryDir dir;
    // One 65535 x 65535 frame, as a sparse file: nothing is stored.
    const QString raw = dir.filePath(QStringLiteral("huge.raw"));
    {
        QFile f(raw);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (!f.resize(qint64(65535) * 65535 * 3))
            GTEST_SKIP() << "no sparse files here";
    }
    const QString out = dir.filePath(QStringLiteral("huge.gif"));
    WriteBytes(out, "previous animation");
    const CliResult r = RunCli({"encode", "--size", "65535x65535", "--in", raw, "--out", out},
                               [] { LimitAddressSpace(1'000'000'000); });
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Not enough memory for a 65535 x 65535 frame")))
        << r.err.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("frames=")));
    EXPECT_EQ(ReadFileBytes(out), QByteArray("previous animation"));
}

TEST(CliOutputs, EveryOutputIsCheckedBeforeAnyWork) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("r.gif"));
    WriteBytes(gif, "previous animation");
    // The dump cannot be written, so the GIF must not be replaced first.
    CliResult r = RunCli({"render", "moving-stripes", "--out", gif, "--dump-frames",
                          dir.filePath(QStringLiteral("nodir/d.raw"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("nodir"))) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(gif), QByteArray("previous animation"));

    r = RunCli({"render", "moving-stripes", "--out", dir.filePath(QStringLiteral("nodir/r.gif"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());

    // A folder is no output file.
    r = RunCli({"render", "moving-stripes", "--out", dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("it is a folder"))) << r.err.toStdString();

    const QString raw = dir.filePath(QStringLiteral("f.raw"));
    WriteBytes(raw, QByteArray(2 * 2 * 3, '\x10'));
    r = RunCli({"encode", "--size", "2x2", "--in", raw, "--out",
                dir.filePath(QStringLiteral("nodir/e.gif"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("does not exist"))) << r.err.toStdString();
    EXPECT_EQ(FilesIn(dir.path()), (QStringList{"f.raw", "r.gif"}));
}

TEST(CliArguments, ValuesOutOfRangeAreUsageErrors) {
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("p"));
    const QList<QStringList> cases = {
        {"page", "--out", base, "--rows", "99999999999"},
        {"page", "--out", base, "--width", "-99999999999"},
        {"render", "moving-stripes", "--out", base, "--threads", "257"},
        {"render", "moving-stripes", "--out", base, "--seed", "99999999999"},
        {"encode", "--size", "70000x2", "--in", base, "--out", base},
        {"encode", "--size", "4x4", "--in", base, "--out", base, "--loops", "65536"},
    };
    for (const QStringList& args : cases) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("out of range"))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("expected a whole number\n")));
    }
    // Not a number at all stays that.
    const CliResult r = RunCli({"page", "--out", base, "--rows", "99999999999x"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("expected a whole number")));
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty());
}

TEST(CliArguments, NamesThatAreNotUtf8AreRefusedNotRenamed) {
    QTemporaryDir dir;
    // Qt passes arguments as UTF-8, so a shell hands over the raw bytes.
    const CliResult r =
        RunProgram(QStringLiteral("/bin/sh"),
                   {"-c", "cd \"$1\" && exec \"$0\" page --out \"$(printf 'a\\377b')\"",
                    QStringLiteral(VELMORA_CLI), dir.path()});
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("not valid UTF-8")));
    EXPECT_TRUE(FilesIn(dir.path()).isEmpty()) << FilesIn(dir.path()).join(' ').toStdString();
}

} // namespace
