#include "ui/cellpattern/round_rect_cell_pattern.h"

#include "ui_round_rect_cell_pattern.h"

#include <QPushButton>

RoundRectCellPattern::RoundRectCellPattern(AnimationHost* host, int rendererType, QWidget* parent)
    : CellPatternDialog(host, rendererType, CellPatternKind::RoundRectangle, parent),
      m_ui(std::make_unique<Ui::RoundRectCellPattern>()) {
    m_ui->setupUi(this);
    BindBox(m_ui->borderEdit, &CellPatternParameters::lineWidth);
    BindBox(m_ui->cornerRadiusEdit, &CellPatternParameters::corner);
    BindBox(m_ui->outerMarginEdit, &CellPatternParameters::margin);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &RoundRectCellPattern::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &RoundRectCellPattern::reject);
    adjustSize();
}

RoundRectCellPattern::~RoundRectCellPattern() = default;
