// Where the program's installation files live: the "directory" setting, or a
// per-user data folder that the program fills from the installed data.
#pragma once

#include "core/base/status.h"

#include <QString>

// The installed data that fills the per-user folder: share/velmora beside the
// folder the program runs from, where an installation puts it and where the
// build mirrors it for a program run from the build folder. Empty when there
// is none; the copies built into the program stand in then.
QString BundledDataDirectory(const QString& programDirectory);
QString BundledDataDirectory(); // beside the running program

// The installation directory, ending with "/" (or the separator the setting
// ends with). With no setting, the per-user data folder is created and the
// bundled files are copied there when missing. A setting that names no
// usable folder (missing, a file, unreadable or read-only) would leave every
// preview unwritable: the per-user folder is used instead and `note` says
// why.
Status ResolveInstallationDirectory(const QString& setting, bool haveSetting, QString* directory,
                                    QString* note = nullptr);

// Copies the installation files (images/default.gif, the cell pattern
// bitmaps, the manual) from `source` (BundledDataDirectory(); empty: the
// copies built into the program) into directory, leaving files already
// there.
Status InstallBundledFiles(const QString& directory, const QString& source);
Status InstallBundledFiles(const QString& directory);
