#include "core/base/version.h"

// The build defines it for this file alone, so a new version recompiles one
// file rather than every file that shows the number.
#ifndef VELMORA_VERSION
#error "VELMORA_VERSION comes from the top CMakeLists.txt's project(VERSION)"
#endif

QString VelmoraVersion() {
    return QStringLiteral(VELMORA_VERSION);
}
