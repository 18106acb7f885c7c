// Where the per-user folder's files come from: share/velmora beside the
// program's folder (an installation, or the build folder's mirror of one),
// else the copies built into the program.
#include "file_contents.h"
#include "ui/shell/installation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList Bitmaps(const QString& directory) {
    return QDir(directory + QStringLiteral("CellPattern")).entryList(QDir::Files, QDir::Name);
}

TEST(Installation, AnInstalledTreeFillsThePerUserFolder) {
    QTemporaryDir root;
    const QString prefix = root.filePath(QStringLiteral("usr"));
    ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/bin")));
    const QString share = prefix + QStringLiteral("/share/velmora/");
    // Without share/velmora/images/default.gif there is no installation.
    EXPECT_EQ(BundledDataDirectory(prefix + QStringLiteral("/bin")), QString());
    ASSERT_TRUE(Write(share + QStringLiteral("images/default.gif"), "GIF89a installed"));
    ASSERT_TRUE(Write(share + QStringLiteral("CellPattern/Only.bmp"), "BM installed"));
    ASSERT_EQ(BundledDataDirectory(prefix + QStringLiteral("/bin")), share);
    ASSERT_EQ(BundledDataDirectory(prefix + QStringLiteral("/bin/")), share);

    const QString user = root.filePath(QStringLiteral("user/"));
    ASSERT_TRUE(InstallBundledFiles(user, share).ok());
    EXPECT_EQ(ReadAll(user + QStringLiteral("images/default.gif")), "GIF89a installed");
    EXPECT_EQ(Bitmaps(user), QStringList{QStringLiteral("Only.bmp")});
    // The installation has no manual: the built-in one stands in.
    EXPECT_EQ(ReadAll(user + QStringLiteral("help/index.html")),
              ReadAll(QStringLiteral(":/help/index.html")));

    // Files already there are the user's and stay.
    ASSERT_TRUE(Write(share + QStringLiteral("images/default.gif"), "GIF89a newer"));
    ASSERT_TRUE(InstallBundledFiles(user, share).ok());
    EXPECT_EQ(ReadAll(user + QStringLiteral("images/default.gif")), "GIF89a installed");
}

TEST(Installation, WithoutAnInstalledTreeTheBuiltInCopiesServe) {
    QTemporaryDir user;
    const QString directory = user.path() + QLatin1Char('/');
    ASSERT_TRUE(InstallBundledFiles(directory, QString()).ok());
    EXPECT_EQ(ReadAll(directory + QStringLiteral("images/default.gif")),
              ReadAll(QStringLiteral(":/images/default.gif")));
    EXPECT_EQ(Bitmaps(directory), QDir(QStringLiteral(":/CellPattern")).entryList(QDir::Files));
}

// The tests run from the build folder, which mirrors an installation.
TEST(Installation, TheBuildFolderMirrorsAnInstallation) {
    const QString share = BundledDataDirectory();
    ASSERT_FALSE(share.isEmpty());
    EXPECT_EQ(ReadAll(share + QStringLiteral("images/default.gif")),
              ReadAll(QStringLiteral(":/images/default.gif")));
    EXPECT_EQ(Bitmaps(share), QDir(QStringLiteral(":/CellPattern")).entryList(QDir::Files));
}

} // namespace
