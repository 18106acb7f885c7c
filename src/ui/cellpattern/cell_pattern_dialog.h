// What the four pattern windows share: the animation window's host they
// paint for, their starting values, and OK — the values typed reach the
// painter of the current renderer, the page is rewritten and the preview
// refreshed. A value the painter cannot use is reported and the window
// stays open for a correction.
#pragma once

#include "core/base/status.h"
#include "core/cellmask/cell_pattern_parameters.h"

#include <QDialog>
#include <functional>
#include <vector>

class AnimationHost;
class AnimationRenderer;
class QLineEdit;

class CellPatternDialog : public QDialog {
    Q_OBJECT
public:
    // Paints for the renderer of `rendererType` (1..6).
    CellPatternDialog(AnimationHost* host, int rendererType, CellPatternKind kind, QWidget* parent);

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
    virtual Status BeforePaint(AnimationRenderer& renderer, const CellPatternParameters& p);
    virtual void ReadExtra(CellPatternParameters&) const {}
    // The page rewritten from the table and the preview refreshed.
    Status RewritePage();

    AnimationHost* Host() const { return m_pHost; }
    AnimationRenderer* CurrentRenderer() const;

private:
    Status Apply();

    AnimationHost* m_pHost;
    int m_nType;
    CellPatternKind m_kind;
    struct Box {
        QLineEdit* edit;
        int CellPatternParameters::*field;
    };
    std::vector<Box> m_boxes;
};
