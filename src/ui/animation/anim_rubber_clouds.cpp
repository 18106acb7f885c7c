#include "ui/animation/anim_rubber_clouds.h"

#include "core/animation/rubber_clouds_renderer.h"
#include "ui/controls/color_box.h"
#include "ui/controls/dialog_text.h"
#include "ui_anim_rubber_clouds.h"

AnimRubberClouds::AnimRubberClouds(AnimationHost* host, QWidget* owner)
    : AnimationDialog(host, kRendererType, owner), m_ui(std::make_unique<Ui::AnimRubberClouds>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("rubberClouds"));
    auto r = [this] { return CloudsRenderer(); };
    BindSize(m_ui->widthEdit, m_ui->heightEdit);
    BindNumberOfColors(m_ui->numberOfColorsCombo, [r](int v) { r()->SetNumberOfColors(v); });
    m_ui->numberOfColorsCombo->setCurrentIndex(4);
    connect(m_ui->layersDensityCombo, &QComboBox::activated, this, [this, r](int index) {
        if (r())
            r()->SetLayersDensity(AtoiText(m_ui->layersDensityCombo->itemText(index)));
    });
    // The list shows the density the renderer starts with.
    if (r())
        m_ui->layersDensityCombo->setCurrentIndex(r()->GetLayersDensity() - 1);
    BindNumber(m_ui->bumpsEdit, [r](int v) { r()->SetBumps(v); });
    BindNumber(m_ui->squeezeEdit, [r](int v) { r()->SetSqueeze(v); });
    BindNumber(m_ui->borderWidthEdit, [r](int v) { r()->SetBorderWidth(v); });
    BindNumber(m_ui->borderDistanceEdit, [r](int v) { r()->SetBorderDistance(v); });
    connect(m_ui->backgroundBordersCheck, &QCheckBox::toggled, this, [r](bool on) {
        if (r())
            r()->SetBackgroundBorders(on);
    });
    BindColor(
        m_ui->backgroundColorBox, [r](COLORREF c) { r()->SetBackgroundColor(c); },
        [r] { return r()->GetBackgroundColor(); });
    BindIndexedColors(
        {m_ui->cloudColor1Box, m_ui->cloudColor2Box, m_ui->cloudColor3Box, m_ui->cloudColor4Box,
         m_ui->cloudColor5Box},
        [r](int i, COLORREF c) { r()->SetCloudColor(i, c); },
        [r](int i) { return r()->GetCloudColor(i); });
    BindNumber(m_ui->speedEdit, [r](int v) { r()->SetSpeed(v); });
    BindDither(m_ui->ditherCheck);
    // Either button passes the state of Outward.
    for (QRadioButton* radio : {m_ui->inwardRadio, m_ui->outwardRadio})
        connect(radio, &QRadioButton::clicked, this, [this, r] {
            if (r())
                r()->SetOutward(m_ui->outwardRadio->isChecked());
        });
    connect(m_ui->constantBumpsCheck, &QCheckBox::toggled, this, [r](bool on) {
        if (r())
            r()->SetConstantBumps(on);
    });
    connect(m_ui->saveButton, &QPushButton::clicked, this, &AnimRubberClouds::OnSaveAnimatedGif);
    BindCellPattern(m_ui->cellPatternButton);
    BindClose(m_ui->closeButton);
    BindSeed(m_ui->seedLabel, m_ui->sameSeedCheck);
}

AnimRubberClouds::~AnimRubberClouds() = default;

RubberCloudsRenderer* AnimRubberClouds::CloudsRenderer() const {
    return static_cast<RubberCloudsRenderer*>(Renderer());
}

Status AnimRubberClouds::OnSaveAnimatedGif() {
    return RunSave([](AnimationRenderer& r) { r.PrepareSave(); });
}
