#include "ui/shell/installation.h"

#include "core/base/atomic_write.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const char* const kDataFolders[] = {"images", "CellPattern", "help"};

QString WithSeparator(QString dir) {
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
        dir += QLatin1Char('/');
    return dir;
}

// Why previews cannot be written in `dir`; empty when they can.
QString UnusableReason(QString dir) {
    while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
        dir.chop(1);
    const QFileInfo info(dir);
    if (!info.exists())
        return QStringLiteral("does not exist");
    if (!info.isDir())
        return QStringLiteral("is a file, not a folder");
    if (!info.isReadable() || !info.isExecutable())
        return QStringLiteral("cannot be read");
    if (!info.isWritable())
        return QStringLiteral("cannot be written to");
    return QString();
}

Status PerUserDirectory(QString* directory) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty())
        return Status::Error(
            QStringLiteral("There is no folder for Velmora's files in this account."));
    if (!QDir().mkpath(data))
        return Status::Error(QStringLiteral("Cannot create the folder %1").arg(data));
    if (!QFileInfo(data).isWritable())
        return Status::Error(QStringLiteral("Cannot write in the folder %1").arg(data));
    *directory = WithSeparator(data);
    return InstallBundledFiles(*directory);
}

} // namespace

QString BundledDataDirectory(const QString& programDirectory) {
    if (programDirectory.isEmpty())
        return QString();
    const QString data =
        QDir::cleanPath(programDirectory + QStringLiteral("/../share/velmora")) + QLatin1Char('/');
    // The default animation is the one file every installation has.
    return QFileInfo(data + QStringLiteral("images/default.gif")).isFile() ? data : QString();
}

QString BundledDataDirectory() {
    return BundledDataDirectory(QCoreApplication::applicationDirPath());
}

Status InstallBundledFiles(const QString& directory, const QString& source) {
    for (const char* folder : kDataFolders) {
        // A folder the installation lacks comes from the built-in copies.
        QString from = source + QLatin1String(folder);
        if (source.isEmpty() || !QFileInfo(from).isDir())
            from = QStringLiteral(":/") + QLatin1String(folder);
        QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString target =
                directory + QLatin1String(folder) + QLatin1Char('/') + file.mid(from.size() + 1);
            if (QFileInfo::exists(target))
                continue;
            if (!QDir().mkpath(QFileInfo(target).absolutePath()))
                return Status::Error(QStringLiteral("Cannot create the folder %1")
                                         .arg(QFileInfo(target).absolutePath()));
            if (Status s = CopyFileAtomically(file, target); !s)
                return s;
        }
    }
    return Status::Ok();
}

Status InstallBundledFiles(const QString& directory) {
    return InstallBundledFiles(directory, BundledDataDirectory());
}

Status ResolveInstallationDirectory(const QString& setting, bool haveSetting, QString* directory,
                                    QString* note) {
    // An empty setting would put the preview sets into whatever folder the
    // program was started from: it counts as no setting.
    if (haveSetting && !setting.trimmed().isEmpty()) {
        const QString reason = UnusableReason(setting);
        // A usable directory the installation names is used as it stands.
        if (reason.isEmpty()) {
            *directory = WithSeparator(setting);
            return Status::Ok();
        }
        const Status s = PerUserDirectory(directory);
        if (s && note)
            *note = QStringLiteral("The folder %1 set as Velmora's directory %2: Velmora's files "
                                   "are kept in %3 instead.")
                        .arg(QDir::toNativeSeparators(setting), reason,
                             QDir::toNativeSeparators(*directory));
        return s;
    }
    return PerUserDirectory(directory);
}
