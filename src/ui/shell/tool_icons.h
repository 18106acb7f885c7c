// Icons of the tool bar: the desktop theme's where it has one, otherwise
// drawn here.
#pragma once

#include <QIcon>
#include <QString>

QIcon ToolIcon(const QString& name);
QIcon ApplicationIcon();
