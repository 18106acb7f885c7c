#include "core/imaging/gif_writer.h"
#include "core/imaging/picture_loader.h"
#include "file_contents.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PictureLoader, ReadsTheFormatsUsersPick) {
    QTemporaryDir dir;
    QImage source(7, 5, QImage::Format_RGB32);
    source.fill(qRgb(10, 200, 30));
    source.setPixel(3, 2, qRgb(255, 255, 255));
    for (const char* format : {"BMP", "PNG"}) {
        // Saved under a misleading suffix: the content decides.
        const QString path = dir.filePath(QStringLiteral("pic_%1.dat").arg(QLatin1String(format)));
        ASSERT_TRUE(source.save(path, format)) << format;
        QImage loaded;
        ASSERT_TRUE(LoadPicture(path, &loaded)) << format;
        EXPECT_EQ(loaded.size(), source.size());
        EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
        EXPECT_EQ(loaded.pixel(3, 2), qRgb(255, 255, 255)) << format;
    }
    IndexedImage still(7, 5);
    still.palette = {qRgb(10, 200, 30), qRgb(255, 255, 255)};
    still.Row(2)[3] = 1;
    const QString gif = dir.filePath(QStringLiteral("pic.gif"));
    ASSERT_TRUE(GifWriter::WriteStill(gif, still));
    QImage fromGif;
    ASSERT_TRUE(LoadPicture(gif, &fromGif));
    EXPECT_EQ(fromGif.pixel(3, 2), qRgb(255, 255, 255));
    EXPECT_EQ(fromGif.pixel(0, 0), qRgb(10, 200, 30));

    const QString jpeg = dir.filePath(QStringLiteral("p.jpg"));
    if (source.save(jpeg, "JPEG")) {
        QImage loaded;
        EXPECT_TRUE(LoadPicture(jpeg, &loaded));
    }
}

TEST(PictureLoader, ExplainsFailures) {
    QTemporaryDir dir;
    QImage image;
    const QString missing = dir.filePath(QStringLiteral("none.bmp"));
    Status s = LoadPicture(missing, &image);
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().startsWith(QStringLiteral("Cannot open ") + missing));

    const QString text = dir.filePath(QStringLiteral("notes.bmp"));
    ASSERT_TRUE(WriteAll(text, "just some words, not a picture"));
    s = LoadPicture(text, &image);
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().contains(text));

    // A BMP cut short after its header.
    QImage ok(50, 50, QImage::Format_RGB32);
    ok.fill(Qt::red);
    const QString cut = dir.filePath(QStringLiteral("cut.bmp"));
    ASSERT_TRUE(ok.save(cut, "BMP"));
    QFile::resize(cut, 20);
    s = LoadPicture(cut, &image);
    EXPECT_FALSE(s);

    s = LoadPicture(dir.path(), &image);
    EXPECT_FALSE(s);
}

// A BMP header claiming a 24-bit picture of any size, and `pixels` bytes.
QByteArray BmpHeader(int width, int height, int pixels) {
    QByteArray bmp(54 + pixels, '\0');
    auto put = [&bmp](int at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, std::uint32_t(bmp.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, std::uint32_t(width), 4);
    put(22, std::uint32_t(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    return bmp;
}

TEST(PictureLoader, HugeClaimsAreRefusedBeforeDecoding) {
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const QImage before = image;
    // Within Qt's own allocation ceiling, but more pixels than a picture may
    // have: refused from the header, saying how big it claims to be.
    Status s = LoadPictureData(BmpHeader(8000, 7000, 64), &image, "huge.bmp");
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("8000 x 7000 pixels")))
        << s.message().toStdString();
    EXPECT_EQ(image, before); // untouched on failure
    // Far beyond it, whoever notices first.
    EXPECT_FALSE(LoadPictureData(BmpHeader(60000, 60000, 64), &image, "huge.bmp"));
    EXPECT_EQ(image, before);
    EXPECT_FALSE(LoadPictureData(BmpHeader(0, 5, 0), &image, "empty.bmp"));
    // A GIF's logical screen is what gets allocated, whatever its frames.
    QByteArray gif("GIF89a\x00\x20\x00\x20\x80\x00\x00", 13);
    gif += QByteArray(6, '\0') + QByteArray("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x4C\x01\0;", 17);
    s = LoadPictureData(gif, &image, "screen.gif");
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("8192 x 8192 pixels")))
        << s.message().toStdString();
    gif[7] = gif[9] = 1; // 256 x 256: loads
    ASSERT_TRUE(LoadPictureData(gif, &image, "screen.gif"));
    EXPECT_EQ(image.size(), QSize(256, 256));
    // An ordinary size still loads, from memory as from a file.
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(before.save(&buffer, "PNG"));
    ASSERT_TRUE(LoadPictureData(png, &image, "ok.png"));
    EXPECT_EQ(image.pixel(1, 1), qRgb(0, 0, 255));
}

// A JPEG whose header claims 7000 x 7000 pixels and whose data stops after
// a few hundred bytes: the decoder would hand back a grey picture of 49
// million pixels for every later stage to work on. It is refused instead.
TEST(PictureLoader, APictureCutShortIsRefused) {
    QImage source(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, qRgb(x * 4, y * 5, (x ^ y) * 3));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    if (!source.save(&buffer, "JPEG"))
        GTEST_SKIP() << "no JPEG writer in this Qt";
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    QByteArray huge = jpeg;
    huge[sof + 5] = huge[sof + 7] = char(7000 >> 8);
    huge[sof + 6] = huge[sof + 8] = char(7000 & 0xFF);
    QImage image;
    for (const PictureFormats formats : {PictureFormats::Common, PictureFormats::AnyReadable}) {
        const Status s =
            LoadPictureData(huge.left(huge.indexOf("\xFF\xDA") + 40), &image, "cut.jpg", formats);
        ASSERT_FALSE(s);
        EXPECT_TRUE(s.message().contains(QStringLiteral("cut short"))) << s.message().toStdString();
    }
    EXPECT_TRUE(image.isNull());
    ASSERT_TRUE(LoadPictureData(jpeg, &image, "whole.jpg"));
    EXPECT_EQ(image.size(), source.size());
}

TEST(PictureLoader, CutAndDamagedFilesNeverCrash) {
    QImage source(23, 17, QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, qRgb(x * 11, y * 15, (x ^ y) * 7));
    for (const char* format : {"BMP", "PNG", "JPEG", "GIF"}) {
        QByteArray data;
        QBuffer buffer(&data);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        if (!source.save(&buffer, format))
            continue; // no writer for it in this Qt
        int loaded = 0;
        for (qsizetype n = 0; n <= data.size(); n += std::max<qsizetype>(1, data.size() / 300)) {
            QImage image;
            QByteArray cut = data.left(n);
            if (LoadPictureData(cut, &image, "cut"))
                ++loaded;
            // Flip a byte in the middle too.
            if (n > 0 && n < data.size()) {
                QByteArray flipped = data;
                flipped[n] = char(flipped[n] ^ 0x5A);
                LoadPictureData(flipped, &image, "flipped");
            }
        }
        QImage whole;
        EXPECT_TRUE(LoadPictureData(data, &whole, "whole")) << format;
        EXPECT_EQ(whole.size(), source.size()) << format;
        EXPECT_GE(loaded, 1) << format;
    }
}

} // namespace
