// The pattern window for rectangles: a line width and an outer margin.
#pragma once

#include "ui/cellpattern/cell_pattern_dialog.h"

#include <memory>

namespace Ui {
class RectCellPattern;
}

class RectCellPattern : public CellPatternDialog {
    Q_OBJECT
public:
    RectCellPattern(AnimationHost* host, int rendererType, QWidget* parent = nullptr);
    ~RectCellPattern() override;

    Ui::RectCellPattern* Controls() const { return m_ui.get(); }

private:
    std::unique_ptr<Ui::RectCellPattern> m_ui;
};
