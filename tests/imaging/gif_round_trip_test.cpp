// GIFs written by our writer, read back through giflib.
#include "core/imaging/cell_mask.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/gif_writer.h"
#include "file_contents.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

IndexedImage Checker(int w, int h, int phase) {
    IndexedImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.Row(y)[x] = std::uint8_t((x / 2 + y / 3 + phase) % 5);
    return image;
}

const PaletteColors kFive = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(15, 15, 15),
                             qRgb(250, 240, 230)};

TEST(GifRoundTrip, FramesPaletteAndExtensions) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.gif"));
    GifWriter writer;
    GifFileOptions options;
    options.comment = QStringLiteral("Velmora");
    options.loops = 3;
    ASSERT_TRUE(writer.Open(path, 9, 7, kFive, options));
    for (int i = 0; i < 3; ++i) {
        IndexedImage frame = Checker(9, 7, i);
        frame.delay = 4 + i;
        frame.disposal = 2;
        frame.transparentIndex = i == 1 ? 3 : -1;
        ASSERT_TRUE(writer.WriteFrame(frame));
    }
    ASSERT_TRUE(writer.Finish());

    GifAnimation gif;
    ASSERT_TRUE(ReadGif(path, &gif));
    EXPECT_EQ(gif.version, "GIF89a");
    EXPECT_EQ(gif.width, 9);
    EXPECT_EQ(gif.height, 7);
    EXPECT_EQ(gif.loops, 3);
    EXPECT_EQ(gif.comment, QStringLiteral("Velmora"));
    ASSERT_EQ(gif.globalPalette.size(), 8u); // padded to a power of two
    for (std::size_t i = 0; i < kFive.size(); ++i)
        EXPECT_EQ(gif.globalPalette[i] & 0xFFFFFF, kFive[i] & 0xFFFFFF);
    ASSERT_EQ(gif.frames.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const GifFrameInfo& f = gif.frames[i];
        EXPECT_FALSE(f.localColorTable);
        EXPECT_EQ(f.delay, 4 + i);
        EXPECT_EQ(f.disposal, 2);
        EXPECT_EQ(f.transparentIndex, i == 1 ? 3 : -1);
        EXPECT_EQ(f.indices.pixels, Checker(9, 7, i).pixels);
    }
    // Frame 1's index 3 shows nothing (the page behind), the rest is opaque.
    const QImage& shown = gif.composited[1];
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const int index = Checker(9, 7, 1).At(x, y);
            EXPECT_EQ(qAlpha(shown.pixel(x, y)), index == 3 ? 0 : 255);
        }
}

TEST(GifRoundTrip, DefaultsWriteNoCommentAndLoopForever) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("b.gif"));
    GifWriter writer;
    ASSERT_TRUE(writer.Open(path, 4, 4, kFive, GifFileOptions()));
    ASSERT_TRUE(writer.WriteFrame(Checker(4, 4, 0)));
    ASSERT_TRUE(writer.Finish());
    const QByteArray bytes = ReadAll(path);
    EXPECT_FALSE(bytes.contains("\x21\xfe")); // no comment extension
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(path, &gif));
    EXPECT_EQ(gif.loops, 0);
    EXPECT_TRUE(gif.comment.isEmpty());
    EXPECT_EQ(gif.frames[0].disposal, 0);
    EXPECT_EQ(gif.frames[0].transparentIndex, -1);
}

TEST(GifRoundTrip, LongCommentsSpanSeveralBlocks) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.gif"));
    GifWriter writer;
    GifFileOptions options;
    options.comment = QString(600, QLatin1Char('x')) + QStringLiteral("end");
    ASSERT_TRUE(writer.Open(path, 2, 2, kFive, options));
    ASSERT_TRUE(writer.WriteFrame(Checker(2, 2, 0)));
    ASSERT_TRUE(writer.Finish());
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(path, &gif));
    EXPECT_EQ(gif.comment, options.comment);
}

TEST(GifRoundTrip, FailedWritesLeaveTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteAll(path, "previous animation"));
    {
        // Cancelled after a frame: nothing reaches the target.
        GifWriter writer;
        ASSERT_TRUE(writer.Open(path, 4, 4, kFive, GifFileOptions()));
        ASSERT_TRUE(writer.WriteFrame(Checker(4, 4, 0)));
        writer.Cancel();
    }
    EXPECT_EQ(ReadAll(path), QByteArray("previous animation"));
    {
        // Dropped without Finish().
        GifWriter writer;
        ASSERT_TRUE(writer.Open(path, 4, 4, kFive, GifFileOptions()));
    }
    EXPECT_EQ(ReadAll(path), QByteArray("previous animation"));
    {
        // A frame of the wrong size fails the file.
        GifWriter writer;
        ASSERT_TRUE(writer.Open(path, 4, 4, kFive, GifFileOptions()));
        const Status s = writer.WriteFrame(Checker(5, 4, 0));
        EXPECT_FALSE(s);
        EXPECT_TRUE(s.message().contains(path));
    }
    EXPECT_EQ(ReadAll(path), QByteArray("previous animation"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.gif")});

    GifWriter writer;
    const QString missing = dir.filePath(QStringLiteral("nowhere/x.gif"));
    const Status s = writer.Open(missing, 4, 4, kFive, GifFileOptions());
    EXPECT_FALSE(s);
    // The message gives the cause as well.
    EXPECT_TRUE(
        s.message().startsWith(QStringLiteral("Cannot open ") + missing + QStringLiteral(": ")))
        << s.message().toStdString();
}

TEST(CellMaskGif, OneBitWithTransparentZero) {
    // The mask (# = cell area):
    //   ..##
    //   .###
    //   ....
    CellMask mask(4, 3);
    for (auto [x, y] : {std::pair{2, 0}, {3, 0}, {1, 1}, {2, 1}, {3, 1}})
        mask.SetCell(x, y, true);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t-cell.gif"));
    ASSERT_TRUE(SaveCellMaskGif(path, mask, MakeColorRef(0x12, 0x34, 0x56)));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(path, &gif));
    ASSERT_EQ(gif.globalPalette.size(), 2u);
    EXPECT_EQ(gif.globalPalette[1] & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(gif.loops, -1);
    ASSERT_EQ(gif.frames.size(), 1u);
    EXPECT_EQ(gif.frames[0].transparentIndex, 0);
    const QImage& shown = gif.composited[0];
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            if (mask.IsCell(x, y))
                EXPECT_EQ(shown.pixel(x, y), 0xFF123456u);
            else
                EXPECT_EQ(qAlpha(shown.pixel(x, y)), 0);
        }
    // The screen descriptor's colour table is 2 entries (size field 0).
    const QByteArray bytes = ReadAll(path);
    EXPECT_EQ(uchar(bytes[10]) & 0x07, 0);
}

TEST(CellMask, MergeCutsOnlyTheOverlap) {
    IndexedImage frame(5, 2);
    std::fill(frame.pixels.begin(), frame.pixels.end(), 7);
    CellMask mask(3, 4); // narrower and taller than the frame
    mask.SetCell(0, 0, true);
    mask.SetCell(2, 1, true);
    mask.SetCell(1, 3, true); // outside the frame
    MergeCellMask(frame, mask);
    EXPECT_EQ(frame.transparentIndex, 0);
    const std::vector<std::uint8_t> expected = {0, 7, 7, 7, 7, //
                                                7, 7, 0, 7, 7};
    EXPECT_EQ(frame.pixels, expected);
}

TEST(CellMask, FromImageTakesTheNearerOfBlackAndWhite) {
    QImage image(3, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(127, 128, 127)); // sum 382: black
    image.setPixel(1, 0, qRgb(128, 128, 127)); // sum 383: white
    image.setPixel(2, 0, qRgb(255, 255, 255));
    const CellMask mask = CellMask::FromImage(image);
    EXPECT_FALSE(mask.IsCell(0, 0));
    EXPECT_TRUE(mask.IsCell(1, 0));
    EXPECT_TRUE(mask.IsCell(2, 0));
}

TEST(GifWriter, RefusesFramesItCannotWriteFaithfully) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    ASSERT_TRUE(WriteAll(path, "previous"));
    const PaletteColors two = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    IndexedImage beyond = Checker(4, 4, 0); // indices up to 4 in a 2-colour table
    IndexedImage wrongSize(4, 4);
    wrongSize.pixels.resize(10);
    const std::vector<std::uint8_t> overrun = {200, 1, 2, 3}; // claims 200 bytes
    for (int c = 0; c < 3; ++c) {
        GifWriter writer;
        ASSERT_TRUE(writer.Open(path, 4, 4, two, GifFileOptions()));
        const Status s = c == 0   ? writer.WriteFrame(beyond)
                         : c == 1 ? writer.WriteFrame(wrongSize)
                                  : writer.WriteFrame(IndexedImage(4, 4), &overrun);
        EXPECT_FALSE(s) << c;
        EXPECT_TRUE(s.message().startsWith(QStringLiteral("Cannot write ") + path)) << c;
        EXPECT_EQ(ReadAll(path), QByteArray("previous")) << c;
    }
}

TEST(GifReader, RejectsWhatIsNotAGif) {
    GifAnimation gif;
    const Status s = ReadGifData(QByteArray("not a gif at all"), &gif, QStringLiteral("x.gif"));
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().startsWith(QStringLiteral("Cannot read x.gif")));
}

} // namespace
