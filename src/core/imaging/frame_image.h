// A new frame whose pixels are frame memory (huge pages where the frame is
// large): what every frame drawn for a save is drawn into. RGB32, or
// Indexed8 (without a colour table) for a type that draws few colours.
#pragma once

#include <QImage>
#include <QSize>

// Null when memory runs out, as QImage's own constructor.
QImage NewFrameImage(QSize size, QImage::Format format = QImage::Format_RGB32);

// The frame as 32-bit RGB: itself when it is RGB32 or ARGB32, else a
// converted copy (null, for a frame that is not, when memory ran out).
QImage AsRgb32(const QImage& frame);
