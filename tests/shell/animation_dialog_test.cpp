// The animation windows against a real document: typed values reach the
// renderer through its clamps, saves write the preview GIF, the chooser and
// the bookkeeping of Animate Table.
#include "app_fixture.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/rotating_stripes_renderer.h"
#include "core/imaging/gif_reader.h"
#include "dialog_input.h"
#include "file_contents.h"
#include "ui/animation/anim_moving_stripes.h"
#include "ui/animation/anim_rotating_stripes.h"
#include "ui/animation/anm_type.h"
#include "ui/controls/angle_dial.h"
#include "ui/controls/color_box.h"
#include "ui/controls/user_messages.h"
#include "ui/shell/main_frame.h"
#include "ui/shell/table_pro.h"
#include "ui/shell/velmora_app.h"
#include "ui/shell/velmora_settings.h"
#include "ui/shell/velmora_view.h"
#include "ui_anim_moving_stripes.h"
#include "ui_anim_rotating_stripes.h"
#include "ui_anm_type.h"

#include <QDir>
#include <QListWidget>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct AnimationFixture : AppFixture {
    void TearDown() override {
        AnmType::SetTestHook(nullptr);
        AppFixture::TearDown();
    }
};

TEST_F(AnimationFixture, MovingStripesWindowDrivesItsRenderer) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 1; });
    view->OnAnimateTable();
    AnimationDialog* window = view->AnimationWindow(1);
    ASSERT_NE(window, nullptr);
    auto* moving = static_cast<AnimMovingStripes*>(window);
    EXPECT_EQ(view->AnimationType(), 1);
    MovingStripesRenderer* r = moving->StripesRenderer();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetAnimationGifPath(), view->GifFile());
    EXPECT_EQ(r->GetCellGifPath(), view->CellFile());

    Ui::AnimMovingStripes* ui = moving->Controls();
    // The colour boxes show the renderer's colours before any pick.
    EXPECT_TRUE(ui->backgroundColorBox->HasDefaultColor());
    EXPECT_TRUE(ui->stripeColor1Box->HasDefaultColor());
    ui->widthEdit->setText(QStringLiteral("3"));
    EXPECT_EQ(r->GetFrameWidth(), 5);
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("3")); // the box is not corrected
    ui->heightEdit->setText(QStringLiteral("64abc"));
    EXPECT_EQ(r->GetFrameHeight(), 64);
    ui->speedEdit->setText(QStringLiteral("0"));
    EXPECT_EQ(r->GetSpeed(), 1);
    ui->stripeDistanceEdit->setText(QStringLiteral("-4"));
    EXPECT_EQ(r->GetStripeDistance(), 0);
    Choose(ui->numberOfColorsCombo, 2);
    EXPECT_EQ(r->GetNumberOfColors(), 3);
    Choose(ui->stripeColor1Box, 2); // Black, as the animations know it
    EXPECT_EQ(r->GetStripeColor(0), 0x0F0F0Fu);
    SetColorChooserHook([](COLORREF*) { return false; });
    Q_EMIT ui->backgroundColorBox->activated(0); // Custom..., cancelled
    EXPECT_EQ(r->GetBackgroundColor(), 0xFF0000u);
    ui->ditherCheck->setChecked(false);
    EXPECT_FALSE(r->GetDither());

    // The dial writes the angle box, which sets the angle.
    ui->angleDial->resize(80, 80);
    QTest::mouseClick(ui->angleDial, Qt::LeftButton, {}, QPoint(40, 5)); // straight up
    EXPECT_EQ(ui->angleEdit->text(), QStringLiteral("90"));
    EXPECT_EQ(r->GetAngle(), 90);
    ui->angleEdit->setText(QStringLiteral("0"));
    EXPECT_EQ(r->GetAngle(), 0);

    moving->OnTile();
    // Three colours, w = 5, g = 0: L = (3 + 1) x 5 = 20, the tile 2 L wide.
    EXPECT_EQ(ui->widthEdit->text(), QStringLiteral("40"));
    EXPECT_EQ(r->GetFrameHeight(), 10);
}

TEST_F(AnimationFixture, SaveWritesThePreviewGifAndCloseResetsTheType) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 1; });
    view->OnAnimateTable();
    auto* moving = static_cast<AnimMovingStripes*>(view->AnimationWindow(1));
    ASSERT_NE(moving, nullptr);
    moving->Controls()->angleEdit->setText(QStringLiteral("400"));
    ASSERT_TRUE(moving->OnSaveAnimatedGif());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("Animated gif saved to disk"));
    EXPECT_EQ(moving->StripesRenderer()->GetAngle(), 40); // stored back
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(view->GifFile(), &gif));
    EXPECT_EQ(gif.width, 120);
    EXPECT_EQ(gif.frames.size(), 10u);

    QPointer<AnimationDialog> watch(moving);
    moving->Controls()->closeButton->click();
    QTest::qWait(10);
    EXPECT_EQ(view->AnimationType(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST_F(AnimationFixture, RotatingStripesFitToCell) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 2; });
    view->OnAnimateTable();
    auto* rotating = static_cast<AnimRotatingStripes*>(view->AnimationWindow(2));
    ASSERT_NE(rotating, nullptr);
    EXPECT_EQ(view->AnimationType(), 2);
    RotatingStripesRenderer* r = rotating->StripesRenderer();
    EXPECT_EQ(r->GetFrameWidth(), 120); // the window's starting size
    EXPECT_FALSE(r->GetFitToCell());
    EXPECT_FALSE(rotating->Controls()->fitToCellButton->isChecked());
    rotating->Controls()->fitToCellButton->click();
    EXPECT_TRUE(r->GetFitToCell());
    EXPECT_TRUE(rotating->Controls()->fitToCellButton->isChecked());
    EXPECT_TRUE(rotating->Controls()->widthLabel->text().contains(QStringLiteral("Table")));
    // A second click turns it off again, and the labels say so.
    rotating->Controls()->fitToCellButton->click();
    EXPECT_FALSE(r->GetFitToCell());
    EXPECT_FALSE(rotating->Controls()->widthLabel->text().contains(QStringLiteral("Table")));
    rotating->OnFitToCell();
    EXPECT_TRUE(r->GetFitToCell());
    EXPECT_TRUE(rotating->Controls()->fitToCellButton->isChecked());
    EXPECT_EQ(rotating->Controls()->widthEdit->text(), QStringLiteral("450"));
    ASSERT_TRUE(rotating->OnSaveAnimatedGif());
    EXPECT_EQ(r->GetBorder(), 6);
    EXPECT_EQ(r->GetFrameWidth(), 154);
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(view->GifFile(), &gif));
    EXPECT_EQ(gif.width, 450);
    EXPECT_EQ(gif.height, 200);
}

TEST_F(AnimationFixture, CompletionMessageCarriesTheSaveNotes) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 1; });
    view->OnAnimateTable();
    auto* moving = static_cast<AnimMovingStripes*>(view->AnimationWindow(1));
    ASSERT_NE(moving, nullptr);
    Ui::AnimMovingStripes* ui = moving->Controls();
    ui->widthEdit->setText(QStringLiteral("20"));
    ui->heightEdit->setText(QStringLiteral("20"));
    ui->speedEdit->setText(QStringLiteral("2147483647"));
    ASSERT_TRUE(moving->OnSaveAnimatedGif());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Animated gif saved to disk\n")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("10 hundredths")));
}

TEST_F(AnimationFixture, SavesThatCannotBeDoneKeepThePreviousGif) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 1; });
    view->OnAnimateTable();
    auto* moving = static_cast<AnimMovingStripes*>(view->AnimationWindow(1));
    ASSERT_NE(moving, nullptr);
    ASSERT_TRUE(WriteAll(view->GifFile(), "old"));
    auto gifBytes = [view] { return ReadAll(view->GifFile()); };
    Ui::AnimMovingStripes* ui = moving->Controls();
    ui->widthEdit->setText(QStringLiteral("70000"));
    EXPECT_FALSE(moving->OnSaveAnimatedGif());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("65535"))) << messages[0].toStdString();
    EXPECT_EQ(gifBytes(), QByteArray("old"));

    // A cycle of 2^31 lines is drawn, not a crash.
    messages.clear();
    ui->widthEdit->setText(QStringLiteral("20"));
    ui->stripeWidthEdit->setText(QStringLiteral("1073741819"));
    ASSERT_TRUE(moving->OnSaveAnimatedGif());
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Animated gif saved to disk")));

    // Fit to Cell on a table with more cells than pixels.
    AnmType::SetTestHook([] { return 2; });
    view->OnAnimateTable();
    auto* rotating = static_cast<AnimRotatingStripes*>(view->AnimationWindow(2));
    ASSERT_NE(rotating, nullptr);
    {
        QFile f(view->GifFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    view->Document()->EditTable(TableField::Columns, std::numeric_limits<int>::max());
    view->Document()->EditTable(TableField::Rows, std::numeric_limits<int>::max());
    rotating->OnFitToCell();
    messages.clear();
    EXPECT_FALSE(rotating->OnSaveAnimatedGif());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("cells"))) << messages[0].toStdString();
    EXPECT_EQ(gifBytes(), QByteArray("old"));
}

TEST_F(AnimationFixture, TableButtonWindowsAreClosedByTheNextAnimateTable) {
    CVelmoraView* view = View();
    AnmType::SetTestHook([] { return 1; });
    view->OnAnimateTable(true);
    QPointer<QDialog> first = view->GetTablePro()->AnimationDialog(1);
    ASSERT_FALSE(first.isNull());
    AnmType::SetTestHook([] { return 0; }); // cancelled chooser
    view->OnAnimateTable(true);
    EXPECT_TRUE(first.isNull());
    // From the menu, a second window opens beside the first.
    AnmType::SetTestHook([] { return 2; });
    view->OnAnimateTable();
    view->OnAnimateTable();
    EXPECT_NE(view->AnimationWindow(2), nullptr);
}

TEST(AnmTypeChooser, ListsSamplesAndNumbers) {
    AnmType chooser;
    Ui::AnmType* ui = chooser.Controls();
    ASSERT_EQ(ui->typeList->count(), 6);
    EXPECT_EQ(ui->typeList->item(0)->text(), QStringLiteral("Moving Stripes"));
    EXPECT_EQ(ui->typeList->item(5)->text(), QStringLiteral("Dynamic Picture"));
    EXPECT_EQ(chooser.ChosenType(), 1);
    EXPECT_FALSE(ui->samplePlayer->pixmap().isNull());
    EXPECT_EQ(ui->samplePlayer->pixmap().size(), QSize(200, 160));
    QTest::qWait(250);
    EXPECT_GT(chooser.ShownFrame(), 0);
    ui->typeList->setCurrentRow(1);
    EXPECT_EQ(chooser.ChosenType(), 2);
    EXPECT_EQ(chooser.ShownFrame(), 0); // restarted
    EXPECT_EQ(AnmType::RendererTypeFor(3), 5);
    EXPECT_EQ(AnmType::RendererTypeFor(4), 3);
    EXPECT_EQ(AnmType::RendererTypeFor(6), 4);
    EXPECT_TRUE(ui->typeList->item(2)->flags() & Qt::ItemIsEnabled); // Blinking Clouds
}

TEST(AngleDial, AnglesOfPoints) {
    EXPECT_EQ(CAngleDial::AngleAt(QPointF(10, 0)), 0);
    EXPECT_EQ(CAngleDial::AngleAt(QPointF(0, -10)), 90);
    EXPECT_EQ(CAngleDial::AngleAt(QPointF(-10, 0)), 180);
    EXPECT_EQ(CAngleDial::AngleAt(QPointF(0, 10)), 270);
    EXPECT_EQ(CAngleDial::AngleAt(QPointF(10, 10)), 315);
}

} // namespace

namespace {

TEST_F(AnimationFixture, AnimationWindowKeepsClearOfTheStatusBarAndTableProperties) {
    CMainFrame* frame = app->MainFrame();
    frame->showNormal();
    frame->setGeometry(260, 60, 1000, 700);
    QTest::qWait(50);
    CVelmoraView* view = View();
    view->ShowTableProperties(true);
    AnmType::SetTestHook([] { return 1; });
    view->OnAnimateTable();
    AnimationDialog* window = view->AnimationWindow(1);
    ASSERT_NE(window, nullptr);
    QTest::qWait(50);
    const QRect placed = window->frameGeometry();
    const QRect main = frame->frameGeometry();
    // Its whole frame ends 25 pixels above the main window's bottom, so the
    // status bar stays in view.
    EXPECT_LE(placed.bottom(), main.bottom() - 25);
    EXPECT_LE(placed.bottom(), frame->statusBar()->mapToGlobal(QPoint(0, 0)).y());
    const QRect pro = view->GetTablePro()->frameGeometry();
    const QRect screen = frame->screen()->availableGeometry();
    if (pro.left() - screen.left() >= placed.width()) {
        EXPECT_FALSE(placed.intersects(pro));
    }
}

} // namespace
