// The GIF reader takes untrusted files: what a header claims must not decide
// what it allocates, and every malformed file gets a reason, never a crash.
#include "core/imaging/gif_reader.h"
#include "core/imaging/lzw_encoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

// Builds GIF files byte by byte, including ones our writer would refuse.
class GifBytes {
public:
    GifBytes(int width, int height, int tableBits = 1) {
        m_data.append("GIF89a");
        Word(width);
        Word(height);
        m_data.append(char(tableBits > 0 ? 0x80 | (tableBits - 1) : 0));
        m_data.append(char(0)); // background
        m_data.append(char(0)); // aspect
        for (int i = 0; i < (tableBits > 0 ? 1 << tableBits : 0); ++i) {
            m_data.append(char(i * 40));
            m_data.append(char(255 - i * 40));
            m_data.append(char(i * 20));
        }
    }
    GifBytes& Frame(int left, int top, int width, int height, std::uint8_t fill = 1,
                    int codeSize = 2) {
        // Graphic control: no disposal, 10/100 s.
        m_data.append("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);
        m_data.append(char(0x2C));
        Word(left);
        Word(top);
        Word(width);
        Word(height);
        m_data.append(char(0));
        m_data.append(char(codeSize));
        const std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height), fill);
        const std::vector<std::uint8_t> blocks =
            LzwEncode(pixels.data(), pixels.size(), std::clamp(codeSize, 2, 8));
        m_data.append(reinterpret_cast<const char*>(blocks.data()), qsizetype(blocks.size()));
        m_data.append(char(0));
        return *this;
    }
    GifBytes& Raw(const QByteArray& bytes) {
        m_data.append(bytes);
        return *this;
    }
    QByteArray Bytes() const { return m_data + QByteArray(1, ';'); }

private:
    void Word(int v) {
        m_data.append(char(v & 0xFF));
        m_data.append(char((v >> 8) & 0xFF));
    }
    QByteArray m_data;
};

// A read that fails must say why after the file's name.
void ExpectRefused(const QByteArray& data, const QString& reason, std::int64_t limit = 0) {
    GifAnimation gif;
    const Status s = ReadGifData(data, &gif, QStringLiteral("bad.gif"), limit);
    ASSERT_FALSE(s) << reason.toStdString();
    EXPECT_TRUE(s.message().startsWith(QStringLiteral("Cannot read bad.gif: ")))
        << s.message().toStdString();
    EXPECT_TRUE(s.message().contains(reason)) << s.message().toStdString();
    EXPECT_TRUE(gif.frames.empty() && gif.composited.empty());
}

TEST(GifReaderLimits, AHugeScreenOfTinyFramesIsRefusedBeforeAllocating) {
    // 8192 x 8192 would take 256 MB per composited frame: 40 frames, 10 GB.
    GifBytes big(8192, 8192);
    for (int i = 0; i < 40; ++i)
        big.Frame(i, i, 1, 1);
    ASSERT_LT(big.Bytes().size(), 2000);
    ExpectRefused(big.Bytes(), QStringLiteral("its 40 frames on a 8192 x 8192 screen need"));
    // 65535 x 65535 asks for 17 GB for the canvas alone.
    ExpectRefused(GifBytes(65535, 65535).Frame(0, 0, 1, 1).Bytes(),
                  QStringLiteral("65535 x 65535 screen"));
}

TEST(GifReaderLimits, TheBudgetCountsEveryFrame) {
    const std::int64_t limit = 1024 * 1024;
    GifBytes fits(100, 100);
    for (int i = 0; i < 10; ++i)
        fits.Frame(0, 0, 100, 100, std::uint8_t(i % 2));
    GifAnimation gif;
    ASSERT_TRUE(ReadGifData(fits.Bytes(), &gif, QStringLiteral("ok.gif"), limit));
    EXPECT_EQ(gif.frames.size(), 10u);
    EXPECT_EQ(gif.composited.size(), 10u);

    GifBytes many(100, 100);
    for (int i = 0; i < 100; ++i)
        many.Frame(0, 0, 1, 1);
    ExpectRefused(many.Bytes(),
                  QStringLiteral("its 100 frames on a 100 x 100 screen need 5 MB, more than the 1 "
                                 "MB allowed"),
                  limit);
    // A single frame far larger than the screen counts its own pixels.
    ExpectRefused(GifBytes(4, 4).Frame(0, 0, 4000, 4000).Bytes(),
                  QStringLiteral("its 1 frame on a 4 x 4 screen need 16 MB"), limit);
}

TEST(GifReaderLimits, ManyTinyFramesReadInBoundedTime) {
    GifBytes many(2, 2);
    for (int i = 0; i < 20000; ++i)
        many.Frame(i % 2, 0, 1, 1, std::uint8_t(i % 2));
    GifAnimation gif;
    ASSERT_TRUE(ReadGifData(many.Bytes(), &gif, QStringLiteral("many.gif")));
    EXPECT_EQ(gif.frames.size(), 20000u);
    // With a tighter budget the same file is refused, and says where.
    ExpectRefused(many.Bytes(), QStringLiteral("its 20000 frames"), 8 * 1024 * 1024);
}

TEST(GifReaderLimits, FramesOutsideTheScreenAreClipped) {
    GifBytes outside(10, 10);
    outside.Frame(8, 8, 5, 5, 1).Frame(60000, 60000, 2, 2, 1);
    GifAnimation gif;
    ASSERT_TRUE(ReadGifData(outside.Bytes(), &gif, QStringLiteral("o.gif")));
    ASSERT_EQ(gif.composited.size(), 2u);
    EXPECT_EQ(gif.composited[0].size(), QSize(10, 10));
    EXPECT_EQ(qAlpha(gif.composited[0].pixel(9, 9)), 255);
    EXPECT_EQ(qAlpha(gif.composited[0].pixel(7, 7)), 0);
    EXPECT_EQ(gif.composited[1], gif.composited[0]);
}

TEST(GifReaderLimits, MalformedFilesAreRefusedWithAReason) {
    ExpectRefused(GifBytes(0, 10).Frame(0, 0, 1, 1).Bytes(), QStringLiteral("screen is empty"));
    ExpectRefused(GifBytes(10, 10).Frame(0, 0, 0, 5).Bytes(), QStringLiteral("no pixels"));
    ExpectRefused(GifBytes(10, 10).Bytes(), QStringLiteral("no image"));
    ExpectRefused(GifBytes(10, 10).Frame(0, 0, 3, 3).Raw("\x07junk").Bytes(),
                  QStringLiteral("Cannot read"));
    // The data claims more codes than the frame's 9 pixels, or fewer.
    GifBytes shortData(10, 10);
    shortData.Raw(QByteArray("\x2C\0\0\0\0\x0A\0\x0A\0\0\x02\x02\x44\x01\0", 15));
    ExpectRefused(shortData.Bytes(), QStringLiteral("frame 1"));

    // Every prefix of a good file: refused with a reason, never a crash.
    const QByteArray good = GifBytes(20, 10, 3)
                                .Frame(0, 0, 20, 10, 5, 3)
                                .Frame(3, 2, 7, 5, 2, 3)
                                .Raw(QByteArray("\x21\xFE\x05hello\0", 9))
                                .Bytes();
    GifAnimation gif;
    ASSERT_TRUE(ReadGifData(good, &gif, QStringLiteral("good.gif")));
    EXPECT_EQ(gif.comment, QStringLiteral("hello"));
    // A file cut between blocks after a whole frame is what browsers show:
    // read, with the missing trailer noted. Any other cut is refused.
    const qsizetype frame1End = good.indexOf("\x21\xF9", good.indexOf("\x21\xF9") + 1);
    const qsizetype frame2End = good.indexOf("\x21\xFE");
    // After the first frame, after the second one's control block, after the
    // second frame and after the comment.
    const std::set<qsizetype> whole = {frame1End, frame1End + 8, frame2End, good.size() - 1};
    for (qsizetype n = 0; n < good.size(); ++n) {
        const Status s = ReadGifData(good.left(n), &gif, QStringLiteral("cut.gif"));
        if (whole.count(n)) {
            ASSERT_TRUE(s) << n << " " << s.message().toStdString();
            EXPECT_TRUE(gif.missingTrailer);
            EXPECT_EQ(gif.frames.size(), n <= frame1End + 8 ? 1u : 2u);
            continue;
        }
        ASSERT_FALSE(s) << n;
        EXPECT_GT(s.message().size(), QStringLiteral("Cannot read cut.gif: ").size()) << n;
    }
    EXPECT_TRUE(ReadGifData(good.left(good.size() - 2), &gif)
                    .message()
                    .contains(QStringLiteral("ends early")));
    ASSERT_TRUE(ReadGifData(good, &gif));
    EXPECT_FALSE(gif.missingTrailer);
}

TEST(GifReaderLimits, CommentsAndApplicationDataCountToo) {
    // 3 MB of comment and 3 MB of application data around one tiny frame.
    auto blocks = [](const QByteArray& head, qsizetype bytes) {
        QByteArray out = head;
        for (qsizetype left = bytes; left > 0; left -= 255) {
            const int n = int(std::min<qsizetype>(left, 255));
            out += char(n);
            out += QByteArray(n, 'x');
        }
        return out + QByteArray(1, '\0');
    };
    const QByteArray comment =
        GifBytes(4, 4).Raw(blocks("\x21\xFE", 3 << 20)).Frame(0, 0, 4, 4).Bytes();
    const QByteArray app = GifBytes(4, 4)
                               .Raw(blocks(QByteArray("\x21\xFF\x0BOTHERAPP1.0", 14), 3 << 20))
                               .Frame(0, 0, 4, 4)
                               .Bytes();
    for (const QByteArray& data : {comment, app}) {
        ExpectRefused(data, QStringLiteral("comments and extensions"), 2 << 20);
        GifAnimation gif;
        EXPECT_TRUE(ReadGifData(data, &gif, QStringLiteral("ok.gif"), 32 << 20));
    }
}

TEST(GifReaderLimits, AnOutlineSkipsThePixelsAndKeepsAPieceOfTheComment) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("o.gif"));
    GifBytes gif(30000, 30000);
    gif.Raw(QByteArray("\x21\xFE\xFF", 3) + QByteArray(255, 'a') + QByteArray("\xFF", 1) +
            QByteArray(255, 'b') + QByteArray(1, '\0'));
    for (int i = 0; i < 300; ++i)
        gif.Frame(i, i, 2, 2, std::uint8_t(i % 2));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(gif.Bytes());
    }
    GifAnimation outline;
    ASSERT_TRUE(ReadGifOutline(path, &outline, 4 << 20));
    EXPECT_EQ(outline.frames.size(), 300u);
    EXPECT_EQ(outline.frames[7].left, 7);
    EXPECT_EQ(outline.frames[7].delay, 10);
    EXPECT_TRUE(outline.composited.empty());
    EXPECT_TRUE(outline.frames[7].indices.pixels.empty());
    EXPECT_EQ(outline.commentBytes, 510);
    EXPECT_EQ(outline.comment.size(), 510);
    EXPECT_EQ(outline.version, QByteArray("GIF89a"));
    // Its own budget still holds: 300 frame records do not fit in 64 KB.
    EXPECT_FALSE(ReadGifOutline(path, &outline, 64 << 10));
}

TEST(GifReaderLimits, OddCodeSizesAndPalettesDoNotCrash) {
    // Code sizes GIF forbids, and indices beyond the colour table.
    for (int codeSize : {0, 1, 9, 11, 12, 200, 255}) {
        GifAnimation gif;
        const Status s = ReadGifData(GifBytes(4, 4).Frame(0, 0, 4, 4, 0, codeSize).Bytes(), &gif,
                                     QStringLiteral("c.gif"));
        if (!s) {
            EXPECT_TRUE(s.message().startsWith(QStringLiteral("Cannot read c.gif: ")));
        }
    }
    // Index 7 with a two-colour table; no global table at all.
    for (int tableBits : {1, 0}) {
        GifAnimation gif;
        ASSERT_TRUE(ReadGifData(GifBytes(4, 4, tableBits).Frame(0, 0, 4, 4, 7, 3).Bytes(), &gif,
                                QStringLiteral("p.gif")));
        EXPECT_EQ(gif.composited[0].pixel(2, 2), qRgb(0, 0, 0));
    }
}

TEST(GifReaderLimits, FilesLargerThanTheBudgetAreNotLoaded) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.gif"));
    GifBytes big(300, 300);
    big.Frame(0, 0, 300, 300, 1);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(big.Bytes());
        f.write(QByteArray(3 * 1024 * 1024, '\0')); // padding after the trailer
    }
    GifAnimation gif;
    const Status s = ReadGif(path, &gif, 4 * 1024 * 1024);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("the file is"))) << s.message().toStdString();
}

} // namespace
