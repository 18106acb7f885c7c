// Saves of several files: a full disk at any write leaves every previous
// file as it was and no new or stray file; only a complete set replaces one.
#include "core/base/atomic_file.h"
#include "core/base/staged_file_set.h"
#include "core/document/velmora_document.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

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

QStringList AllFiles(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

TEST(StagedFileSet, SaveAsWritesTheWholeSetOrNothing) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    VelmoraDocument doc;
    doc.SetPreview(PageSet::ForBase(dir.filePath(QStringLiteral("Untitled1"))));
    ASSERT_TRUE(doc.SetCellPattern(MaskMode::SeparateLayer, std::make_shared<CellMask>(450, 200)));
    doc.EditTable(TableField::Rows, 40);
    WriteBytes(doc.Preview().gif, QByteArray(5000, 'g'));
    WriteBytes(doc.Preview().cell, QByteArray(3000, 'c'));
    const PageSet target = PageSet::ForBase(dir.filePath(QStringLiteral("shop")));
    for (const QString& path : {target.page, target.gif, target.cell})
        WriteBytes(path, "previous " + path.toUtf8());
    const QStringList files = AllFiles(folder);

    for (int nth = 1;; ++nth) {
        ASSERT_LT(nth, 1000) << "the save never completes";
        AtomicFile::FailForTesting(nth, ENOSPC);
        const Status status = doc.SaveTo(target, QString());
        AtomicFile::FailForTesting(0, 0);
        if (status.ok())
            break;
        SCOPED_TRACE(nth);
        EXPECT_TRUE(status.message().contains(QStringLiteral("No space left on device")));
        // The message names the file the user chose, never a staging name.
        EXPECT_FALSE(status.message().contains(QStringLiteral(".part")))
            << status.message().toStdString();
        for (const QString& path : {target.page, target.gif, target.cell})
            EXPECT_EQ(ReadAll(path), "previous " + path.toUtf8());
        EXPECT_EQ(AllFiles(folder), files);
    }
    EXPECT_EQ(ReadAll(target.gif), QByteArray(5000, 'g'));
    EXPECT_EQ(ReadAll(target.cell), QByteArray(3000, 'c'));
    EXPECT_EQ(ReadAll(target.page), doc.Table().ComposePage(target.page, QString()));
    EXPECT_EQ(AllFiles(folder), files);
}

TEST(StagedFileSet, NewFilesGetTheUsualPermissionsAndOldOnesKeepTheirs) {
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("new.gif"));
    const QString kept = dir.filePath(QStringLiteral("kept.htm"));
    WriteBytes(kept, "old");
    ASSERT_TRUE(
        QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const mode_t mask = ::umask(022);
    StagedFileSet set;
    Status s;
    for (const QString& target : {fresh, kept}) {
        const QString staged = set.Stage(target, &s);
        ASSERT_TRUE(s) << s.message().toStdString();
        EXPECT_EQ(QFileInfo(staged).absolutePath(), QFileInfo(target).absolutePath());
        WriteBytes(staged, "new");
    }
    ASSERT_TRUE(set.Commit());
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat(QFile::encodeName(kept).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadAll(kept), "new");
    EXPECT_EQ(AllFiles(dir.path()), (QStringList{"kept.htm", "new.gif"}));

    // Abandoned: nothing staged stays behind.
    {
        StagedFileSet abandoned;
        WriteBytes(abandoned.Stage(fresh, &s), "newer");
    }
    EXPECT_EQ(AllFiles(dir.path()), (QStringList{"kept.htm", "new.gif"}));
    EXPECT_EQ(ReadAll(fresh), "new");
}

} // namespace
