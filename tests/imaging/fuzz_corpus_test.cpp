// The fuzzing corpus as a regression test in every build: each file, and
// cut, flipped and inflated variants of it, goes through the GIF reader and
// picture loading as the fuzzer feeds them (and our WebPs through the WebP
// reader). Files the fuzzer once found troublesome are kept in
// fuzz/regressions.
#include "core/imaging/gif_reader.h"
#include "core/imaging/picture_loader.h"
#include "core/imaging/webp_reader.h"
#include "core/page/page_reader.h"
#include "file_contents.h"
#include "strict_gif_decoder.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kMemoryLimit = 256 * 1024 * 1024;

QStringList FilesIn(const QString& dir) {
    QStringList files;
    QDirIterator it(dir, QDir::Files);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// What the fuzzer asserts: no crash, and what is accepted is whole.
void Feed(const QByteArray& data, const std::string& what) {
    GifAnimation gif;
    if (ReadGifData(data, &gif, QStringLiteral("v.gif"), kMemoryLimit)) {
        ASSERT_FALSE(gif.frames.empty()) << what;
        ASSERT_EQ(gif.frames.size(), gif.composited.size()) << what;
        for (const QImage& shown : gif.composited)
            ASSERT_EQ(shown.size(), QSize(gif.width, gif.height)) << what;
    }
    QImage picture;
    if (LoadPictureData(data, &picture, QStringLiteral("v"))) {
        ASSERT_EQ(picture.format(), QImage::Format_RGB32) << what;
    }
}

// Variants in the fuzzer's spirit, the same on every run.
std::vector<std::pair<QByteArray, std::string>> Variants(const QByteArray& data) {
    std::vector<std::pair<QByteArray, std::string>> out;
    const qsizetype n = data.size();
    for (qsizetype cut = 0; cut < n; cut += std::max<qsizetype>(1, n / 40))
        out.push_back({data.left(cut), "cut at " + std::to_string(cut)});
    std::uint32_t seed = std::uint32_t(n) * 2654435761u;
    for (int i = 0; i < 60 && n > 0; ++i) {
        seed = seed * 1664525u + 1013904223u;
        QByteArray v = data;
        const qsizetype at = qsizetype(seed >> 8) % n;
        v[at] = char(v[at] ^ char(1 + (seed & 0x7F)));
        out.push_back({v, "byte " + std::to_string(at) + " changed"});
    }
    // The sizes a header can claim: the screen, and every image descriptor.
    if (n >= 10) {
        QByteArray v = data;
        v[6] = v[7] = v[8] = v[9] = char(0xFF);
        out.push_back({v, "screen 65535 x 65535"});
        v = data;
        v[6] = v[7] = 0;
        out.push_back({v, "screen width 0"});
    }
    for (qsizetype at = data.indexOf(char(0x2C)); at >= 0 && at + 9 < n;
         at = data.indexOf(char(0x2C), at + 1)) {
        QByteArray v = data;
        v[at + 5] = v[at + 6] = v[at + 7] = v[at + 8] = char(0xFF);
        out.push_back({v, "image size 65535 at " + std::to_string(at)});
        v = data;
        v[at + 1] = v[at + 2] = char(0xF0);
        out.push_back({v, "image left 61680 at " + std::to_string(at)});
        v = data;
        if (at + 10 < n) {
            v[at + 10] = char(12);
            out.push_back({v, "code size 12 at " + std::to_string(at)});
        }
    }
    out.push_back({data + data, "doubled"});
    out.push_back({data + QByteArray(4096, char(0x21)), "extension introducers appended"});
    return out;
}

TEST(FuzzCorpus, OurFilesLoadAndPassTheStrictDecoder) {
    const QStringList files = FilesIn(QStringLiteral(VELMORA_FUZZ_DIR "/corpus"));
    ASSERT_GE(files.size(), 5);
    qint64 total = 0;
    for (const QString& file : files) {
        const QByteArray data = ReadAll(file);
        total += data.size();
        const std::string name = file.toStdString();
        if (file.endsWith(QLatin1String(".gif"))) {
            GifAnimation gif;
            const Status s = ReadGifData(data, &gif, file);
            ASSERT_TRUE(s) << s.message().toStdString();
            StrictGif strict;
            EXPECT_EQ(StrictDecodeGif(data, &strict), "") << name;
        }
        QImage picture;
        EXPECT_TRUE(LoadPictureData(data, &picture, file)) << name;
    }
    EXPECT_LT(total, 50 * 1024); // kept small: the fuzzer starts from all of it
}

TEST(FuzzCorpus, VariantsAndKnownTroubleNeverCrash) {
    QStringList files = FilesIn(QStringLiteral(VELMORA_FUZZ_DIR "/corpus"));
    files += FilesIn(QStringLiteral(VELMORA_FUZZ_DIR "/regressions"));
    int fed = 0;
    for (const QString& file : files) {
        const QByteArray data = ReadAll(file);
        Feed(data, file.toStdString());
        for (const auto& [variant, what] : Variants(data)) {
            Feed(variant, file.toStdString() + ": " + what);
            if (HasFatalFailure())
                return;
            ++fed;
        }
    }
    EXPECT_GT(fed, 500);
}

// The page reader's and picture loading's own corpora, as their fuzzers
// start from them: ours are read back, and no variant crashes or is half
// read.
TEST(FuzzCorpus, PagesAndPicturesAndTheirVariants) {
    const QStringList pages = FilesIn(QStringLiteral(VELMORA_FUZZ_DIR "/page-corpus"));
    ASSERT_GE(pages.size(), 4);
    for (const QString& file : pages) {
        const QByteArray data = ReadAll(file);
        ASSERT_TRUE(ParsePage(data).has_value()) << file.toStdString();
        for (const auto& [variant, what] : Variants(data)) {
            if (const std::optional<PageContents> page = ParsePage(variant)) {
                const QString path =
                    page->imageBase.isEmpty() ? QStringLiteral("page") : QStringLiteral("page.htm");
                ASSERT_EQ(page->table.ComposePage(path, page->imageBase), variant)
                    << file.toStdString() << ": " << what;
            }
        }
    }
    const QStringList pictures = FilesIn(QStringLiteral(VELMORA_FUZZ_DIR "/picture-corpus"));
    ASSERT_GE(pictures.size(), 3);
    for (const QString& file : pictures) {
        const QByteArray data = ReadAll(file);
        QImage picture;
        EXPECT_TRUE(LoadPictureData(data, &picture, file, PictureFormats::AnyReadable))
            << file.toStdString();
        for (const auto& [variant, what] : Variants(data)) {
            Feed(variant, file.toStdString() + ": " + what);
            if (HasFatalFailure())
                return;
        }
    }
}

// What the WebP fuzzer asserts: no crash, an outline and pixels that agree,
// and frames of the canvas size.
void FeedWebp(const QByteArray& data, const std::string& what) {
    WebpAnimation outline, full;
    const bool outlined = bool(ReadWebpData(data, &outline, false, {}, kMemoryLimit));
    if (!ReadWebpData(data, &full, true, {}, kMemoryLimit))
        return;
    ASSERT_TRUE(outlined) << what;
    ASSERT_EQ(full.frames.size(), outline.durations.size()) << what;
    for (const QImage& frame : full.frames)
        ASSERT_EQ(frame.size(), QSize(full.width, full.height)) << what;
}

TEST(FuzzCorpus, WebpsAndTheirVariants) {
    const QStringList files = FilesIn(QStringLiteral(VELMORA_FUZZ_DIR "/webp-corpus"));
    ASSERT_GE(files.size(), 3);
    int fed = 0;
    for (const QString& file : files) {
        const QByteArray data = ReadAll(file);
        WebpAnimation webp;
        const Status s = ReadWebpData(data, &webp, true, file);
        ASSERT_TRUE(s) << s.message().toStdString();
        std::vector<std::pair<QByteArray, std::string>> variants = Variants(data);
        // The sizes a WebP can claim: a 16M x 16M canvas, and a RIFF or
        // first chunk as long as a size field holds.
        for (const qsizetype at : {qsizetype(24), qsizetype(4), qsizetype(16)}) {
            if (at + 6 > data.size())
                continue;
            QByteArray v = data;
            for (qsizetype i = at; i < at + (at == 24 ? 6 : 4); ++i)
                v[i] = char(0xFF);
            variants.push_back({v, "size field at " + std::to_string(at) + " at its largest"});
        }
        for (const auto& [variant, what] : variants) {
            FeedWebp(variant, file.toStdString() + ": " + what);
            if (HasFatalFailure())
                return;
            ++fed;
        }
    }
    EXPECT_GT(fed, 150);
}

} // namespace
