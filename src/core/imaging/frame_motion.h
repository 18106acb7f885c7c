// Frames of a picture panned under a fixed window (a camera pan, a scrolling
// screen): where a frame is the frame before it moved by a few pixels, it
// takes that frame's indices, moved, and only the pixels that came into view
// are mapped. Dithered, the pattern then travels with the picture instead of
// being drawn anew on every frame, and mapping costs a copy.
#pragma once

#include "core/imaging/remapper.h"

#include <QImage>
#include <QPoint>
#include <cstdint>
#include <optional>

// The shift (dx, dy) for which now(x, y) == before(x + dx, y + dy) at every
// pixel both frames hold, among shifts of at most a quarter of the shorter
// side (and 64 pixels), the nearest first; none when there is no such
// shift. Both RGB32 (alpha compared too), the same size.
std::optional<QPoint> FindPan(const QImage& before, const QImage& now);

// Maps `now` to the remapper's palette (out: width * height indices): the
// pixels in view in the frame before take its indices (`previous`), moved by
// `shift` as FindPan gives it; the rest are mapped, dithered on from their
// neighbours when `dither`. False when memory ran out.
bool RemapPanned(const Remapper& remapper, bool dither, const QImage& now,
                 const std::uint8_t* previous, QPoint shift, std::uint8_t* out);
