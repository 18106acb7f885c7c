// velmora-cli encode: raw RGB24 frames through the save pipeline.
#pragma once

#include <QStringList>

int RunEncodeCommand(const QStringList& args);
extern const char* const kEncodeHelp;
