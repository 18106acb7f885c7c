// The Blinking Clouds window against a real document.
#include "app_fixture.h"
#include "core/animation/blinking_clouds_renderer.h"
#include "core/imaging/gif_reader.h"
#include "dialog_input.h"
#include "file_contents.h"
#include "ui/animation/anim_blinking_clouds.h"
#include "ui/animation/anm_type.h"
#include "ui/controls/color_box.h"
#include "ui/shell/table_pro.h"
#include "ui_anim_blinking_clouds.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

struct BlinkingCloudsWindow : AppFixture {
    AnimBlinkingClouds* window = nullptr;
    BlinkingCloudsRenderer* r = nullptr;
    Ui::AnimBlinkingClouds* ui = nullptr;

    void SetUp() override {
        AppFixture::SetUp();
        AnmType::SetTestHook([] { return 3; }); // the chooser's third row
        View()->OnAnimateTable();
        window = static_cast<AnimBlinkingClouds*>(View()->AnimationWindow(5));
        ASSERT_NE(window, nullptr);
        r = window->CloudsRenderer();
        ui = window->Controls();
        ASSERT_NE(r, nullptr);
        // The colours in effect show before any pick.
        ASSERT_TRUE(ui->cloudColor1Box->HasDefaultColor());
    }
    void TearDown() override {
        AnmType::SetTestHook(nullptr);
        AppFixture::TearDown();
    }
    QByteArray GifBytes() const { return ReadAll(View()->GifFile()); }
};

TEST_F(BlinkingCloudsWindow, OpensWithTheDefaults) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Blinking Clouds"));
    EXPECT_EQ(View()->AnimationType(), 5);
    EXPECT_EQ(r->GetAnimationGifPath(), View()->GifFile());
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("200"));
    EXPECT_EQ(ui->colorShiftEdit->text(), QStringLiteral("6"));
    EXPECT_EQ(ui->numberOfColorsCombo->count(), 4);
    EXPECT_EQ(ui->numberOfColorsCombo->currentText(), QStringLiteral("2"));
    EXPECT_TRUE(ui->ditherCheck->isChecked());
    EXPECT_EQ(r->GetFrameWidth(), 200);
    EXPECT_EQ(r->GetNumberOfColors(), 2);
    EXPECT_EQ(r->GetCloudColor(0), 0x0000FFu);
    EXPECT_FALSE(ui->sameSeedCheck->isEnabled());
}

TEST_F(BlinkingCloudsWindow, TypedValuesReachTheRendererClamped) {
    ExpectTypedValues({
        {ui->widthEdit, QStringLiteral("2"), [this] { return r->GetFrameWidth(); }, 5},
        {ui->animationLengthEdit, QStringLiteral("0"), [this] { return r->GetAnimationLength(); },
         1},
        {ui->cloudSizeEdit, QStringLiteral("-3"), [this] { return r->GetCloudSize(); }, 0},
        {ui->cloudBumpsEdit, QStringLiteral("17x"), [this] { return r->GetCloudBumps(); }, 17},
        {ui->cloudSqueezeEdit, QStringLiteral("abc"), [this] { return r->GetCloudSqueeze(); }, 0},
        {ui->cloudsPerSecondEdit, QStringLiteral("0"), [this] { return r->GetCloudsPerSecond(); },
         1},
        {ui->colorShiftEdit, QStringLiteral(" 3"), [this] { return r->GetColorShift(); }, 3},
    });
    EXPECT_EQ(ui->cloudSizeEdit->text(), QStringLiteral("-3")); // the box is not corrected
    Choose(ui->numberOfColorsCombo, 3);
    EXPECT_EQ(r->GetNumberOfColors(), 5);
    Choose(ui->cloudColor3Box, 2); // Black, as the animations know it
    EXPECT_EQ(r->GetCloudColor(2), 0x0F0F0Fu);
    ui->ditherCheck->setChecked(false);
    EXPECT_FALSE(r->GetDither());
    window->SetWidthText(120);
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("120"));
    EXPECT_EQ(r->GetFrameWidth(), 120);
}

TEST_F(BlinkingCloudsWindow, SaveShowsTheSeedAndSameSeedRepeatsIt) {
    ui->widthEdit->setText(QStringLiteral("90"));
    ui->heightEdit->setText(QStringLiteral("60"));
    ui->animationLengthEdit->setText(QStringLiteral("3"));
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("Animated gif saved to disk"));
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(View()->GifFile(), &gif));
    EXPECT_EQ(gif.width, 90);
    EXPECT_EQ(gif.frames.size(), 30u);
    const QByteArray first = GifBytes();
    const QString seed = QString::number(r->GetLastSeed());
    EXPECT_TRUE(ui->seedLabel->text().contains(seed));
    EXPECT_TRUE(ui->sameSeedCheck->isEnabled());

    ui->sameSeedCheck->setChecked(true);
    QTest::qWait(1100); // a clock seed would change by now
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    EXPECT_EQ(GifBytes(), first);
    EXPECT_TRUE(ui->seedLabel->text().contains(seed));

    ui->sameSeedCheck->setChecked(false);
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    EXPECT_NE(GifBytes(), first);
}

TEST_F(BlinkingCloudsWindow, ASaveStoresTheShortenedLengthBack) {
    ui->cloudsPerSecondEdit->setText(QStringLiteral("1"));
    ui->animationLengthEdit->setText(QStringLiteral("100"));
    ui->widthEdit->setText(QStringLiteral("30"));
    ui->heightEdit->setText(QStringLiteral("30"));
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    // 2 x 2 cells of 30 pixels: 40 clouds, 50 + 20 at least: 70 clouds, 140 frames.
    EXPECT_EQ(r->GetAnimationLength(), 14);
    EXPECT_EQ(ui->animationLengthEdit->text(), QStringLiteral("100"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("14 seconds")));
}

} // namespace
