#include "ui/animation/anim_blinking_clouds.h"

#include "core/animation/blinking_clouds_renderer.h"
#include "ui/controls/color_box.h"
#include "ui_anim_blinking_clouds.h"

AnimBlinkingClouds::AnimBlinkingClouds(AnimationHost* host, QWidget* owner)
    : AnimationDialog(host, kRendererType, owner),
      m_ui(std::make_unique<Ui::AnimBlinkingClouds>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("blinkingClouds"));
    auto r = [this] { return CloudsRenderer(); };
    // The starting texts reach the renderer in this order, as typed text
    // would.
    BindNumber(m_ui->colorShiftEdit, [r](int v) { r()->SetColorShift(v); });
    BindNumber(m_ui->cloudsPerSecondEdit, [r](int v) { r()->SetCloudsPerSecond(v); });
    BindNumber(m_ui->animationLengthEdit, [r](int v) { r()->SetAnimationLength(v); });
    BindSize(m_ui->widthEdit, m_ui->heightEdit);
    BindNumberOfColors(m_ui->numberOfColorsCombo, [r](int v) { r()->SetNumberOfColors(v); });
    m_ui->numberOfColorsCombo->setCurrentIndex(0);
    BindNumber(m_ui->cloudSizeEdit, [r](int v) { r()->SetCloudSize(v); });
    BindNumber(m_ui->cloudBumpsEdit, [r](int v) { r()->SetCloudBumps(v); });
    BindNumber(m_ui->cloudSqueezeEdit, [r](int v) { r()->SetCloudSqueeze(v); });
    BindIndexedColors(
        {m_ui->cloudColor1Box, m_ui->cloudColor2Box, m_ui->cloudColor3Box, m_ui->cloudColor4Box,
         m_ui->cloudColor5Box},
        [r](int i, COLORREF c) { r()->SetCloudColor(i, c); },
        [r](int i) { return r()->GetCloudColor(i); });
    BindDither(m_ui->ditherCheck);
    BindSeed(m_ui->seedLabel, m_ui->sameSeedCheck);
    connect(m_ui->saveButton, &QPushButton::clicked, this, &AnimBlinkingClouds::OnSaveAnimatedGif);
    BindCellPattern(m_ui->cellPatternButton);
    BindClose(m_ui->closeButton);
}

AnimBlinkingClouds::~AnimBlinkingClouds() = default;

BlinkingCloudsRenderer* AnimBlinkingClouds::CloudsRenderer() const {
    return static_cast<BlinkingCloudsRenderer*>(Renderer());
}

Status AnimBlinkingClouds::OnSaveAnimatedGif() {
    return RunSave([](AnimationRenderer& r) { r.PrepareSave(); });
}
