// The live preview beside the animation windows' controls and the summary a
// save reports: the preview draws on a copy, follows edits, gives way to a
// newer edit, and lets its window close while it draws.
#include "app_fixture.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/save_summary.h"
#include "ui/animation/anim_moving_stripes.h"
#include "ui/animation/animation_dialog.h"
#include "ui/animation/anm_type.h"
#include "ui/animation/live_preview.h"
#include "ui/shell/table_pro.h"
#include "ui_anim_moving_stripes.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QPointer>
#include <QRegularExpression>
#include <QStatusBar>
#include <QThread>
#include <atomic>
#include <memory>

namespace {

// A renderer whose frames and delays the test sets; it can hold a frame
// until it is cancelled, to catch the preview in the middle of a drawing.
class FakeRenderer : public AnimationRenderer {
public:
    struct Shared {
        std::atomic<bool> holdFrames{false};
        std::atomic<bool> inFrame{false};
        std::atomic<bool> sawCancel{false};
        std::atomic<int> drawn{0};
    };
    FakeRenderer(int frames, int delay, std::shared_ptr<Shared> shared)
        : AnimationRenderer(400, 300), m_nFrames(frames), m_nDelay(delay),
          m_pShared(std::move(shared)) {}
    std::unique_ptr<AnimationRenderer> Clone() const override {
        return std::make_unique<FakeRenderer>(*this);
    }
    AnimationKind Kind() const override { return AnimationKind::Unlisted; }
    void PrepareSave() override {}
    Status CheckSave() const override { return m_refusal; }
    int FrameCount() const override { return m_nFrames; }
    int FrameDelay(int) const override { return m_nDelay; }
    void DrawFrame(int index, QImage* frame) const override {
        m_pShared->inFrame = true;
        while (m_pShared->holdFrames && !CancelRequested())
            QThread::msleep(2);
        if (CancelRequested())
            m_pShared->sawCancel = true;
        frame->fill(QColor::fromHsv(index * 7 % 360, 255, 255));
        ++m_pShared->drawn;
    }
    Status m_refusal = Status::Ok();

private:
    int m_nFrames;
    int m_nDelay;
    std::shared_ptr<Shared> m_pShared;
};

std::function<std::unique_ptr<AnimationRenderer>()> SourceOf(const FakeRenderer& r) {
    return [&r] { return r.Clone(); };
}

TEST(LivePreviewAlone, DrawsAReducedSampledLoopOnACopy) {
    auto shared = std::make_shared<FakeRenderer::Shared>();
    FakeRenderer original(600, 3, shared);
    LivePreview preview(SourceOf(original));
    preview.Changed();
    QTRY_COMPARE_WITH_TIMEOUT(preview.Generation(), 1, 5000);
    // 600 frames sampled every tenth; each shown as long as the ten it stands for.
    ASSERT_EQ(preview.FrameCount(), LivePreview::kMaxFrames);
    EXPECT_EQ(shared->drawn.load(), LivePreview::kMaxFrames);
    EXPECT_EQ(preview.CurrentFrames().delaysMs.value(0), 300);
    // 400 x 300 fits 160 x 120 keeping its shape.
    EXPECT_EQ(preview.CurrentFrames().images[0].size(), QSize(160, 120));
    EXPECT_EQ(original.GetFrameWidth(), 400);
    EXPECT_EQ(original.GetAnimationGifPath(), QString());
}

TEST(LivePreviewAlone, AMergedCellPatternCutsThePreviewAsTheSaveCutsTheFrames) {
    FakeRenderer r(3, 10, std::make_shared<FakeRenderer::Shared>());
    RenderContext context;
    context.table = {400, 300, 1, 1, 0, MakeColorRef(0x12, 0x34, 0x56)};
    auto mask = std::make_shared<CellMask>(400, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 200; ++x)
            mask->SetCell(x, y, true); // the left half is cell area
    context.mask = mask;
    const QRgb cell = qRgb(0x12, 0x34, 0x56);
    auto cellPixels = [&](const QImage& image, int fromX, int toX) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = fromX; x < toX; ++x)
                n += image.pixel(x, y) == cell;
        return n;
    };
    for (MaskMode mode : {MaskMode::MergedIntoFrames, MaskMode::SeparateLayer}) {
        context.maskMode = mode;
        r.SetContext(context);
        const LivePreview::Frames frames = LivePreview::Draw(&r, nullptr);
        ASSERT_FALSE(frames.images.isEmpty()) << frames.message.toStdString();
        const QImage& frame = frames.images[0];
        ASSERT_EQ(frame.size(), QSize(160, 120)); // reduced by 0.4
        const int half = frame.width() / 2;
        if (mode == MaskMode::MergedIntoFrames)
            EXPECT_EQ(cellPixels(frame, 0, half), half * frame.height());
        else // a layer of its own lies over the page, not in the frames
            EXPECT_EQ(cellPixels(frame, 0, half), 0);
        EXPECT_EQ(cellPixels(frame, half, frame.width()), 0);
    }
}

TEST(LivePreviewAlone, ShowsWhySaveIsRefused) {
    auto shared = std::make_shared<FakeRenderer::Shared>();
    FakeRenderer original(5, 10, shared);
    original.m_refusal = Status::Error(QStringLiteral("Fill the filename to load"));
    LivePreview preview(SourceOf(original));
    preview.Changed();
    QTRY_COMPARE_WITH_TIMEOUT(preview.Generation(), 1, 5000);
    EXPECT_EQ(preview.FrameCount(), 0);
    EXPECT_EQ(preview.text(), QStringLiteral("Fill the filename to load"));
    EXPECT_EQ(shared->drawn.load(), 0);
}

TEST(LivePreviewAlone, ANewerEditStopsTheOlderDrawing) {
    auto shared = std::make_shared<FakeRenderer::Shared>();
    shared->holdFrames = true;
    FakeRenderer original(5, 10, shared);
    LivePreview preview(SourceOf(original));
    preview.Changed();
    QTRY_VERIFY_WITH_TIMEOUT(preview.IsDrawing(), 5000);
    preview.Changed();
    QTRY_VERIFY_WITH_TIMEOUT(shared->sawCancel.load(), 5000);
    shared->holdFrames = false;
    // The cancelled drawing is dropped; the newer one is shown.
    QTRY_COMPARE_WITH_TIMEOUT(preview.Generation(), 1, 5000);
    EXPECT_EQ(preview.FrameCount(), 5);
    QTest::qWait(LivePreview::kSettleMs + 100);
    EXPECT_EQ(preview.Generation(), 1);
}

TEST(LivePreviewAlone, DestroyingStopsADrawingInProgress) {
    auto shared = std::make_shared<FakeRenderer::Shared>();
    shared->holdFrames = true;
    FakeRenderer original(5, 10, shared);
    auto preview = std::make_unique<LivePreview>(SourceOf(original));
    preview->Changed();
    // Inside a frame, not merely started: a worker cancelled before its
    // first frame returns without drawing one.
    QTRY_VERIFY_WITH_TIMEOUT(preview->IsDrawing() && shared->inFrame.load(), 5000);
    preview.reset(); // waits for the worker, which sees the cancel
    EXPECT_TRUE(shared->sawCancel.load());
}

TEST(SaveSummary, SizeFramesPlayTimeAndShortFrames) {
    auto shared = std::make_shared<FakeRenderer::Shared>();
    EXPECT_EQ(SaveSummary(FakeRenderer(66, 10, shared), 123 * 1024),
              QStringList{QStringLiteral("123 KB, 66 frames, 6.6 s a loop")});
    EXPECT_EQ(SaveSummary(FakeRenderer(1, 5, shared), 900),
              QStringList{QStringLiteral("900 bytes, 1 frame, 0.05 s a loop")});
    EXPECT_EQ(SaveSummary(FakeRenderer(4, 50, shared), 3 * 1024 * 1024 + 1),
              QStringList{QStringLiteral("3.0 MB, 4 frames, 2 s a loop")});
    EXPECT_EQ(SaveSummary(FakeRenderer(66, 1, shared), 2048),
              (QStringList{QStringLiteral("2 KB, 66 frames, 0.66 s a loop"),
                           QStringLiteral("Frames of 1 hundredth of a second are played at 10 "
                                          "hundredths by browsers: the animation runs 10 times "
                                          "slower than intended (6.6 s a loop instead of 0.66 "
                                          "s).")}));
    const QStringList zero = SaveSummary(FakeRenderer(20, 0, shared), 2048);
    ASSERT_EQ(zero.size(), 2);
    EXPECT_TRUE(zero[1].startsWith(QStringLiteral("Frames of 0 hundredths of a second")));
    EXPECT_TRUE(zero[1].contains(QStringLiteral("2 s instead"))) << zero[1].toStdString();
    // Frames of 2 hundredths are played as written.
    EXPECT_EQ(SaveSummary(FakeRenderer(20, 2, shared), 2048).size(), 1);
}

struct LivePreviewWindow : AppFixture {
    void TearDown() override {
        AnmType::SetTestHook(nullptr);
        AppFixture::TearDown();
    }
    AnimMovingStripes* Open() {
        AnmType::SetTestHook([] { return 1; });
        View()->OnAnimateTable();
        return static_cast<AnimMovingStripes*>(View()->AnimationWindow(1));
    }
};

TEST_F(LivePreviewWindow, AppearsAnimatesAndFollowsEdits) {
    AnimMovingStripes* window = Open();
    ASSERT_NE(window, nullptr);
    LivePreview* preview = window->LivePreviewLabel();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(window->findChild<LivePreview*>(QStringLiteral("livePreview")), preview);
    EXPECT_TRUE(preview->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(preview->Generation() >= 1 && preview->FrameCount() > 1, 5000);
    const int first = preview->ShownFrame();
    QTRY_VERIFY_WITH_TIMEOUT(preview->ShownFrame() != first, 3000);
    EXPECT_FALSE(preview->pixmap().isNull());

    // A burst of edits gives one redraw, of the last values.
    Ui::AnimMovingStripes* ui = window->Controls();
    const int before = preview->Generation();
    const QImage old = preview->CurrentFrames().images[0];
    ui->widthEdit->setText(QStringLiteral("300"));
    ui->heightEdit->setText(QStringLiteral("200"));
    ui->stripeColor1Box->setCurrentIndex(2);
    Q_EMIT ui->stripeColor1Box->activated(2);
    QTRY_COMPARE_WITH_TIMEOUT(preview->Generation(), before + 1, 5000);
    QTest::qWait(LivePreview::kSettleMs + 100);
    EXPECT_EQ(preview->Generation(), before + 1);
    EXPECT_EQ(preview->CurrentFrames().images[0].size(), QSize(160, 107));
    EXPECT_NE(preview->CurrentFrames().images[0], old);
    // The window's renderer keeps what the window shows.
    EXPECT_EQ(window->StripesRenderer()->GetFrameWidth(), 300);

    // Edits the window handles itself (the angle box) are seen too.
    const int beforeAngle = preview->Generation();
    ui->angleEdit->setText(QStringLiteral("45"));
    QTRY_COMPARE_WITH_TIMEOUT(preview->Generation(), beforeAngle + 1, 5000);
}

TEST_F(LivePreviewWindow, ClosingWhileThePreviewDrawsIsSafe) {
    for (int round = 0; round < 3; ++round) {
        AnimMovingStripes* window = Open();
        ASSERT_NE(window, nullptr);
        QPointer<AnimationDialog> watch(window);
        window->Controls()->stripeWidthEdit->setText(QString::number(3 + round));
        QTest::qWait(LivePreview::kSettleMs + 5 * round);
        window->Controls()->closeButton->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(watch.isNull());
    }
}

TEST_F(LivePreviewWindow, SaveReportsSizeFramesAndPlayTime) {
    AnimMovingStripes* window = Open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    ASSERT_EQ(messages.size(), 1);
    const QStringList lines = messages[0].split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Animated gif saved to disk"));
    const qint64 bytes = QFileInfo(View()->GifFile()).size();
    ASSERT_GT(bytes, 0);
    const QString size = bytes < 1024 ? QStringLiteral("%1 bytes").arg(bytes)
                                      : QStringLiteral("%1 KB").arg((bytes + 512) / 1024);
    const int delay = window->StripesRenderer()->FrameDelay(0);
    const QString seconds = QString::number(delay * 10 / 100.0);
    EXPECT_EQ(lines[1], size + QStringLiteral(", 10 frames, %1 s a loop").arg(seconds));
    QMainWindow* main = app->MainFrame();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->statusBar()->currentMessage(),
              QStringLiteral("Animated gif saved to disk: ") + lines[1]);
}

} // namespace
