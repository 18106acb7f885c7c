#include "core/animation/animation_save.h"
#include "core/animation/animation_types.h"
#include "core/animation/dynamic_picture_renderer.h"
#include "core/imaging/gif_reader.h"
#include "file_contents.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QImage Pattern(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, (x + y) & 255));
    return image;
}

QString SavePicture(const QTemporaryDir& dir, const QString& name, const QImage& image,
                    const char* format) {
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path, format));
    return path;
}

TEST(DynamicPicture, SettersClampAndDefaults) {
    DynamicPictureRenderer r;
    EXPECT_EQ(r.GetFrameWidth(), 200);
    EXPECT_EQ(r.GetAngle(), 315);
    EXPECT_EQ(r.GetSpeed(), 30);
    EXPECT_TRUE(r.GetPictureFileName().isEmpty());
    r.SetAngle(-1);
    EXPECT_EQ(r.GetAngle(), 0);
    r.SetAngle(720);
    EXPECT_EQ(r.GetAngle(), 720); // wrapped only by a save
    r.SetSpeed(0);
    EXPECT_EQ(r.GetSpeed(), 1);
    r.SetFrameHeight(-3);
    EXPECT_EQ(r.GetFrameHeight(), 5);
}

TEST(DynamicPicture, CanvasIsWholeTiles) {
    EXPECT_EQ(DynamicPictureRenderer::CanvasSide(200, 100), 300); // one tile more
    EXPECT_EQ(DynamicPictureRenderer::CanvasSide(250, 100), 300);
    EXPECT_EQ(DynamicPictureRenderer::CanvasSide(200, 200), 200);
    EXPECT_EQ(DynamicPictureRenderer::CanvasSide(150, 200), 200); // larger picture: one tile
    EXPECT_EQ(DynamicPictureRenderer::CanvasSide(5, 1), 6);
}

TEST(DynamicPicture, TheStartValuesOnA200PixelPicture) {
    QTemporaryDir dir;
    const QImage picture = Pattern(200, 200);
    DynamicPictureRenderer r;
    r.SetPictureFileName(SavePicture(dir, QStringLiteral("p.png"), picture, "PNG"));
    r.SetAnimationGifPath(dir.filePath(QStringLiteral("out.gif")));
    ASSERT_TRUE(SaveAnimation(r));
    EXPECT_EQ(r.FrameCount(), 50);
    EXPECT_EQ(r.OutputSize(), QSize(200, 200));
    EXPECT_EQ(r.Scroll().step, 4);
    EXPECT_EQ(r.FrameDelay(0), 10);
    EXPECT_TRUE(r.SaveNotes().isEmpty());
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(r.GetAnimationGifPath(), &gif));
    EXPECT_EQ(gif.frames.size(), 50u);
    EXPECT_EQ(gif.width, 200);

    // Frame 1 is the picture moved right by 4 and down by 3 (the vertical
    // step falls just short of 4), wrapping round.
    QImage frame(r.OutputSize(), QImage::Format_RGB32);
    r.DrawFrame(1, &frame);
    for (int y = 0; y < 200; y += 13)
        for (int x = 0; x < 200; x += 11)
            ASSERT_EQ(frame.pixel((x + 4) % 200, (y + 3) % 200), picture.pixel(x, y));
}

TEST(DynamicPicture, TheCanvasIsWorkedOutAfreshAtEverySave) {
    QTemporaryDir dir;
    const QImage picture = Pattern(100, 70);
    DynamicPictureRenderer r;
    r.SetPictureFileName(SavePicture(dir, QStringLiteral("p.bmp"), picture, "BMP"));
    r.SetAngle(0);
    r.PrepareSave();
    ASSERT_TRUE(r.CheckSave());
    EXPECT_EQ(r.OutputSize(), QSize(300, 210));
    // What the user asked for stays, so a second save makes the same canvas.
    EXPECT_EQ(r.GetFrameWidth(), 200);
    r.PrepareSave();
    EXPECT_EQ(r.OutputSize(), QSize(300, 210));

    // A straight scroll whose step divides the canvas loops exactly, and
    // every frame shows whole tiles.
    EXPECT_EQ(r.FrameCount(), 75);
    QImage first(r.OutputSize(), QImage::Format_RGB32), again(first);
    r.DrawFrame(0, &first);
    r.DrawFrame(75, &again);
    EXPECT_EQ(first, again);
    for (int y = 0; y < 210; y += 7)
        for (int x = 0; x < 300; x += 9)
            ASSERT_EQ(first.pixel(x, y), picture.pixel(x % 100, y % 70));
}

TEST(DynamicPicture, PicturesThatCannotBeLoadedSaySoAndKeepTheOldGif) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("out.gif"));
    ASSERT_TRUE(WriteAll(gif, "previous animation"));
    DynamicPictureRenderer r;
    r.SetAnimationGifPath(gif);

    Status s = SaveAnimation(r);
    EXPECT_FALSE(s);
    EXPECT_EQ(s.message(), QStringLiteral("Fill the filename to load"));

    const QString missing = dir.filePath(QStringLiteral("gone.png"));
    r.SetPictureFileName(missing);
    s = SaveAnimation(r);
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().contains(missing));

    const QString text = dir.filePath(QStringLiteral("notes.jpg"));
    ASSERT_TRUE(WriteAll(text, "not a picture at all"));
    r.SetPictureFileName(text);
    s = SaveAnimation(r);
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.message().contains(text));
    EXPECT_EQ(ReadAll(gif), QByteArray("previous animation"));
}

TEST(DynamicPicture, ReadsWhatQtReads) {
    QTemporaryDir dir;
    DynamicPictureRenderer r;
    // PPM is none of the four usual formats.
    r.SetPictureFileName(SavePicture(dir, QStringLiteral("p.ppm"), Pattern(40, 30), "PPM"));
    r.SetFrameWidth(40);
    r.SetFrameHeight(30);
    r.PrepareSave();
    EXPECT_TRUE(r.CheckSave()) << r.CheckSave().message().toStdString();
    EXPECT_EQ(r.OutputSize(), QSize(40, 30));
}

TEST(DynamicPicture, LongScrollsAreCutAt5000Frames) {
    DynamicPictureRenderer r;
    r.SetPicture(Pattern(10, 10));
    r.SetFrameWidth(6000);
    r.SetFrameHeight(10);
    r.SetAngle(0);
    r.SetSpeed(1);
    r.PrepareSave();
    ASSERT_TRUE(r.CheckSave());
    EXPECT_EQ(r.Scroll().frames, 6010);
    EXPECT_EQ(r.FrameCount(), 5000);
    ASSERT_EQ(r.SaveNotes().size(), 1);
    EXPECT_TRUE(r.SaveNotes().first().contains(QStringLiteral("5000")));

    // Angle 5 at step 1 on a 500 x 500 canvas.
    r.SetPicture(Pattern(500, 500));
    r.SetFrameWidth(500);
    r.SetFrameHeight(500);
    r.SetAngle(5);
    r.PrepareSave();
    EXPECT_EQ(r.Scroll().frames, 5715);
    EXPECT_EQ(r.FrameCount(), 5000);
}

TEST(DynamicPicture, CellPatternCutsTheCellsAndAllOutsideTheTable) {
    DynamicPictureRenderer r;
    r.SetPicture(Pattern(30, 20));
    r.SetFrameWidth(60);
    r.SetFrameHeight(40); // canvas 90 x 60
    auto mask = std::make_shared<CellMask>(50, 30);
    mask->SetCell(10, 10, true);
    r.SetMask(MaskMode::SeparateLayer, mask);
    r.PrepareSave();
    EXPECT_EQ(r.FrameMask(), nullptr); // a layer of its own: the frames are not cut
    r.SetMask(MaskMode::MergedIntoFrames, mask);
    r.PrepareSave();
    const CellMask* canvas = r.FrameMask();
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->Width(), 90);
    EXPECT_EQ(canvas->Height(), 60);
    EXPECT_TRUE(canvas->IsCell(10, 10));
    EXPECT_FALSE(canvas->IsCell(11, 10));
    EXPECT_FALSE(canvas->IsCell(49, 29));
    EXPECT_TRUE(canvas->IsCell(50, 29));
    EXPECT_TRUE(canvas->IsCell(49, 30));
    EXPECT_TRUE(canvas->IsCell(89, 59));
}

// A photograph's dither pattern travels with it: every frame shows the
// first one shifted, so nothing shimmers, and the pattern joins where the
// tiles meet and where the frame wraps round.
TEST(DynamicPicture, TheDitherPatternMovesWithThePicture) {
    QTemporaryDir dir;
    DynamicPictureRenderer r;
    r.SetPicture(DynamicPictureSample(48, 36)); // smooth: thousands of colours
    r.SetFrameWidth(90);
    r.SetFrameHeight(60); // canvas 96 x 72
    r.SetAngle(30);
    r.SetSpeed(20);
    r.SetAnimationGifPath(dir.filePath(QStringLiteral("d.gif")));
    ASSERT_TRUE(SaveAnimation(r));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(dir.filePath(QStringLiteral("d.gif")), &gif));
    ASSERT_EQ(int(gif.composited.size()), r.FrameCount());
    ASSERT_GT(r.FrameCount(), 5);
    const QImage first = gif.composited[0].convertToFormat(QImage::Format_RGB32);
    for (int k = 1; k < r.FrameCount(); k += 3) {
        // Frame 0 is unshifted, so its 48 x 36 corner is the still as shown.
        const QImage still = first.copy(0, 0, 48, 36);
        QImage expected(first.size(), QImage::Format_RGB32);
        const QPoint shift = r.Scroll().Offset(k);
        DrawCyclicShift(still, shift.x(), shift.y(), &expected);
        EXPECT_EQ(gif.composited[std::size_t(k)].convertToFormat(QImage::Format_RGB32), expected)
            << "frame " << k;
    }
}

TEST(DynamicPicture, SampleComesFromThePictureMadeInTheProgram) {
    const AnimationTypeInfo* info = AnimationTypeByName(QStringLiteral("dynamic-picture"));
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(info->IsAvailable());
    auto r = info->create();
    info->sample(*r);
    r->SetFrameWidth(200);
    r->SetFrameHeight(160);
    r->PrepareSave();
    ASSERT_TRUE(r->CheckSave());
    EXPECT_EQ(r->OutputSize(), QSize(200, 160));
    EXPECT_GT(r->FrameCount(), 10);
    EXPECT_LE(r->FrameCount(), 100);
}

} // namespace
