// velmora-cli render: an animation saved through its renderer.
#pragma once

#include <QStringList>

int RunRenderCommand(const QStringList& args);
