#include "ui/shell/installation.h"

#include "core/base/atomic_write.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString WithSeparator(QString dir) {
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace

Status InstallBundledFiles(const QString& directory) {
    struct Bundle {
        const char* resourceDir;
        const char* target;
    };
    for (const Bundle& b : {Bundle{":/images", "images"}, Bundle{":/CellPattern", "CellPattern"},
                            Bundle{":/help", "help"}}) {
        QDirIterator it(QLatin1String(b.resourceDir), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString source = it.next();
            const QString relative = source.mid(qsizetype(std::strlen(b.resourceDir)) + 1);
            const QString target =
                directory + QLatin1String(b.target) + QLatin1Char('/') + relative;
            if (QFileInfo::exists(target))
                continue;
            if (!QDir().mkpath(QFileInfo(target).absolutePath()))
                return Status::Error(QStringLiteral("Cannot create the folder %1")
                                         .arg(QFileInfo(target).absolutePath()));
            if (Status s = CopyFileAtomically(source, target); !s)
                return s;
        }
    }
    return Status::Ok();
}

Status ResolveInstallationDirectory(const QString& setting, bool haveSetting, QString* directory) {
    // An empty setting would put the preview sets into whatever folder the
    // program was started from: it counts as no setting.
    if (haveSetting && !setting.trimmed().isEmpty()) {
        // A directory the installation names is used as it stands.
        *directory = WithSeparator(setting);
        return Status::Ok();
    }
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
