#include "ui/animation/anim_rotating_stripes.h"

#include "core/animation/rotating_stripes_renderer.h"
#include "core/document/velmora_document.h"
#include "ui/animation/animation_host.h"
#include "ui/controls/color_box.h"
#include "ui_anim_rotating_stripes.h"

AnimRotatingStripes::AnimRotatingStripes(AnimationHost* host, QWidget* owner)
    : AnimationDialog(host, kRendererType, owner),
      m_ui(std::make_unique<Ui::AnimRotatingStripes>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("rotatingStripes"));
    BindSize(m_ui->widthEdit, m_ui->heightEdit);
    BindStripeControls({m_ui->speedEdit,
                        m_ui->stripeWidthEdit,
                        m_ui->stripeDistanceEdit,
                        m_ui->numberOfColorsCombo,
                        m_ui->backgroundColorBox,
                        {m_ui->stripeColor1Box, m_ui->stripeColor2Box, m_ui->stripeColor3Box,
                         m_ui->stripeColor4Box, m_ui->stripeColor5Box},
                        m_ui->backgroundStripesCheck});
    BindDither(m_ui->ditherCheck);
    connect(m_ui->saveButton, &QPushButton::clicked, this, &AnimRotatingStripes::OnSaveAnimatedGif);
    // The button shows whether Fit to Cell is on; a second click turns it off.
    m_ui->fitToCellButton->setCheckable(true);
    connect(m_ui->fitToCellButton, &QPushButton::clicked, this, [this](bool on) {
        if (on)
            OnFitToCell();
        else
            SetFitToCellShown(false);
    });
    BindCellPattern(m_ui->cellPatternButton);
    BindClose(m_ui->closeButton);
    StripesRenderer()->SetFitToCell(false);
}

AnimRotatingStripes::~AnimRotatingStripes() = default;

RotatingStripesRenderer* AnimRotatingStripes::StripesRenderer() const {
    return static_cast<RotatingStripesRenderer*>(Renderer());
}

Status AnimRotatingStripes::OnSaveAnimatedGif() {
    // The save hands the renderer the document's table first, so Fit to
    // Cell divides the table as it is now.
    return RunSave([](AnimationRenderer& base) {
        auto& r = static_cast<RotatingStripesRenderer&>(base);
        if (!r.GetFitToCell()) {
            r.PrepareSave();
            return;
        }
        r.PrepareFitToCell();
    });
}

void AnimRotatingStripes::OnFitToCell() {
    if (const VelmoraDocument* document = Host()->Document()) {
        m_ui->widthEdit->setText(QString::number(document->Table().GetWidth()));
        m_ui->heightEdit->setText(QString::number(document->Table().GetHeight()));
    }
    SetFitToCellShown(true);
}

void AnimRotatingStripes::SetFitToCellShown(bool on) {
    StripesRenderer()->SetFitToCell(on);
    m_ui->fitToCellButton->setChecked(on);
    // While it is on, the size boxes hold the table's size, which the save
    // divides into one pinwheel per cell.
    m_ui->widthLabel->setText(on ? tr("Table &Width:") : tr("&Width:"));
    m_ui->heightLabel->setText(on ? tr("Table &Height:") : tr("&Height:"));
    const QString tip =
        on ? tr("Fit to Cell is on: the table's size; each cell gets a pinwheel") : QString();
    m_ui->widthEdit->setToolTip(tip);
    m_ui->heightEdit->setToolTip(tip);
    update();
}
