// The Flowing Clouds and Dynamic Picture windows against a real document:
// typed values reach the renderer through its clamps, the picture's size
// fills the boxes, and saves write the preview GIF or say why they cannot.
#include "app_fixture.h"
#include "core/animation/dynamic_picture_renderer.h"
#include "core/animation/flowing_clouds_renderer.h"
#include "core/imaging/gif_reader.h"
#include "dialog_input.h"
#include "file_contents.h"
#include "ui/animation/anim_dynamic_picture.h"
#include "ui/animation/anim_flowing_clouds.h"
#include "ui/animation/anm_type.h"
#include "ui/controls/angle_dial.h"
#include "ui/controls/color_box.h"
#include "ui/shell/table_pro.h"
#include "ui_anim_dynamic_picture.h"
#include "ui_anim_flowing_clouds.h"

#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ScrollingFixture : AppFixture {
    void TearDown() override {
        AnmType::SetTestHook(nullptr);
        AppFixture::TearDown();
    }
    QByteArray PreviewBytes() { return ReadAll(View()->GifFile()); }
};

TEST_F(ScrollingFixture, FlowingCloudsWindowDrivesItsRenderer) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 4; });
    view->OnAnimateTable();
    auto* window = static_cast<AnimFlowingClouds*>(view->AnimationWindow(3));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(view->AnimationType(), 3);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Flowing Clouds"));
    FlowingCloudsRenderer* r = window->CloudsRenderer();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetFrameWidth(), 200);
    EXPECT_EQ(r->GetAngle(), 315);
    EXPECT_EQ(r->GetCloudGradient(), 10);

    Ui::AnimFlowingClouds* ui = window->Controls();
    EXPECT_TRUE(ui->backgroundColorBox->HasDefaultColor());
    EXPECT_TRUE(ui->cloudColor1Box->HasDefaultColor());
    ui->cloudDistanceEdit->setText(QStringLiteral("-4"));
    EXPECT_EQ(r->GetCloudDistance(), 0);
    EXPECT_EQ(ui->cloudDistanceEdit->text(), QStringLiteral("-4")); // not corrected
    ExpectTypedValues({
        {ui->cloudGradientEdit, QStringLiteral("7px"), [r] { return r->GetCloudGradient(); }, 7},
        {ui->speedEdit, QStringLiteral("0"), [r] { return r->GetSpeed(); }, 1},
        {ui->cloudSqueezeEdit, QStringLiteral("12"), [r] { return r->GetCloudSqueeze(); }, 12},
    });
    ui->cloudSizeEdit->setText(QStringLiteral("9"));
    ui->cloudBumpsEdit->setText(QStringLiteral("4"));
    EXPECT_EQ(r->GetCloudSize(), 9);
    EXPECT_EQ(r->GetCloudBumps(), 4);
    Choose(ui->numberOfColorsCombo, 1);
    EXPECT_EQ(r->GetNumberOfColors(), 2);
    Choose(ui->cloudColor3Box, 2); // Black, as the animations know it
    EXPECT_EQ(r->GetCloudColor(2), 0x0F0F0Fu);
    EXPECT_EQ(r->GetBackgroundColor(), 0xFF0000u);
    ui->ditherCheck->setChecked(false);
    EXPECT_FALSE(r->GetDither());

    ui->angleDial->resize(80, 80);
    QTest::mouseClick(ui->angleDial, Qt::LeftButton, {}, QPoint(5, 40)); // to the left
    EXPECT_EQ(ui->angleEdit->text(), QStringLiteral("180"));
    EXPECT_EQ(r->GetAngle(), 180);

    ui->speedEdit->setText(QStringLiteral("20"));
    ui->angleEdit->setText(QStringLiteral("315"));
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    EXPECT_EQ(messages.value(0).section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("Animated gif saved to disk"));
    EXPECT_EQ(r->GetCloudDistance(), 1); // stored back by the save
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(view->GifFile(), &gif));
    EXPECT_EQ(gif.frames.size(), 66u);
    EXPECT_TRUE(ui->seedLabel->text().contains(QString::number(r->GetLastSeed())));
    EXPECT_TRUE(ui->sameSeedCheck->isEnabled());
}

TEST_F(ScrollingFixture, DynamicPictureWindowTakesAPicture) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 6; });
    view->OnAnimateTable();
    auto* window = static_cast<AnimDynamicPicture*>(view->AnimationWindow(4));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(view->AnimationType(), 4);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Dynamic Picture"));
    DynamicPictureRenderer* r = window->PictureRenderer();
    Ui::AnimDynamicPicture* ui = window->Controls();
    EXPECT_EQ(r->GetSpeed(), 30);
    EXPECT_TRUE(AnimDynamicPicture::PictureFilter().contains(QStringLiteral("*.png")));

    // Nothing to load yet: said so, and the preview stays.
    const QByteArray before = PreviewBytes();
    EXPECT_FALSE(window->OnSaveAnimatedGif());
    EXPECT_EQ(messages, QStringList{QStringLiteral("Fill the filename to load")});
    EXPECT_EQ(PreviewBytes(), before);

    QTemporaryDir dir;
    QImage picture(100, 70, QImage::Format_RGB32);
    picture.fill(qRgb(200, 40, 40));
    const QString path = dir.filePath(QStringLiteral("tile.png"));
    ASSERT_TRUE(picture.save(path, "PNG"));
    ASSERT_TRUE(window->ChoosePicture(path));
    EXPECT_EQ(ui->fileNameEdit->text(), path);
    EXPECT_EQ(r->GetPictureFileName(), path);
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("100"));
    EXPECT_EQ(r->GetFrameHeight(), 70);

    ui->speedEdit->setText(QStringLiteral("-5"));
    EXPECT_EQ(r->GetSpeed(), 1);
    ui->angleEdit->setText(QStringLiteral("0"));
    ui->speedEdit->setText(QStringLiteral("30"));
    messages.clear();
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    EXPECT_EQ(messages.value(0).section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("Animated gif saved to disk"));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(view->GifFile(), &gif));
    EXPECT_EQ(gif.width, 100);
    EXPECT_EQ(gif.height, 70);
    EXPECT_EQ(gif.frames.size(), 25u); // 100 / 4

    // A picture that cannot be read leaves the size, and a save leaves the
    // preview as it was, each with a message naming the file.
    const QByteArray saved = PreviewBytes();
    const QString missing = dir.filePath(QStringLiteral("gone.png"));
    messages.clear();
    EXPECT_FALSE(window->ChoosePicture(missing));
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("100"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(missing));
    messages.clear();
    EXPECT_FALSE(window->OnSaveAnimatedGif());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(missing));
    EXPECT_EQ(PreviewBytes(), saved);
}

} // namespace
