// What the four pattern windows share: the document they paint for, their
// starting values, and OK — the mask is painted on the document's table with
// the values typed and handed to the document with the mode the picker chose
// (the document writes the layer, rewrites the page and undoes it). A value
// the painter cannot use is reported and the window stays open for a
// correction.
#pragma once

#include "core/base/status.h"
#include "core/cellmask/cell_pattern_parameters.h"
#include "core/cellmask/table_geometry.h"
#include "core/document/velmora_document.h"

#include <QDialog>
#include <QImage>
#include <functional>
#include <vector>

class AnimationHost;
class QLineEdit;

class CellPatternDialog : public QDialog {
    Q_OBJECT
public:
    // Paints for the host's document, for the animation of `rendererType`.
    CellPatternDialog(AnimationHost* host, int rendererType, CellPatternKind kind, QWidget* parent);

    // The picker's choice: what becomes of the mask (merged unless told),
    // and the bitmap a bitmap pattern is cut from.
    void SetChoice(MaskMode mode, const QImage& picture);

    CellPatternKind Kind() const { return m_kind; }
    // The values the boxes hold now.
    CellPatternParameters Parameters() const;

    // Runs the window modally; tests install a hook that answers it instead
    // (nullptr restores the modal run).
    using TestHook = std::function<int(CellPatternDialog&)>;
    static void SetTestHook(TestHook hook);
    int RunModal();

    void accept() override;

protected:
    // A box read as a whole number (as atoi reads it) into `field` at OK,
    // starting with the field's default.
    void BindBox(QLineEdit* edit, int CellPatternParameters::*field);
    // Before the painting: the craft window resizes the table here. A
    // failure stops the painting.
    virtual Status BeforePaint(VelmoraDocument& doc, const CellPatternParameters& p);
    virtual void ReadExtra(CellPatternParameters&) const {}

    AnimationHost* Host() const { return m_pHost; }
    // The document's table as the painters take it.
    TableGeometry Geometry() const;

private:
    Status Apply();

    AnimationHost* m_pHost;
    CellPatternKind m_kind;
    MaskMode m_mode = MaskMode::MergedIntoFrames;
    QImage m_picture;
    struct Box {
        QLineEdit* edit;
        int CellPatternParameters::*field;
    };
    std::vector<Box> m_boxes;
};
