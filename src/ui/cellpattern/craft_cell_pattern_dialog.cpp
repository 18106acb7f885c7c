#include "ui/cellpattern/craft_cell_pattern_dialog.h"

#include "core/cellmask/mask_painters.h"
#include "core/document/cell_pattern_painter.h"
#include "ui/animation/animation_host.h"
#include "ui_craft_cell_pattern.h"

#include <QPushButton>
#include <array>

namespace {

// The sizes of the preset list's items 1 to 12.
constexpr std::array<QSize, 12> kPresets = {
    QSize(160, 120),   QSize(320, 240),   QSize(640, 480),   QSize(800, 600),
    QSize(1024, 768),  QSize(1280, 960),  QSize(1600, 1200), QSize(2048, 1536),
    QSize(2272, 1704), QSize(2288, 1712), QSize(2592, 1728), QSize(2592, 1944)};

// The photo a cell holds is measured with the starting bump, line and margin
// sizes, whatever the boxes say, so "Original Size" always means the table
// as it is.
constexpr int kFitBumpsY = 10;
constexpr int kFitLineWidth = 2;
constexpr int kFitMargin = 8;

} // namespace

CCraftCellPattern::CCraftCellPattern(AnimationHost* host, int rendererType, QWidget* parent)
    : CellPatternDialog(host, rendererType, CellPatternKind::CraftScissors, parent),
      m_ui(std::make_unique<Ui::CraftCellPattern>()) {
    m_ui->setupUi(this);
    BindBox(m_ui->bumpsYEdit, &CellPatternParameters::bumpsY);
    BindBox(m_ui->bumpsXEdit, &CellPatternParameters::bumpsX);
    BindBox(m_ui->lineWidthEdit, &CellPatternParameters::lineWidth);
    BindBox(m_ui->outerMarginEdit, &CellPatternParameters::margin);
    BindBox(m_ui->photoWidthEdit, &CellPatternParameters::photoWidth);
    BindBox(m_ui->photoHeightEdit, &CellPatternParameters::photoHeight);
    m_ui->flatInnerCheck->setChecked(CellPatternParameters::Defaults(Kind()).flatInner);
    m_ui->presetCombo->setCurrentIndex(-1);
    m_savedPhoto = FittedPhotoSize();
    if (m_savedPhoto.isValid()) {
        m_ui->photoWidthEdit->setText(QString::number(m_savedPhoto.width()));
        m_ui->photoHeightEdit->setText(QString::number(m_savedPhoto.height()));
    }
    connect(m_ui->presetCombo, &QComboBox::activated, this, &CCraftCellPattern::OnPresetChosen);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &CCraftCellPattern::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &CCraftCellPattern::reject);
    adjustSize();
}

CCraftCellPattern::~CCraftCellPattern() = default;

QSize CCraftCellPattern::FittedPhotoSize() const {
    if (!Host()->Document())
        return {};
    return PhotoSizeForTable(Geometry(), kFitBumpsY, kFitLineWidth, kFitMargin);
}

void CCraftCellPattern::OnPresetChosen(int index) {
    QSize size;
    if (index == 0) {
        size = m_savedPhoto;
        m_savedPhoto = FittedPhotoSize();
    } else if (index >= 1 && index <= int(kPresets.size())) {
        size = kPresets[std::size_t(index - 1)];
    } else {
        return;
    }
    m_ui->photoWidthEdit->setText(QString::number(size.width()));
    m_ui->photoHeightEdit->setText(QString::number(size.height()));
}

void CCraftCellPattern::ReadExtra(CellPatternParameters& p) const {
    p.flatInner = m_ui->flatInnerCheck->isChecked();
}

Status CCraftCellPattern::BeforePaint(VelmoraDocument& doc, const CellPatternParameters& p) {
    // A table too large for its mask is refused before anything is resized.
    const TableGeometry fitted =
        FitTableToPhoto(Geometry(), p.photoWidth, p.photoHeight, p.bumpsY, p.lineWidth, p.margin);
    if (Status s = CheckCellMaskSize(fitted); !s)
        return s;
    TableResize size;
    size.width = fitted.width;
    size.height = fitted.height;
    size.border = fitted.border;
    doc.ResizeTable(size);
    return Status::Ok();
}
