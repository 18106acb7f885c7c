#include "core/base/atomic_file.h"
#include "core/base/atomic_write.h"
#include "core/imaging/gif_writer.h"
#include "core/page/html_table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Makes the nth write or flush fail as a full disk fails it, for one call.
class DiskFull {
public:
    explicit DiskFull(int nth) { AtomicFile::FailForTesting(nth, ENOSPC); }
    ~DiskFull() { AtomicFile::FailForTesting(0, 0); }
};

// Fails every write and flush of `save` in turn, from the first to the one
// past the last (which then succeeds): at each point the target keeps its old
// bytes, no temporary file stays behind and the reason is the disk's.
void ExpectEveryFailureKeepsTheOldFile(const QString& target, const std::function<Status()>& save) {
    const QString folder = QFileInfo(target).absolutePath();
    const QByteArray old = "the previous file";
    const QStringList files = [&] {
        WriteBytes(target, old);
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }();
    for (int nth = 1;; ++nth) {
        ASSERT_LT(nth, 10000) << "the save never completes";
        Status status;
        {
            DiskFull disk(nth);
            status = save();
        }
        if (status.ok())
            break;
        EXPECT_EQ(status.message(),
                  QStringLiteral("Cannot write %1: No space left on device").arg(target))
            << "at operation " << nth;
        EXPECT_EQ(ReadAll(target), old) << "at operation " << nth;
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);
    }
    EXPECT_NE(ReadAll(target), old);
}

TEST(AtomicFile, AFullDiskAtAnyWriteOrTheLastFlushKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.htm"));
    // One write and the final flush.
    ExpectEveryFailureKeepsTheOldFile(path, [&] { return WriteFileAtomically(path, "new"); });

    // A page written row by row fails at any of its rows.
    CHtmlTable table;
    table.SetRows(5);
    ExpectEveryFailureKeepsTheOldFile(path, [&] {
        QString error;
        return table.WritePage(path, QString(), &error) ? Status::Ok() : Status::Error(error);
    });
    EXPECT_EQ(ReadAll(path), table.ComposePage(path, QString()));
}

TEST(AtomicFile, CopiesAndGifsGoTheSameWay) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    WriteBytes(source, QByteArray(3 << 20, 'z')); // more than one piece
    const QString copy = dir.filePath(QStringLiteral("copy.bin"));
    ExpectEveryFailureKeepsTheOldFile(copy, [&] { return CopyFileAtomically(source, copy); });
    EXPECT_EQ(ReadAll(copy), ReadAll(source));

    const QString gif = dir.filePath(QStringLiteral("still.gif"));
    IndexedImage image(40, 30);
    image.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = std::uint8_t((i * 7 / 3) & 1);
    ExpectEveryFailureKeepsTheOldFile(gif, [&] { return GifWriter::WriteStill(gif, image); });
    EXPECT_TRUE(ReadAll(gif).startsWith("GIF89a"));
}

TEST(AtomicFile, UnfinishedFilesAreDiscarded) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.bin"));
    WriteBytes(path, "old");
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open().ok());
        EXPECT_TRUE(file.Write("new bytes"));
    } // never committed
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"x.bin"});

    // After a failed write the rest is ignored and Commit reports the first
    // failure.
    AtomicFile file(path);
    ASSERT_TRUE(file.Open().ok());
    {
        DiskFull disk(2);
        EXPECT_TRUE(file.Write("a"));
        EXPECT_FALSE(file.Write("b"));
    }
    EXPECT_FALSE(file.Write("c"));
    EXPECT_EQ(file.error(), QFileDevice::WriteError);
    const Status s = file.Commit();
    EXPECT_EQ(s.message(), QStringLiteral("Cannot write %1: No space left on device").arg(path));
    EXPECT_EQ(ReadAll(path), QByteArray("old"));
}

TEST(AtomicFile, TargetsAreCheckedWithAReason) {
    QTemporaryDir dir;
    EXPECT_TRUE(AtomicFile::CheckTarget(dir.filePath(QStringLiteral("new.gif"))).ok());
    const QString missing = dir.filePath(QStringLiteral("no/x.gif"));
    EXPECT_TRUE(AtomicFile::CheckTarget(missing).message().startsWith(
        QStringLiteral("Cannot open %1: the folder ").arg(missing)));
    EXPECT_TRUE(
        AtomicFile::CheckTarget(missing).message().endsWith(QStringLiteral("does not exist")));
    EXPECT_EQ(AtomicFile::CheckTarget(dir.path()).message(),
              QStringLiteral("Cannot open %1: it is a folder").arg(dir.path()));
    const QString plain = dir.filePath(QStringLiteral("plain"));
    WriteBytes(plain, "x");
    EXPECT_TRUE(AtomicFile::CheckTarget(plain + QStringLiteral("/x.gif"))
                    .message()
                    .contains(QStringLiteral("is not a folder")));
    EXPECT_EQ(AtomicFile::CheckTarget(QString()).message(), QStringLiteral("Cannot open "));
}

} // namespace
