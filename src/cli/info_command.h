// velmora-cli info: what a GIF or a page holds, and the animation a GIF was
// saved from.
#pragma once

#include <QStringList>

int RunInfoCommand(const QStringList& args);
