// velmora-cli page and velmora-cli demo.
#pragma once

#include <QStringList>

int RunPageCommand(const QStringList& args);
int RunDemoCommand(const QStringList& args);
extern const char* const kPageHelp;
extern const char* const kDemoHelp;
