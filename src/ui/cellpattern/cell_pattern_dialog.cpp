#include "ui/cellpattern/cell_pattern_dialog.h"

#include "core/document/cell_pattern_painter.h"
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

CellPatternDialog::CellPatternDialog(AnimationHost* host, int, CellPatternKind kind,
                                     QWidget* parent)
    : QDialog(parent, Qt::Dialog), m_pHost(host), m_kind(kind) {}

void CellPatternDialog::SetTestHook(TestHook hook) {
    Hook() = std::move(hook);
}

int CellPatternDialog::RunModal() {
    MakeRoomForTitle(this);
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

void CellPatternDialog::SetChoice(MaskMode mode, const QImage& picture) {
    m_mode = mode == MaskMode::None ? MaskMode::MergedIntoFrames : mode;
    m_picture = picture;
}

TableGeometry CellPatternDialog::Geometry() const {
    if (const VelmoraDocument* doc = m_pHost->Document())
        return doc->Context().table;
    return TableGeometry();
}

Status CellPatternDialog::BeforePaint(VelmoraDocument&, const CellPatternParameters&) {
    return Status::Ok();
}

Status CellPatternDialog::Apply() {
    VelmoraDocument* doc = m_pHost->Document();
    if (!doc)
        return Status::Error(tr("There is no table to paint the cell pattern for."));
    const CellPatternParameters p = Parameters();
    // Checked before anything changes, so a bad value leaves the table too.
    if (Status s = CheckCellPatternParameters(p); !s)
        return s;
    if (Status s = BeforePaint(*doc, p); !s)
        return s;
    auto mask = std::make_shared<CellMask>();
    if (Status s = PaintCellMask(Geometry(), m_picture, p, mask.get()); !s)
        return s;
    return doc->SetCellPattern(m_mode, std::move(mask));
}

void CellPatternDialog::accept() {
    Status status = Apply();
    if (!status) {
        ShowUserMessage(this, status.message(), MessageKind::Warning);
        return;
    }
    QDialog::accept();
}
