// Where the program's installation files live: the "directory" setting, or a
// per-user data folder that the program fills from its bundled copies.
#pragma once

#include "core/base/status.h"

#include <QString>

// The installation directory, ending with "/" (or the separator the setting
// ends with). With no setting, the per-user data folder is created and the
// bundled files are copied there when missing.
Status ResolveInstallationDirectory(const QString& setting, bool haveSetting, QString* directory);

// Copies the bundled installation files (images/default.gif, the cell
// pattern bitmaps, the manual) into directory, leaving files already there.
Status InstallBundledFiles(const QString& directory);
