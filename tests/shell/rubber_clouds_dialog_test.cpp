// The "Rubber Clouds" window against a real document: typed values reach the
// renderer through its clamps, the lists and switches do, a save writes the
// preview GIF and shows the seed it used.
#include "app_fixture.h"
#include "core/animation/rubber_clouds_renderer.h"
#include "core/imaging/gif_reader.h"
#include "dialog_input.h"
#include "file_contents.h"
#include "ui/animation/anim_rubber_clouds.h"
#include "ui/animation/anm_type.h"
#include "ui/controls/color_box.h"
#include "ui/shell/table_pro.h"
#include "ui_anim_rubber_clouds.h"

#include <gtest/gtest.h>

namespace {

struct RubberCloudsWindow : AppFixture {
    void TearDown() override {
        AnmType::SetTestHook(nullptr);
        AppFixture::TearDown();
    }
    AnimRubberClouds* Open() {
        AnmType::SetTestHook([] { return 5; }); // fifth in the chooser's list
        View()->OnAnimateTable();
        return static_cast<AnimRubberClouds*>(View()->AnimationWindow(6));
    }
};

TEST_F(RubberCloudsWindow, OpensWithTheDefaults) {
    AnimRubberClouds* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(View()->AnimationType(), 6);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Rubber Clouds"));
    Ui::AnimRubberClouds* ui = window->Controls();
    // The colours in effect show before any pick.
    EXPECT_TRUE(ui->backgroundColorBox->HasDefaultColor());
    EXPECT_TRUE(ui->cloudColor5Box->HasDefaultColor());
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("200"));
    EXPECT_EQ(ui->bumpsEdit->text(), QStringLiteral("200"));
    EXPECT_EQ(ui->squeezeEdit->text(), QStringLiteral("0"));
    EXPECT_EQ(ui->speedEdit->text(), QStringLiteral("20"));
    EXPECT_EQ(ui->numberOfColorsCombo->currentText(), QStringLiteral("5"));
    EXPECT_EQ(ui->layersDensityCombo->count(), 10);
    EXPECT_TRUE(ui->outwardRadio->isChecked());
    EXPECT_TRUE(ui->ditherCheck->isChecked());
    EXPECT_FALSE(ui->constantBumpsCheck->isChecked());
    EXPECT_FALSE(ui->backgroundBordersCheck->isChecked());
    EXPECT_EQ(ui->backgroundColorBox->currentIndex(), -1); // filled, nothing chosen
    RubberCloudsRenderer* r = window->CloudsRenderer();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetAnimationGifPath(), View()->GifFile());
    // The list shows the density the renderer works with.
    EXPECT_EQ(ui->layersDensityCombo->currentText().toInt(), r->GetLayersDensity());
    EXPECT_EQ(r->GetLayerValue(), 5);
}

TEST_F(RubberCloudsWindow, ControlsDriveTheRenderer) {
    AnimRubberClouds* window = Open();
    ASSERT_NE(window, nullptr);
    Ui::AnimRubberClouds* ui = window->Controls();
    RubberCloudsRenderer* r = window->CloudsRenderer();
    ui->widthEdit->setText(QStringLiteral("2"));
    EXPECT_EQ(r->GetFrameWidth(), 5);
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("2")); // the box is not corrected
    ExpectTypedValues({
        {ui->bumpsEdit, QStringLiteral("-3"), [r] { return r->GetBumps(); }, 0},
        {ui->squeezeEdit, QStringLiteral("12px"), [r] { return r->GetSqueeze(); }, 12},
        {ui->borderWidthEdit, QStringLiteral("0"), [r] { return r->GetBorderWidth(); }, 1},
        {ui->borderDistanceEdit, QStringLiteral("-1"), [r] { return r->GetBorderDistance(); }, 0},
        {ui->speedEdit, QStringLiteral("0"), [r] { return r->GetSpeed(); }, 1},
    });
    Choose(ui->numberOfColorsCombo, 1);
    EXPECT_EQ(r->GetNumberOfColors(), 2);
    Choose(ui->layersDensityCombo, 9);
    EXPECT_EQ(r->GetLayerValue(), 1); // 11 minus 10
    ui->inwardRadio->click();
    EXPECT_FALSE(r->GetOutward());
    ui->outwardRadio->click();
    EXPECT_TRUE(r->GetOutward());
    ui->constantBumpsCheck->setChecked(true);
    EXPECT_TRUE(r->GetConstantBumps());
    ui->backgroundBordersCheck->setChecked(true);
    EXPECT_TRUE(r->GetBackgroundBorders());
    ui->ditherCheck->setChecked(false);
    EXPECT_FALSE(r->GetDither());
    Choose(ui->cloudColor3Box, 2); // Black, as the animations know it
    EXPECT_EQ(r->GetCloudColor(2), 0x0F0F0Fu);
    SetColorChooserHook([](COLORREF* c) {
        *c = 0x123456;
        return true;
    });
    Q_EMIT ui->backgroundColorBox->activated(0); // Custom...
    EXPECT_EQ(r->GetBackgroundColor(), 0x123456u);
    SetColorChooserHook([](COLORREF*) { return false; });
    Q_EMIT ui->cloudColor1Box->activated(0); // cancelled
    EXPECT_EQ(r->GetCloudColor(0), 0x0000FFu);
}

TEST_F(RubberCloudsWindow, SaveWritesTheGifAndRepeatsASeed) {
    AnimRubberClouds* window = Open();
    ASSERT_NE(window, nullptr);
    Ui::AnimRubberClouds* ui = window->Controls();
    ui->widthEdit->setText(QStringLiteral("80"));
    ui->heightEdit->setText(QStringLiteral("60"));
    EXPECT_FALSE(ui->sameSeedCheck->isEnabled());
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("Animated gif saved to disk"));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(View()->GifFile(), &gif));
    EXPECT_EQ(gif.width, 80);
    EXPECT_EQ(gif.height, 60);
    EXPECT_EQ(gif.frames.size(), 30u);
    EXPECT_EQ(gif.frames[0].delay, 10);
    const std::uint32_t seed = window->CloudsRenderer()->GetLastSeed();
    EXPECT_EQ(ui->seedLabel->text(), QStringLiteral("Seed: %1").arg(seed));
    ASSERT_TRUE(ui->sameSeedCheck->isEnabled());
    ui->sameSeedCheck->setChecked(true);
    const QByteArray bytes = ReadAll(View()->GifFile());
    ASSERT_FALSE(bytes.isEmpty());
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    EXPECT_EQ(window->CloudsRenderer()->GetLastSeed(), seed);
    EXPECT_EQ(ReadAll(View()->GifFile()), bytes);
}

} // namespace
