#include "ui/cellpattern/bitmap_cell_pattern_dialog.h"

#include "ui_bitmap_cell_pattern.h"

#include <QPushButton>

BitmapCellPattern::BitmapCellPattern(AnimationHost* host, int rendererType, QWidget* parent)
    : CellPatternDialog(host, rendererType, CellPatternKind::Bitmap, parent),
      m_ui(std::make_unique<Ui::BitmapCellPattern>()) {
    m_ui->setupUi(this);
    BindBox(m_ui->borderEdit, &CellPatternParameters::border);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &BitmapCellPattern::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &BitmapCellPattern::reject);
    adjustSize();
}

BitmapCellPattern::~BitmapCellPattern() = default;
