#include "imaging/gif_writer.h"
#include "imaging/picture_loader.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("just some words, not a picture");
    }
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

} // namespace
