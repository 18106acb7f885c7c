// What a save comes to, in the words the window and the command line show:
// "123 KB, 66 frames, 6.6 s a loop", and when frames are shorter than
// browsers play them, a second line saying by how much.
#pragma once

#include "core/animation/animation_renderer.h"

#include <QStringList>

// `prepared` is the renderer the save was made from (after PrepareSave);
// `bytes` the size of the file written.
QStringList SaveSummary(const AnimationRenderer& prepared, qint64 bytes);
