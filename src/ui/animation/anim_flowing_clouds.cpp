#include "ui/animation/anim_flowing_clouds.h"

#include "core/animation/flowing_clouds_renderer.h"
#include "ui/controls/color_box.h"
#include "ui_anim_flowing_clouds.h"

AnimFlowingClouds::AnimFlowingClouds(AnimationHost* host, QWidget* owner)
    : AnimationDialog(host, kRendererType, owner), m_ui(std::make_unique<Ui::AnimFlowingClouds>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("flowingClouds"));
    auto r = [this] { return CloudsRenderer(); };
    BindSize(m_ui->widthEdit, m_ui->heightEdit);
    BindNumber(m_ui->angleEdit, [this, r](int v) {
        r()->SetAngle(v);
        m_ui->angleDial->SetAngle(v);
    });
    BindNumber(m_ui->speedEdit, [r](int v) { r()->SetSpeed(v); });
    BindNumberOfColors(m_ui->numberOfColorsCombo, [r](int v) { r()->SetNumberOfColors(v); });
    m_ui->numberOfColorsCombo->setCurrentIndex(0);
    BindNumber(m_ui->cloudSizeEdit, [r](int v) { r()->SetCloudSize(v); });
    BindNumber(m_ui->cloudBumpsEdit, [r](int v) { r()->SetCloudBumps(v); });
    BindNumber(m_ui->cloudGradientEdit, [r](int v) { r()->SetCloudGradient(v); });
    BindNumber(m_ui->cloudSqueezeEdit, [r](int v) { r()->SetCloudSqueeze(v); });
    BindNumber(m_ui->cloudDistanceEdit, [r](int v) { r()->SetCloudDistance(v); });
    BindColor(
        m_ui->backgroundColorBox, [r](COLORREF c) { r()->SetBackgroundColor(c); },
        [r] { return r()->GetBackgroundColor(); });
    BindIndexedColors(
        {m_ui->cloudColor1Box, m_ui->cloudColor2Box, m_ui->cloudColor3Box, m_ui->cloudColor4Box,
         m_ui->cloudColor5Box},
        [r](int i, COLORREF c) { r()->SetCloudColor(i, c); },
        [r](int i) { return r()->GetCloudColor(i); });
    BindDither(m_ui->ditherCheck);
    // The dial only reports; the angle box is what the renderer reads.
    connect(m_ui->angleDial, &CAngleDial::AngleChosen, this,
            [this](qint16 angle) { m_ui->angleEdit->setText(QString::number(angle)); });
    connect(m_ui->saveButton, &QPushButton::clicked, this, &AnimFlowingClouds::OnSaveAnimatedGif);
    BindCellPattern(m_ui->cellPatternButton);
    BindClose(m_ui->closeButton);
    BindSeed(m_ui->seedLabel, m_ui->sameSeedCheck);
    m_ui->angleDial->SetAngle(CloudsRenderer()->GetAngle());
}

AnimFlowingClouds::~AnimFlowingClouds() = default;

FlowingCloudsRenderer* AnimFlowingClouds::CloudsRenderer() const {
    return static_cast<FlowingCloudsRenderer*>(Renderer());
}

Status AnimFlowingClouds::OnSaveAnimatedGif() {
    return RunSave([](AnimationRenderer& r) { r.PrepareSave(); });
}
