// The one version number of Velmora, set by the build from the project's
// version: both programs' --version, About, the package and the GIFs' record.
#pragma once

#include <QString>

QString VelmoraVersion();
