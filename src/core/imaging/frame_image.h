// A new RGB32 frame whose pixels are frame memory (huge pages where the
// frame is large): what every frame drawn for a save is drawn into.
#pragma once

#include <QImage>
#include <QSize>

// Null when memory runs out, as QImage's own constructor.
QImage NewFrameImage(QSize size);
