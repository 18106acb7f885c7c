// A pattern painted for a renderer and what becomes of it: the cell GIF
// written at once (flag clear) or the mask kept and merged into every frame
// of the next save (flag set); seeds; values; the bundled bitmaps.
#include "core/animation/animation_save.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/document/cell_pattern_painter.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/picture_loader.h"
#include "file_contents.h"
#include "mask_picture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

void SmallTable(AnimationRenderer& r) {
    TableGeometry t;
    t.width = 60;
    t.height = 40;
    t.rows = 2;
    t.columns = 2;
    t.border = 4;
    t.cellColor = MakeColorRef(0x12, 0x34, 0x56);
    r.SetTable(t);
}

TEST(CellPatternFate, FlagClearWritesTheCellGifAtOnce) {
    QTemporaryDir dir;
    MovingStripesRenderer r;
    SmallTable(r);
    const QString cellGif = dir.filePath(QStringLiteral("page-cell.gif"));
    r.SetCellGifPath(cellGif);
    CellPatternResult result;
    ASSERT_TRUE(
        ApplyCellPattern(r, CellPatternParameters::Defaults(CellPatternKind::Rectangle), &result));
    EXPECT_TRUE(result.written);
    ASSERT_TRUE(result.mask);
    EXPECT_EQ(r.GetCellMask(), result.mask.get());

    GifAnimation gif;
    ASSERT_TRUE(ReadGif(cellGif, &gif));
    EXPECT_EQ(gif.width, 60);
    EXPECT_EQ(gif.height, 40);
    ASSERT_EQ(gif.frames.size(), 1u);
    // One bit: black for the lines, the cell colour for the cells, and the
    // lines transparent.
    ASSERT_EQ(gif.globalPalette.size(), 2u);
    EXPECT_EQ(gif.globalPalette[0], qRgb(0, 0, 0));
    EXPECT_EQ(gif.globalPalette[1], qRgb(0x12, 0x34, 0x56));
    EXPECT_EQ(gif.loops, -1);
    const GifFrameInfo& frame = gif.frames[0];
    EXPECT_EQ(frame.transparentIndex, 0);
    int lines = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const bool cell = result.mask->IsCell(x, y);
            EXPECT_EQ(frame.indices.At(x, y), cell ? 1 : 0) << x << "," << y;
            EXPECT_EQ(qAlpha(gif.composited[0].pixel(x, y)), cell ? 255 : 0);
            lines += cell ? 0 : 1;
        }
    EXPECT_GT(lines, 200);
    EXPECT_LT(lines, 60 * 40 / 2);
}

TEST(CellPatternFate, FlagSetKeepsTheMaskForTheFrames) {
    QTemporaryDir dir;
    MovingStripesRenderer r;
    SmallTable(r);
    r.SetFrameWidth(60);
    r.SetFrameHeight(40);
    const QString cellGif = dir.filePath(QStringLiteral("page-cell.gif"));
    const QString gifPath = dir.filePath(QStringLiteral("page.gif"));
    r.SetCellGifPath(cellGif);
    r.SetAnimationGifPath(gifPath);
    r.SetMask(MaskMode::MergedIntoFrames, nullptr);
    CellPatternParameters round = CellPatternParameters::Defaults(CellPatternKind::RoundRectangle);
    round.corner = 12;
    CellPatternResult result;
    ASSERT_TRUE(ApplyCellPattern(r, round, &result));
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(QFile::exists(cellGif));
    EXPECT_EQ(r.ActiveMask(), result.mask.get());

    ASSERT_TRUE(SaveAnimation(r));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(gifPath, &gif));
    ASSERT_GT(gif.frames.size(), 1u);
    for (std::size_t i = 0; i < gif.frames.size(); ++i) {
        const GifFrameInfo& f = gif.frames[i];
        EXPECT_EQ(f.transparentIndex, 0);
        ASSERT_EQ(f.width, 60);
        ASSERT_EQ(f.height, 40);
        // The frames are cut where the mask has its cells (drawn white in
        // the mask): there index 0, transparent over the table's cell
        // colour; along the lines the animation keeps its colours.
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                const bool cell = result.mask->IsCell(x, y);
                ASSERT_EQ(f.indices.At(x, y) == 0, cell) << i << ": " << x << "," << y;
                ASSERT_EQ(qAlpha(gif.composited[i].pixel(x, y)) == 0, cell);
            }
    }
    // The transparent entry carries the cell colour for viewers that
    // ignore transparency.
    EXPECT_EQ(gif.globalPalette[0], qRgb(0x12, 0x34, 0x56));
}

TEST(CellPatternFate, NewPaintingReplacesTheMask) {
    QTemporaryDir dir;
    MovingStripesRenderer r;
    SmallTable(r);
    r.SetMask(MaskMode::MergedIntoFrames, nullptr);
    ASSERT_TRUE(ApplyCellPattern(r, CellPatternParameters::Defaults(CellPatternKind::Rectangle)));
    const CellMask* first = r.GetCellMask();
    TableGeometry narrow = r.Table();
    narrow.width = 30;
    r.SetTable(narrow);
    ASSERT_TRUE(
        ApplyCellPattern(r, CellPatternParameters::Defaults(CellPatternKind::RoundRectangle)));
    ASSERT_NE(r.GetCellMask(), first);
    EXPECT_EQ(r.GetCellMask()->Width(), 30);
    // A value out of range or a table too large changes nothing.
    const CellMask* kept = r.GetCellMask();
    CellPatternParameters bad = CellPatternParameters::Defaults(CellPatternKind::CraftScissors);
    bad.bumpsX = 1;
    const Status s = ApplyCellPattern(r, bad);
    EXPECT_FALSE(s);
    EXPECT_EQ(s.message(), QStringLiteral("Bumps X-Size must be a whole number from 2 to 1000."));
    TableGeometry wide = r.Table();
    wide.width = 70000;
    r.SetTable(wide);
    EXPECT_FALSE(ApplyCellPattern(r, CellPatternParameters::Defaults(CellPatternKind::Rectangle)));
    EXPECT_EQ(r.GetCellMask(), kept);
}

// Files may grow to `bytes` only while this lives; writing past it fails
// with EFBIG instead of stopping the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        m_bActive = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool Active() const { return m_bActive; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_bActive = false;
};

TEST(CellPatternFate, FailedWriteLeavesThePreviousCellGif) {
    QTemporaryDir dir;
    const QString cellGif = dir.filePath(QStringLiteral("page-cell.gif"));
    ASSERT_TRUE(WriteAll(cellGif, "previous cell pattern"));
    MovingStripesRenderer r;
    TableGeometry big;
    big.width = 900;
    big.height = 600;
    big.rows = 4;
    big.columns = 6;
    r.SetTable(big);
    r.SetCellGifPath(cellGif);
    CellPatternParameters craft = CellPatternParameters::Defaults(CellPatternKind::CraftScissors);
    craft.seed = 5;
    Status s;
    {
        // The pattern's GIF takes a few kilobytes; the disk takes 200 bytes.
        FileSizeLimit limit(200);
        ASSERT_TRUE(limit.Active());
        s = ApplyCellPattern(r, craft);
    }
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().contains(cellGif)) << s.message().toStdString();
    EXPECT_EQ(ReadAll(cellGif), QByteArray("previous cell pattern"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("page-cell.gif")});
    // A folder that does not exist.
    r.SetCellGifPath(dir.filePath(QStringLiteral("gone/page-cell.gif")));
    s = ApplyCellPattern(r, craft);
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QLatin1String("gone/page-cell.gif")));
    r.SetCellGifPath(QString());
    EXPECT_FALSE(ApplyCellPattern(r, craft));
}

TEST(CellPatternSeed, SameSeedSameCraftMask) {
    MovingStripesRenderer r;
    r.SetMask(MaskMode::MergedIntoFrames, nullptr);
    CellPatternParameters craft = CellPatternParameters::Defaults(CellPatternKind::CraftScissors);
    craft.seed = 99;
    CellPatternResult a, b, c;
    ASSERT_TRUE(ApplyCellPattern(r, craft, &a));
    ASSERT_TRUE(ApplyCellPattern(r, craft, &b));
    EXPECT_EQ(a.seed, 99u);
    EXPECT_EQ(MaskPicture(*a.mask), MaskPicture(*b.mask));
    craft.seed = 100;
    ASSERT_TRUE(ApplyCellPattern(r, craft, &c));
    EXPECT_NE(MaskPicture(*a.mask), MaskPicture(*c.mask));
    // Without a seed the clock gives one, reported so it can be kept.
    craft.seed.reset();
    CellPatternResult fresh, repeat;
    ASSERT_TRUE(ApplyCellPattern(r, craft, &fresh));
    craft.seed = fresh.seed;
    ASSERT_TRUE(ApplyCellPattern(r, craft, &repeat));
    EXPECT_EQ(MaskPicture(*fresh.mask), MaskPicture(*repeat.mask));
}

TEST(CellPatternParameters, WindowStartValues) {
    const auto rect = CellPatternParameters::Defaults(CellPatternKind::Rectangle);
    EXPECT_EQ(rect.lineWidth, 5);
    EXPECT_EQ(rect.margin, 0);
    const auto round = CellPatternParameters::Defaults(CellPatternKind::RoundRectangle);
    EXPECT_EQ(round.lineWidth, 5);
    EXPECT_EQ(round.corner, 50);
    EXPECT_EQ(round.margin, 2);
    const auto craft = CellPatternParameters::Defaults(CellPatternKind::CraftScissors);
    EXPECT_EQ(craft.bumpsY, 10);
    EXPECT_EQ(craft.bumpsX, 10);
    EXPECT_EQ(craft.lineWidth, 2);
    EXPECT_EQ(craft.margin, 8);
    EXPECT_TRUE(craft.flatInner);
    EXPECT_EQ(CellPatternParameters::Defaults(CellPatternKind::Bitmap).border, 0);
    for (const QString& name : CellPatternKindNames()) {
        const auto kind = CellPatternKindFromName(name);
        ASSERT_TRUE(kind);
        EXPECT_EQ(CellPatternKindName(*kind), name);
        EXPECT_TRUE(CheckCellPatternParameters(CellPatternParameters::Defaults(*kind)));
    }
    EXPECT_FALSE(CellPatternKindFromName(QStringLiteral("hexagons")));
}

TEST(CellPatternSizing, RendererTableFitsPhotos) {
    MovingStripesRenderer r; // 450 x 200, 2 x 3, border 5
    EXPECT_EQ(RendererPhotoSize(r, 10, 2, 8), QSize(132, 81));
    FitRendererTableToPhoto(r, 640, 480, 10, 2, 8);
    EXPECT_EQ(r.GetTableWidth(), 2004);
    EXPECT_EQ(r.GetTableHeight(), 1023);
    EXPECT_EQ(r.GetBorder(), 21);
    EXPECT_EQ(r.GetRows(), 2);
}

TEST(BundledCellBitmaps, BlackAndWhiteCellSizedPictures) {
    const QStringList files =
        QDir(QStringLiteral(":/CellPattern")).entryList({QStringLiteral("*.bmp")}, QDir::Files);
    EXPECT_GE(files.size(), 8);
    for (const QString& file : files) {
        QImage picture;
        ASSERT_TRUE(LoadPicture(QStringLiteral(":/CellPattern/") + file, &picture))
            << file.toStdString();
        EXPECT_GE(picture.width(), 40);
        EXPECT_LE(picture.width(), 100);
        EXPECT_GE(picture.height(), 40);
        EXPECT_LE(picture.height(), 100);
        int black = 0, white = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb c = picture.pixel(x, y) & 0xFFFFFF;
                black += c == 0;
                white += c == 0xFFFFFF;
            }
        EXPECT_EQ(black + white, picture.width() * picture.height()) << file.toStdString();
        EXPECT_GT(black, 0);
        EXPECT_GT(white, picture.width() * picture.height() / 4) << file.toStdString();
    }
}

TEST(BundledCellBitmaps, BitmapPatternFromTheRenderersPicture) {
    QImage heart;
    ASSERT_TRUE(LoadPicture(QStringLiteral(":/CellPattern/Heart.bmp"), &heart));
    MovingStripesRenderer r;
    r.SetMask(MaskMode::MergedIntoFrames, nullptr);
    CellPatternParameters bitmap = CellPatternParameters::Defaults(CellPatternKind::Bitmap);
    EXPECT_FALSE(ApplyCellPattern(r, bitmap)); // no picture loaded yet
    r.SetCellPicture(heart);
    CellPatternResult result;
    ASSERT_TRUE(ApplyCellPattern(r, bitmap, &result));
    // The heart's middle is in the cell colour, its corners animated, in
    // every cell.
    EXPECT_TRUE(result.mask->IsCell(2 + 74, 2 + 48));
    EXPECT_FALSE(result.mask->IsCell(2, 2));
    EXPECT_TRUE(result.mask->IsCell(296 + 74, 97 + 48));
    EXPECT_FALSE(result.mask->IsCell(297, 98));
}

} // namespace
