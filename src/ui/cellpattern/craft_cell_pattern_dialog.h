// The craft-scissors pattern window: bump sizes, line width, margin, the flat
// inner panel, and the photo each cell is to hold. OK resizes the table
// around photos of that size before painting.
#pragma once

#include "ui/cellpattern/cell_pattern_dialog.h"

#include <QSize>
#include <memory>

namespace Ui {
class CraftCellPattern;
}

class CCraftCellPattern : public CellPatternDialog {
    Q_OBJECT
public:
    CCraftCellPattern(AnimationHost* host, int rendererType, QWidget* parent = nullptr);
    ~CCraftCellPattern() override;

    Ui::CraftCellPattern* Controls() const { return m_ui.get(); }
    // The photo size the table held when the window opened.
    QSize SavedPhotoSize() const { return m_savedPhoto; }

    // The digital camera presets; index 0 is "Original Size".
    void OnPresetChosen(int index);

protected:
    Status BeforePaint(VelmoraDocument& doc, const CellPatternParameters& p) override;
    void ReadExtra(CellPatternParameters& p) const override;

private:
    QSize FittedPhotoSize() const;

    std::unique_ptr<Ui::CraftCellPattern> m_ui;
    QSize m_savedPhoto;
};
