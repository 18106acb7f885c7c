// What the cloud types' tests check alike: colours as the pixels show them,
// the colour count's clamp, and saves that a fixed seed repeats.
#pragma once

#include "animation/animation_renderer.h"
#include "file_contents.h"
#include "page/color_ref.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <gtest/gtest.h>

// The pixel a COLORREF becomes in an RGB32 frame.
inline QRgb Rgb(COLORREF c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

// Every cloud type offers one to five colours.
template <typename R> void ExpectNumberOfColorsClamped(R& r) {
    r.SetNumberOfColors(0);
    EXPECT_EQ(r.GetNumberOfColors(), 1);
    r.SetNumberOfColors(6);
    EXPECT_EQ(r.GetNumberOfColors(), 5);
}

// Saves `r` to `path` with a fixed seed and returns the file's bytes; the
// seed used must be the one given.
inline QByteArray SaveWithSeed(AnimationRenderer& r, std::uint32_t seed, const QString& path) {
    r.SetFixedSeed(seed);
    r.SetAnimationGifPath(path);
    EXPECT_TRUE(r.SaveAnimatedGif());
    EXPECT_EQ(r.GetLastSeed(), seed);
    return ReadAll(path);
}
