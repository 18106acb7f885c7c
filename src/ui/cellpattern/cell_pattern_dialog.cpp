#include "ui/cellpattern/cell_pattern_dialog.h"

#include "core/animation/animation_renderer.h"
#include "core/document/cell_pattern_painter.h"
#include "core/document/velmora_document.h"
#include "ui/animation/animation_host.h"
#include "ui/controls/dialog_text.h"
#include "ui/controls/user_messages.h"

#include <QLineEdit>

namespace {
CellPatternDialog::TestHook& Hook() {
    static CellPatternDialog::TestHook hook;
    return hook;
}
} // namespace

CellPatternDialog::CellPatternDialog(AnimationHost* host, int rendererType, CellPatternKind kind,
                                     QWidget* parent)
    : QDialog(parent, Qt::Dialog), m_pHost(host), m_nType(rendererType), m_kind(kind) {}

void CellPatternDialog::SetTestHook(TestHook hook) {
    Hook() = std::move(hook);
}

int CellPatternDialog::RunModal() {
    if (Hook())
        return Hook()(*this);
    return exec();
}

void CellPatternDialog::BindBox(QLineEdit* edit, int CellPatternParameters::*field) {
    edit->setText(QString::number(CellPatternParameters::Defaults(m_kind).*field));
    m_boxes.push_back(Box{edit, field});
}

CellPatternParameters CellPatternDialog::Parameters() const {
    CellPatternParameters p = CellPatternParameters::Defaults(m_kind);
    for (const Box& b : m_boxes)
        p.*b.field = AtoiText(b.edit->text(), 9);
    ReadExtra(p);
    return p;
}

AnimationRenderer* CellPatternDialog::CurrentRenderer() const {
    return m_pHost->Renderer(m_nType);
}

Status CellPatternDialog::BeforePaint(AnimationRenderer&, const CellPatternParameters&) {
    return Status::Ok();
}

Status CellPatternDialog::RewritePage() {
    Status status;
    if (VelmoraDocument* doc = m_pHost->Document())
        status = doc->WritePreviewPage();
    m_pHost->RefreshPreview();
    return status;
}

Status CellPatternDialog::Apply() {
    AnimationRenderer* renderer = CurrentRenderer();
    // Without an animation there is nothing to paint for; the page still
    // follows the table.
    if (!renderer)
        return RewritePage();
    const CellPatternParameters p = Parameters();
    // Checked before anything changes, so a bad value leaves the table too.
    if (Status s = CheckCellPatternParameters(p); !s)
        return s;
    if (Status s = BeforePaint(*renderer, p); !s)
        return s;
    CellPatternResult result;
    Status painted = ApplyCellPattern(*renderer, p, &result);
    if (VelmoraDocument* doc = m_pHost->Document(); doc && result.mask)
        doc->SetCellMask(result.mask);
    Status written = RewritePage();
    return !painted ? painted : written;
}

void CellPatternDialog::accept() {
    Status status = Apply();
    if (!status) {
        ShowUserMessage(this, status.message(), MessageKind::Warning);
        return;
    }
    QDialog::accept();
}
