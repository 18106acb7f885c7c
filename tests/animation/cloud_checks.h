// What the cloud types' tests check alike: colours as the pixels show them,
// the clamps of the colour count and the outline, and saves that a fixed
// seed repeats.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/animation/animation_save.h"
#include "core/base/color_ref.h"
#include "file_contents.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>
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

// The outline's size, bumps and squeeze never go below 0.
template <typename R> void ExpectCloudOutlineClamped(R& r) {
    r.SetCloudSize(-1);
    r.SetCloudBumps(-1);
    r.SetCloudSqueeze(-1);
    EXPECT_EQ(r.GetCloudSize(), 0);
    EXPECT_EQ(r.GetCloudBumps(), 0);
    EXPECT_EQ(r.GetCloudSqueeze(), 0);
}

// Saves `r` to `path` with a fixed seed and returns the file's bytes; the
// seed used must be the one given.
inline QByteArray SaveWithSeed(AnimationRenderer& r, std::uint32_t seed, const QString& path) {
    r.SetFixedSeed(seed);
    r.SetAnimationGifPath(path);
    EXPECT_TRUE(SaveAnimation(r));
    EXPECT_EQ(r.GetLastSeed(), seed);
    return ReadAll(path);
}

// Saves a renderer from `make` into `dir` three times: twice with `seed`,
// which must give the same bytes, and once with the next seed, which must
// not. Returns the path of the first file.
template <typename Make>
QString ExpectSeedRepeatsTheFile(const QTemporaryDir& dir, std::uint32_t seed, Make make) {
    auto save = [&](const char* name, std::uint32_t s) {
        auto r = make();
        return SaveWithSeed(r, s, dir.filePath(QString::fromLatin1(name)));
    };
    const QByteArray a = save("a.gif", seed);
    EXPECT_FALSE(a.isEmpty());
    EXPECT_EQ(save("b.gif", seed), a);
    EXPECT_NE(save("c.gif", seed + 1), a);
    return dir.filePath(QStringLiteral("a.gif"));
}
