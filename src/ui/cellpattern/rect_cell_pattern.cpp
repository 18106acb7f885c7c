#include "ui/cellpattern/rect_cell_pattern.h"

#include "ui_rect_cell_pattern.h"

#include <QPushButton>

RectCellPattern::RectCellPattern(AnimationHost* host, int rendererType, QWidget* parent)
    : CellPatternDialog(host, rendererType, CellPatternKind::Rectangle, parent),
      m_ui(std::make_unique<Ui::RectCellPattern>()) {
    m_ui->setupUi(this);
    BindBox(m_ui->borderEdit, &CellPatternParameters::lineWidth);
    BindBox(m_ui->outerMarginEdit, &CellPatternParameters::margin);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &RectCellPattern::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &RectCellPattern::reject);
    adjustSize();
}

RectCellPattern::~RectCellPattern() = default;
