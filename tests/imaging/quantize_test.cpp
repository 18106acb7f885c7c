// Palette choice and remapping: floors that a broken quantiser or ditherer
// would fall under.
#include "core/imaging/color_histogram.h"
#include "core/imaging/color_sets.h"
#include "core/imaging/palette.h"
#include "core/imaging/quantiser_batches.h"
#include "core/imaging/remapper.h"

#include "sanitized_build.h"
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QImage Gradient(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2)));
    return image;
}

QImage Decode(const std::vector<std::uint8_t>& indices, const PaletteColors& palette, int w,
              int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, palette[indices[std::size_t(y) * w + x]]);
    return image;
}

double Psnr(const QImage& a, const QImage& b, bool blur) {
    auto at = [&](const QImage& im, int x, int y, int c) {
        if (!blur) {
            const QRgb p = im.pixel(x, y);
            return double(c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p));
        }
        double sum = 0;
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if (x + dx < 0 || y + dy < 0 || x + dx >= im.width() || y + dy >= im.height())
                    continue;
                const QRgb p = im.pixel(x + dx, y + dy);
                sum += c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p);
                ++n;
            }
        return sum / n;
    };
    double se = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = at(a, x, y, c) - at(b, x, y, c);
                se += d * d;
            }
    const double mse = se / (a.width() * a.height() * 3.0);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::array<double, 3> Mean(const QImage& im) {
    std::array<double, 3> m{0, 0, 0};
    for (int y = 0; y < im.height(); ++y)
        for (int x = 0; x < im.width(); ++x) {
            const QRgb p = im.pixel(x, y);
            m[0] += qRed(p), m[1] += qGreen(p), m[2] += qBlue(p);
        }
    for (double& v : m)
        v /= im.width() * im.height();
    return m;
}

TEST(Palette, FewColoursAreKeptExactly) {
    QImage image(40, 10, QImage::Format_RGB32);
    const QRgb colors[] = {qRgb(1, 2, 3), qRgb(200, 100, 50), qRgb(15, 15, 15)};
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 10; ++y)
            image.setPixel(x, y, colors[(x / 7) % 3]);
    ColorHistogram histogram;
    histogram.AddFrame(image);
    EXPECT_EQ(histogram.ColorCount(), 3u);
    EXPECT_EQ(histogram.PixelCount(), 400u);
    PaletteColors palette;
    ASSERT_TRUE(ChoosePalette(histogram, 256, false, 0, &palette));
    ASSERT_EQ(palette.size(), 3u);
    for (QRgb c : colors)
        EXPECT_NE(std::find(palette.begin(), palette.end(), c | 0xFF000000u), palette.end());

    // Remapped with or without dithering, the picture comes back unchanged.
    Remapper remapper(palette);
    std::vector<std::uint8_t> plain(400), dithered(400);
    remapper.Remap(image, false, plain.data());
    remapper.Remap(image, true, dithered.data());
    EXPECT_EQ(plain, dithered);
    EXPECT_EQ(Decode(plain, palette, 40, 10), image);
}

TEST(Palette, ReservedEntryZeroIsNeverChosen) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255)); // the same colour as the reserved entry
    image.setPixel(3, 3, qRgb(0, 0, 0));
    ColorHistogram histogram;
    histogram.AddFrame(image);
    PaletteColors palette;
    ASSERT_TRUE(ChoosePalette(histogram, 256, true, qRgb(255, 255, 255), &palette));
    ASSERT_EQ(palette.size(), 3u);
    EXPECT_EQ(palette[0] & 0xFFFFFF, 0xFFFFFFu);
    Remapper remapper(palette, 1);
    std::vector<std::uint8_t> out(256);
    remapper.Remap(image, true, out.data());
    EXPECT_EQ(std::count(out.begin(), out.end(), 0), 0);
}

TEST(Palette, ManyColoursAreLimitedToTheMaximum) {
    const QImage image = Gradient(300, 200);
    ColorHistogram histogram;
    histogram.AddFrame(image);
    EXPECT_GT(histogram.ColorCount(), 256u);
    for (int maxColors : {2, 16, 255, 256}) {
        PaletteColors palette;
        ASSERT_TRUE(ChoosePalette(histogram, maxColors, false, 0, &palette));
        EXPECT_LE(palette.size(), std::size_t(maxColors));
        EXPECT_GE(palette.size(), std::size_t(std::min(maxColors, 2)));
    }
}

TEST(Palette, HistogramMergesBeyondItsExactLimit) {
    ColorHistogram histogram;
    for (std::uint32_t c = 0; c < ColorHistogram::kExactLimit + 10; ++c)
        histogram.Add(c * 97, 1);
    EXPECT_FALSE(histogram.IsExact());
    EXPECT_EQ(histogram.PixelCount(), ColorHistogram::kExactLimit + 10);
    std::uint64_t total = 0;
    for (const auto& e : histogram.Entries())
        total += e.count;
    EXPECT_EQ(total, ColorHistogram::kExactLimit + 10);
}

// A frame's counts are its pixels', whichever way its rows are counted:
// few colours in runs of two (counted in blocks), rows where a new colour
// turns up part-way, colours beyond what the frame's own table takes, and
// a frame counted several times over.
TEST(Palette, HistogramCountsEveryPixelOfAFrame) {
    struct Case {
        int colors;
        std::uint64_t times;
    };
    for (const Case c : {Case{40, 1}, Case{40, 3}, Case{300, 1}, Case{5000, 2}}) {
        QImage frame(203, 61, QImage::Format_RGB32);
        std::map<QRgb, std::uint64_t> expected;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                // From row 30 on, a colour of its own every 50 pixels.
                const int k = y >= 30 && x % 50 == 7 ? c.colors + y : (x / 2 + y * 3) % c.colors;
                const QRgb color = qRgb(k % 251, (k * 7) % 253, k / 3 % 256);
                frame.setPixel(x, y, color);
                expected[color & 0xFFFFFFu] += c.times;
            }
        // Up to 256 colours, the frame in 8 bits counts the same.
        for (const bool eight : {false, true}) {
            if (eight && expected.size() > 256)
                continue;
            ColorHistogram histogram;
            ASSERT_TRUE(histogram.AddFrame(
                eight ? frame.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither) : frame,
                c.times));
            std::map<QRgb, std::uint64_t> counted;
            for (const auto& e : histogram.Entries())
                counted[e.color] += e.count;
            EXPECT_EQ(counted, expected) << c.colors << " colours" << (eight ? ", 8 bits" : "");
            EXPECT_EQ(histogram.PixelCount(), std::uint64_t(203 * 61) * c.times);
        }
    }
}

// The colours go to the quantiser in batches, but it must weigh them as one
// batch of them all: its cap on a colour's weight follows the number of
// entries it was given. A ramp of colours weighed from light to heavy (where
// the palette's entries fall along it follows the weights): far below the
// cap, where only the batches' smaller count would cap the heavy end (the
// second weight, measured with libimagequant 2.17), and where one batch
// caps it too.
TEST(Palette, QuantiserWeighsTheBatchesAsOne) {
    for (const unsigned heaviest : {100000u, 100000000u, 2000000000u}) {
        std::vector<liq_histogram_entry> entries;
        std::uint32_t seed = 7;
        for (int i = 0; i < 2000; ++i) {
            seed = seed * 1664525u + 1013904223u;
            entries.push_back({liq_color{static_cast<unsigned char>(seed >> 24),
                                         static_cast<unsigned char>(seed >> 16),
                                         static_cast<unsigned char>(seed >> 8), 255},
                               1 + (seed >> 26)});
        }
        for (int k = 0; k < 64; ++k)
            entries[std::size_t(1000 + k)] = {liq_color{static_cast<unsigned char>(4 * k), 128,
                                                        static_cast<unsigned char>(255 - 4 * k),
                                                        255},
                                              heaviest / 72 * unsigned(8 + k)};
        auto palette = [&](bool batched) {
            liq_attr* attr = liq_attr_create();
            liq_set_max_colors(attr, 16);
            liq_set_speed(attr, 7);
            liq_histogram* hist = liq_histogram_create(attr);
            const liq_error added = batched ? AddToQuantiser(hist, attr, entries)
                                            : liq_histogram_add_colors(hist, attr, entries.data(),
                                                                       int(entries.size()), 0.0);
            EXPECT_EQ(added, LIQ_OK);
            liq_result* result = nullptr;
            EXPECT_EQ(liq_histogram_quantize(hist, attr, &result), LIQ_OK);
            std::vector<unsigned> colors;
            const liq_palette* p = liq_get_palette(result);
            for (unsigned k = 0; k < p->count; ++k)
                colors.push_back(unsigned(p->entries[k].r) << 16 | unsigned(p->entries[k].g) << 8 |
                                 p->entries[k].b);
            liq_result_destroy(result);
            liq_histogram_destroy(hist);
            liq_attr_destroy(attr);
            return colors;
        };
        EXPECT_EQ(palette(true), palette(false)) << "heaviest " << heaviest;
    }
}

// The encoder's threads count frames in whatever order they finish and merge
// their counts in whatever order they end: neither may change what the
// histogram gives out, nor the palette chosen from it.
TEST(Palette, CountingOrderChangesNeitherEntriesNorPalette) {
    std::vector<ColorHistogram::Entry> colors;
    std::uint32_t seed = 99;
    for (int i = 0; i < 6000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        colors.push_back({seed >> 8, 1 + (seed >> 28)});
    }
    std::vector<ColorHistogram::Entry> firstEntries;
    PaletteColors firstPalette;
    for (int order = 0; order < 4; ++order) {
        // Forward, backward, interleaved into two merged halves, and the
        // halves merged the other way round.
        ColorHistogram whole, a, b;
        for (std::size_t k = 0; k < colors.size(); ++k) {
            const auto& c = colors[order == 1 ? colors.size() - 1 - k : k];
            if (order < 2)
                whole.Add(c.color, c.count);
            else
                (k % 2 ? a : b).Add(c.color, c.count);
        }
        if (order == 2)
            whole.Merge(a), whole.Merge(b);
        else if (order == 3)
            whole.Merge(b), whole.Merge(a);
        const auto entries = whole.Entries();
        PaletteColors palette;
        ASSERT_TRUE(ChoosePalette(whole, 64, false, 0, &palette, order % 2 + 1));
        if (order == 0) {
            // Ascending and distinct, as the quantiser's tie-breaks assume.
            for (std::size_t k = 1; k < entries.size(); ++k)
                ASSERT_LT(entries[k - 1].color, entries[k].color) << "entry " << k;
            firstEntries = entries, firstPalette = palette;
            continue;
        }
        ASSERT_EQ(entries.size(), firstEntries.size());
        for (std::size_t k = 0; k < entries.size(); ++k) {
            ASSERT_EQ(entries[k].color, firstEntries[k].color) << "order " << order;
            ASSERT_EQ(entries[k].count, firstEntries[k].count) << "order " << order;
        }
        EXPECT_EQ(palette, firstPalette) << "order " << order;
    }
}

TEST(Remap, GradientKeepsItsMeanAndDetail) {
    const QImage image = Gradient(256, 128);
    ColorHistogram histogram;
    histogram.AddFrame(image);
    PaletteColors palette;
    ASSERT_TRUE(ChoosePalette(histogram, 256, false, 0, &palette));
    Remapper remapper(palette);
    std::vector<std::uint8_t> plain(256 * 128), dithered(256 * 128);
    remapper.Remap(image, false, plain.data());
    remapper.Remap(image, true, dithered.data());
    const QImage p = Decode(plain, palette, 256, 128), d = Decode(dithered, palette, 256, 128);

    EXPECT_GT(Psnr(image, p, false), 33.0);
    EXPECT_GT(Psnr(image, d, true), 36.0);
    // Error diffusion keeps the local average better than the nearest colour.
    EXPECT_GT(Psnr(image, d, true), Psnr(image, p, true));
    const auto m0 = Mean(image), m1 = Mean(d);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(m0[c], m1[c], 0.5);
}

TEST(Remap, DitheringMixesTwoColoursInProportion) {
    // Grey 64 between black and white: a quarter of the pixels turn white.
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(qRgb(64, 64, 64));
    const PaletteColors palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    Remapper remapper(palette);
    std::vector<std::uint8_t> out(64 * 64);
    remapper.Remap(image, true, out.data());
    const double white = double(std::count(out.begin(), out.end(), 1)) / out.size();
    EXPECT_NEAR(white, 64.0 / 255.0, 0.02) << "the mean tone must survive the damping";
    remapper.Remap(image, false, out.data());
    EXPECT_EQ(std::count(out.begin(), out.end(), 1), 0);
}

TEST(Remap, OnlyTheColoursThePaletteLacksAreDithered) {
    // Black rows, then a band of grey 16 that the palette lacks (halfway
    // between its black and grey 32), then black again: every row of the
    // band mixes the two in proportion, and the black stays black.
    QImage image(64, 96, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 0));
    for (int y = 33; y < 65; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb(16, 16, 16));
    const PaletteColors palette = {qRgb(0, 0, 0), qRgb(32, 32, 32), qRgb(255, 255, 255)};
    Remapper remapper(palette);
    std::vector<std::uint8_t> out(64 * 96);
    remapper.Remap(image, true, out.data());
    auto greys = [&](int first, int last) {
        return std::count(out.begin() + first * 64, out.begin() + (last + 1) * 64, 1);
    };
    EXPECT_EQ(greys(0, 32), 0);
    EXPECT_NEAR(double(greys(33, 64)) / (32 * 64), 0.5, 0.05);
    for (int y = 33; y < 65; y += 4)
        EXPECT_GT(greys(y, y + 3), 0) << "rows " << y << " to " << y + 3;
    EXPECT_EQ(greys(72, 95), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), 2), 0);
}

// Colours go into the table until one is refused (its set is full): every
// colour taken is found with its own value, both ways of a set serve, and
// the refused one is reported missing.
TEST(ColorSets, TakenColoursAreFoundAndOthersMissing) {
    ColorSets<std::uint32_t> sets;
    std::vector<std::uint32_t> taken;
    std::uint32_t refused = 0;
    for (std::uint32_t c = 1; refused == 0; c += 0x010203u) {
        if (sets.Take(c & 0xFFFFFFu, c))
            taken.push_back(c & 0xFFFFFFu);
        else
            refused = c & 0xFFFFFFu;
    }
    EXPECT_FALSE(sets.Take(taken.front(), 0)) << "a colour is taken once";
    for (const std::uint32_t c : taken) {
        int missing = 0;
        const std::size_t slot = sets.Find(c, &missing);
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(sets.Key(slot), c);
        EXPECT_EQ(sets.At(slot) & 0xFFFFFFu, c);
    }
    int missing = 0;
    sets.Find(refused, &missing);
    EXPECT_NE(missing, 0);
}

// A frame whose every colour is an entry: each pixel takes its own entry,
// dithered or not, through rows of runs two pixels long that bring back
// colours many rows later (256 colours share the frame's small caches, so
// some of them take turns in a slot).
TEST(Remap, PaletteColoursKeepTheirEntriesRowAfterRow) {
    PaletteColors palette;
    for (int k = 0; k < 256; ++k)
        palette.push_back(qRgb((k * 37) % 256, (k * 91 + 7) % 256, k));
    QImage image(300, 120, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, palette[std::size_t((x / 2 + y * 7 + (y / 40) * 101) % 256)]);
    Remapper remapper(palette);
    std::vector<std::uint8_t> dithered(300 * 120), plain(dithered.size());
    remapper.Remap(image, true, dithered.data());
    remapper.Remap(image, false, plain.data());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(palette[dithered[std::size_t(y) * 300 + x]], image.pixel(x, y))
                << x << "," << y;
    EXPECT_EQ(dithered, plain);
}

// An 8-bit frame maps as the same frame in 32 bits, plainly and dithered:
// its colours all in the palette (one more in its table, unused, that is
// not), and one used colour missing from the palette, which the diffusion
// spreads to its neighbours.
TEST(Remap, EightBitFramesMapAsTheirColours) {
    PaletteColors palette;
    for (int k = 0; k < 40; ++k)
        palette.push_back(qRgb((k * 37) % 256, (k * 91 + 7) % 256, k * 6));
    for (const bool missing : {false, true}) {
        QImage indexed(97, 31, QImage::Format_Indexed8);
        QList<QRgb> table(palette.begin(), palette.end());
        std::reverse(table.begin(), table.end());
        table.push_back(qRgb(1, 2, 3)); // index 40, in no pixel
        if (missing)
            table[7] = qRgb(200, 100, 50);
        indexed.setColorTable(table);
        for (int y = 0; y < indexed.height(); ++y)
            for (int x = 0; x < indexed.width(); ++x)
                indexed.setPixel(x, y, uint((x / 3 + y * 5) % 40));
        const QImage rgb = indexed.convertToFormat(QImage::Format_RGB32);
        Remapper remapper(palette);
        for (const bool dither : {false, true}) {
            std::vector<std::uint8_t> fromIndexed(97 * 31), fromRgb(fromIndexed.size());
            ASSERT_TRUE(remapper.Remap(indexed, dither, fromIndexed.data()));
            ASSERT_TRUE(remapper.Remap(rgb, dither, fromRgb.data()));
            EXPECT_EQ(fromIndexed, fromRgb) << missing << dither;
        }
    }
}

TEST(Remap, DitheringASlowRampLeavesNoBands) {
    // Greys 56 to 72 across, with palette greys four levels apart: every
    // stretch of the ramp must come out with its own mean tone, not a flat
    // band of the nearest grey.
    QImage image(256, 32, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int v = 56 + x * 16 / 256;
            image.setPixel(x, y, qRgb(v, v, v));
        }
    PaletteColors palette;
    for (int v = 48; v <= 80; v += 4)
        palette.push_back(qRgb(v, v, v));
    Remapper remapper(palette);
    std::vector<std::uint8_t> out(std::size_t(image.width()) * image.height());
    remapper.Remap(image, true, out.data());
    for (int left = 0; left < image.width(); left += 16) {
        double source = 0, shown = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = left; x < left + 16; ++x) {
                source += qRed(image.pixel(x, y));
                shown += qRed(palette[out[std::size_t(y) * image.width() + x]]);
            }
        const double n = 16.0 * image.height();
        EXPECT_NEAR(shown / n, source / n, 1.25) << "columns " << left << " to " << left + 15;
    }
}

TEST(Remap, AnEmptyPaletteAnswersWithoutReadingPastItsLists) {
    const Remapper remapper(PaletteColors{});
    EXPECT_EQ(remapper.Nearest(qRgb(10, 20, 30)), 0);
}

// Candidate lists are built as colours come; when memory for one runs out
// the mapping says so (the encoder then fails with its message) instead of
// ending the process from inside the vectorised search.
TEST(Remap, RunningShortOfMemoryIsReportedNotThrown) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers reserve more address space than any limit";
    PaletteColors palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(qRgb(i * 37 % 256, i * 101 % 256, i * 59 % 256));
    const Remapper remapper(palette);
    // Every colour cell of the cube, so every candidate list is wanted.
    QImage frame(512, 512, QImage::Format_RGB32);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            frame.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256 + 2 * (y / 256)) * 64 + 32));
    std::vector<std::uint8_t> out(std::size_t(512) * 512);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t room = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(1) << 20);
        const rlimit limit{room, room};
        if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(3);
        const bool mapped = remapper.Remap(frame, true, out.data());
        _exit(!mapped && remapper.ShortOfMemory() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Remap, NearestMatchesABruteForceSearch) {
    PaletteColors palette;
    std::uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < 200; ++i)
        palette.push_back(qRgb(int(next() % 256), int(next() % 256), int(next() % 256)));
    // More colours than the remapper's memory of looked-up colours has
    // slots, so that colours share slots and push each other out.
    std::vector<QRgb> colours;
    for (int k = 0; k < 100000; ++k)
        colours.push_back(qRgb(int(next() % 256), int(next() % 256), int(next() % 256)));
    // Either grid, with or without a reserved first entry, its cells built
    // by whichever of several threads looking up the same colours at once
    // gets there first: the nearest entry, the lowest index among equals.
    struct Setup {
        int firstUsable;
        Remapper::Use use;
        int threads;
    };
    for (const Setup setup :
         {Setup{0, Remapper::Use::Animation, 1}, Setup{0, Remapper::Use::Animation, 4},
          Setup{1, Remapper::Use::Animation, 3}, Setup{0, Remapper::Use::OneFrame, 1},
          Setup{1, Remapper::Use::OneFrame, 4}}) {
        const Remapper remapper(palette, setup.firstUsable, setup.use, setup.threads);
        std::atomic<int> wrong{0};
        std::atomic<QRgb> firstWrong{0};
        std::vector<std::thread> pool;
        for (int t = 0; t < setup.threads; ++t)
            pool.emplace_back([&, t] {
                // Each thread walks the colours from its own starting point.
                for (std::size_t k = 0; k < colours.size(); ++k) {
                    const QRgb c = colours[(k + std::size_t(t) * 997) % colours.size()];
                    int best = setup.firstUsable, bestD = 1 << 30;
                    for (int i = setup.firstUsable; i < 200; ++i) {
                        const int dr = qRed(c) - qRed(palette[i]),
                                  dg = qGreen(c) - qGreen(palette[i]),
                                  db = qBlue(c) - qBlue(palette[i]);
                        if (dr * dr + dg * dg + db * db < bestD)
                            bestD = dr * dr + dg * dg + db * db, best = i;
                    }
                    if (remapper.Nearest(c) != best && wrong++ == 0)
                        firstWrong = c;
                }
            });
        for (auto& thread : pool)
            thread.join();
        EXPECT_EQ(wrong.load(), 0)
            << "first wrong colour " << std::hex << firstWrong.load() << std::dec
            << ", first usable " << setup.firstUsable << ", " << setup.threads << " threads";
    }
    // Past a million searches the remapper takes a table of every colour
    // instead of its slots: two threads looking up more colours than that,
    // twice over, the second time from the table.
    {
        PaletteColors few(palette.begin(), palette.begin() + 16);
        const Remapper remapper(few);
        std::atomic<int> wrong{0};
        auto walk = [&](std::uint32_t start) {
            for (std::uint32_t k = 0; k < 1300000; ++k) {
                const QRgb c = ((start + k) * 13u) & 0xFFFFFFu;
                int best = 0, bestD = 1 << 30;
                for (int i = 0; i < 16; ++i) {
                    const int dr = qRed(c) - qRed(few[i]), dg = qGreen(c) - qGreen(few[i]),
                              db = qBlue(c) - qBlue(few[i]);
                    if (dr * dr + dg * dg + db * db < bestD)
                        bestD = dr * dr + dg * dg + db * db, best = i;
                }
                wrong += remapper.Nearest(c) != best;
            }
        };
        for (int pass = 0; pass < 2; ++pass) {
            std::thread other(walk, 650000u);
            walk(0);
            other.join();
        }
        EXPECT_EQ(wrong.load(), 0);
    }
    // White as the last of 256 entries: its remembered answer is the one
    // word that reads as an empty slot, so it is looked up afresh each time.
    PaletteColors greys;
    for (int i = 0; i < 256; ++i)
        greys.push_back(qRgb(i, i, i));
    const Remapper remapper(greys);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(remapper.Nearest(qRgb(255, 255, 255)), 255);
        EXPECT_EQ(remapper.Nearest(qRgb(254, 254, 255)), 254);
    }
}

// The plain remap of an animation's frames reads the remembered answers a
// row at a time: every pixel must still get its nearest entry, whether its
// slot holds it, another colour or nothing, and once the table has taken
// over from the slots.
TEST(Remap, PlainRemapGivesEveryPixelItsNearestEntry) {
    PaletteColors palette;
    std::uint32_t seed = 777;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < 255; ++i)
        palette.push_back(qRgb(int(next() % 256), int(next() % 256), int(next() % 256)));
    palette.push_back(qRgb(255, 255, 255)); // white's answer reads as an empty slot
    QImage frame(301, 200, QImage::Format_RGB32);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            // Noise, runs of one colour, and white.
            const QRgb noise = qRgb(int(next() % 256), int(next() % 256), int(next() % 256));
            frame.setPixel(x, y,
                           y % 3 == 0   ? noise
                           : y % 3 == 1 ? qRgb(x / 40 * 30, 90, 200 - x / 40 * 20)
                           : x % 7 == 0 ? qRgb(255, 255, 255)
                                        : noise);
        }
    const Remapper reference(palette, 0, Remapper::Use::OneFrame);
    const Remapper remapper(palette);
    std::vector<std::uint8_t> out(std::size_t(frame.width()) * frame.height());
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 2) // past a million searches the table answers
            for (std::uint32_t c = 0; c < (1u << 20) + 4096; ++c)
                remapper.Nearest((c * 16777213u) & 0xFFFFFFu);
        ASSERT_TRUE(remapper.Remap(frame, false, out.data()));
        int wrong = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                wrong +=
                    out[std::size_t(y) * frame.width() + x] != reference.Nearest(frame.pixel(x, y));
        EXPECT_EQ(wrong, 0) << "pass " << pass;
    }
}

} // namespace
