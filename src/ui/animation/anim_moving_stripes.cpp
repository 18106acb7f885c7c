#include "ui/animation/anim_moving_stripes.h"

#include "core/animation/moving_stripes_renderer.h"
#include "ui/controls/color_box.h"
#include "ui_anim_moving_stripes.h"

AnimMovingStripes::AnimMovingStripes(AnimationHost* host, QWidget* owner)
    : AnimationDialog(host, kRendererType, owner), m_ui(std::make_unique<Ui::AnimMovingStripes>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("movingStripes"));
    auto r = [this] { return StripesRenderer(); };
    BindSize(m_ui->widthEdit, m_ui->heightEdit);
    BindNumber(m_ui->angleEdit, [this, r](int v) {
        r()->SetAngle(v);
        m_ui->angleDial->SetAngle(v);
    });
    BindStripeControls({m_ui->speedEdit,
                        m_ui->stripeWidthEdit,
                        m_ui->stripeDistanceEdit,
                        m_ui->numberOfColorsCombo,
                        m_ui->backgroundColorBox,
                        {m_ui->stripeColor1Box, m_ui->stripeColor2Box, m_ui->stripeColor3Box,
                         m_ui->stripeColor4Box, m_ui->stripeColor5Box},
                        m_ui->backgroundStripesCheck});
    BindDither(m_ui->ditherCheck);
    // The dial only reports; the angle box is what the renderer reads.
    connect(m_ui->angleDial, &CAngleDial::AngleChosen, this,
            [this](qint16 angle) { m_ui->angleEdit->setText(QString::number(angle)); });
    connect(m_ui->saveButton, &QPushButton::clicked, this, &AnimMovingStripes::OnSaveAnimatedGif);
    connect(m_ui->tileButton, &QPushButton::clicked, this, &AnimMovingStripes::OnTile);
    BindCellPattern(m_ui->cellPatternButton);
    BindClose(m_ui->closeButton);
    m_ui->angleDial->SetAngle(StripesRenderer()->GetAngle());
}

AnimMovingStripes::~AnimMovingStripes() = default;

MovingStripesRenderer* AnimMovingStripes::StripesRenderer() const {
    return static_cast<MovingStripesRenderer*>(Renderer());
}

Status AnimMovingStripes::OnSaveAnimatedGif() {
    const Status status = RunSave([](AnimationRenderer& r) { r.PrepareSave(); });
    if (StripesRenderer())
        StripesRenderer()->SetDither(m_ui->ditherCheck->isChecked());
    return status;
}

void AnimMovingStripes::OnTile() {
    MovingStripesRenderer* r = StripesRenderer();
    r->Tile();
    m_ui->widthEdit->setText(QString::number(r->GetFrameWidth()));
    m_ui->heightEdit->setText(QString::number(r->GetFrameHeight()));
    m_ui->angleEdit->setText(QString::number(r->GetAngle()));
    update();
}
