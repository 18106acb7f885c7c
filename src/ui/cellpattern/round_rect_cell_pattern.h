// The pattern window for rounded rectangles: a line width, the corner ellipse's size and an
// outer margin.
#pragma once

#include "ui/cellpattern/cell_pattern_dialog.h"

#include <memory>

namespace Ui {
class RoundRectCellPattern;
}

class RoundRectCellPattern : public CellPatternDialog {
    Q_OBJECT
public:
    RoundRectCellPattern(AnimationHost* host, int rendererType, QWidget* parent = nullptr);
    ~RoundRectCellPattern() override;

    Ui::RoundRectCellPattern* Controls() const { return m_ui.get(); }

private:
    std::unique_ptr<Ui::RoundRectCellPattern> m_ui;
};
