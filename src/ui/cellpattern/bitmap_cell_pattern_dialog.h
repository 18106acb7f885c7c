// The pattern window for the picture the picker loaded into the renderer, repeated in every
// cell: the border left around each copy.
#pragma once

#include "ui/cellpattern/cell_pattern_dialog.h"

#include <memory>

namespace Ui {
class BitmapCellPattern;
}

class BitmapCellPattern : public CellPatternDialog {
    Q_OBJECT
public:
    BitmapCellPattern(AnimationHost* host, int rendererType, QWidget* parent = nullptr);
    ~BitmapCellPattern() override;

    Ui::BitmapCellPattern* Controls() const { return m_ui.get(); }

private:
    std::unique_ptr<Ui::BitmapCellPattern> m_ui;
};
