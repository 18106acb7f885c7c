// The limits every save and every page obeys, in one place so that the
// command line, the windows, the renderers and the manual state the same
// numbers.
#pragma once

#include <QtGlobal>

// A GIF stores its width and height in 16 bits.
inline constexpr int kMaxGifSide = 65535;

// Frame caps of the renderers: the stripe animations and Rubber Clouds stop
// at 500 frames; Blinking Clouds, Flowing Clouds and Dynamic Picture at 5000.
inline constexpr int kMaxStripesFrames = 500;
inline constexpr int kMaxCloudsFrames = 5000;

// Frames `velmora-cli encode` takes from one raw file.
inline constexpr qint64 kMaxEncodeFrames = 1000000;

// The largest page text written: 1 GiB. A grid beyond it (a million rows of
// twenty-five cells) is no page a browser could show anyway.
inline constexpr qint64 kMaxPageBytes = qint64(1) << 30;

// Bytes one pixel of a frame takes while a save works on it: the drawn RGB32
// frame (4), its colour indices (1) and room for the compressed data and the
// copies the stages hand on (3).
inline constexpr qint64 kFrameBytesPerPixel = 8;

// What a save's frames in flight (drawn, mapped, waiting to be written) may
// take together beyond the first: frames larger than a few million pixels
// are worked on fewer at a time rather than one per core.
inline constexpr qint64 kFramesInFlightBytes = qint64(256) << 20;

// Memory this process may use at most: the smaller of the machine's physical
// memory and the address-space or data limits it runs under. 0 when unknown.
qint64 UsableMemoryBytes();

// Bytes `frames` frames of width x height take at kFrameBytesPerPixel,
// saturated at the largest qint64 rather than overflowing.
qint64 FrameSetBytes(qint64 width, qint64 height, qint64 frames);

// Whether frames of width x height, `frames` of them held at once, fit in
// the usable memory (with a quarter of it left for everything else).
bool FramesFitInMemory(qint64 width, qint64 height, qint64 frames);

// An animated WebP stores its canvas size in 24 bits, but its frames' VP8L
// and VP8 headers hold 14: larger frames cannot be written.
inline constexpr int kMaxWebpSide = 16383;
