#include "core/document/velmora_document.h"

#include "core/animation/animation_renderer.h"
#include "core/animation/animation_types.h"
#include "core/animation/webp_save.h"
#include "core/base/atomic_write.h"
#include "core/base/staged_file_set.h"
#include "core/imaging/gif_writer.h"
#include "core/page/page_names.h"

#include <QFileInfo>
#include <QUndoCommand>
#include <utility>
#include <vector>

PageSet PageSet::ForBase(const QString& path) {
    const QString base = SeparatorsAsSlashes(path);
    return {base + QStringLiteral(".htm"), base + QStringLiteral(".gif"),
            base + QStringLiteral("-cell.gif")};
}

bool SameTable(const CHtmlTable& a, const CHtmlTable& b) {
    return a.GetShowCells() == b.GetShowCells() && a.GetWidth() == b.GetWidth() &&
           a.GetHeight() == b.GetHeight() && a.GetBorder() == b.GetBorder() &&
           a.GetRows() == b.GetRows() && a.GetColumns() == b.GetColumns() &&
           a.GetCellColor() == b.GetCellColor() && a.GetPageColor() == b.GetPageColor() &&
           a.HasCellPattern() == b.HasCellPattern() && a.GetPageStyle() == b.GetPageStyle();
}

// A table before and after an edit. Edits of one field in a row merge, so
// that typing "600" is one step, not three.
class TableCommand : public QUndoCommand {
public:
    TableCommand(VelmoraDocument* doc, CHtmlTable before, CHtmlTable after, int mergeId,
                 const QString& text)
        : QUndoCommand(text), m_pDoc(doc), m_before(std::move(before)), m_after(std::move(after)),
          m_nId(mergeId) {}
    void undo() override { m_pDoc->ApplyTable(m_before); }
    void redo() override { m_pDoc->ApplyTable(m_after); }
    int id() const override { return m_nId; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const TableCommand*>(other);
        if (next->m_pDoc != m_pDoc)
            return false;
        m_after = next->m_after;
        return true;
    }

private:
    VelmoraDocument* m_pDoc;
    CHtmlTable m_before, m_after;
    int m_nId;
};

// A cell pattern choice: the mask and its mode before and after.
class CellPatternCommand : public QUndoCommand {
public:
    struct State {
        MaskMode mode;
        std::shared_ptr<const CellMask> mask;
    };
    CellPatternCommand(VelmoraDocument* doc, State before, State after)
        : QUndoCommand(QObject::tr("Cell Pattern")), m_pDoc(doc), m_before(std::move(before)),
          m_after(std::move(after)) {}
    void undo() override { m_pDoc->ApplyCellPattern(m_before.mode, m_before.mask); }
    void redo() override { m_pDoc->ApplyCellPattern(m_after.mode, m_after.mask); }

private:
    VelmoraDocument* m_pDoc;
    State m_before, m_after;
};

VelmoraDocument::VelmoraDocument(QObject* parent) : QObject(parent) {
    connect(&m_undo, &QUndoStack::cleanChanged, this, &VelmoraDocument::UpdateModified);
}

VelmoraDocument::~VelmoraDocument() {
    // A document going away announces nothing: its windows may be half
    // destroyed already. The commands call back into it; they go first.
    disconnect(&m_undo, nullptr, this, nullptr);
    m_undo.clear();
}

void VelmoraDocument::EditTable(TableField field, int value) {
    CHtmlTable after = m_table;
    QString text;
    switch (field) {
    case TableField::ShowCells:
        after.SetShowCells(value != 0);
        text = tr("Show Cells");
        break;
    case TableField::Width:
        after.SetWidth(value);
        text = tr("Table Width");
        break;
    case TableField::Height:
        after.SetHeight(value);
        text = tr("Table Height");
        break;
    case TableField::Border:
        after.SetBorder(value);
        text = tr("Border");
        break;
    case TableField::Rows:
        after.SetRows(value);
        text = tr("Rows");
        break;
    case TableField::Columns:
        after.SetColumns(value);
        text = tr("Columns");
        break;
    case TableField::CellColor:
        after.SetCellColor(COLORREF(value));
        text = tr("Cell Color");
        break;
    case TableField::PageColor:
        after.SetPageColor(COLORREF(value));
        text = tr("Page Color");
        break;
    case TableField::PageStyle:
        after.SetPageStyle(value ? PageStyle::Modern : PageStyle::Classic);
        text = tr("Modern Page");
        break;
    }
    if (SameTable(after, m_table))
        return;
    m_undo.push(new TableCommand(this, m_table, after, 1 + int(field), text));
}

void VelmoraDocument::ResizeTable(const TableResize& size) {
    CHtmlTable after = m_table;
    after.SetWidth(size.width);
    after.SetHeight(size.height);
    // After the size, as the spacing's limit follows it.
    if (size.border >= 0)
        after.SetBorder(size.border);
    if (size.cells >= 0) {
        after.SetRows(size.cells);
        after.SetColumns(size.cells);
    }
    if (SameTable(after, m_table))
        return;
    m_undo.push(new TableCommand(this, m_table, after, -1, tr("Table Size")));
}

void VelmoraDocument::ResetTable(const CHtmlTable& table) {
    m_undo.clear();
    m_maskMode = table.HasCellPattern() ? MaskMode::SeparateLayer : MaskMode::None;
    m_pCellMask.reset();
    ApplyTable(table);
    m_undo.setClean();
    m_bOtherChanges = false;
    UpdateModified();
}

void VelmoraDocument::ApplyTable(const CHtmlTable& table) {
    m_table = table;
    GiveContext();
    Q_EMIT TableChanged();
}

void VelmoraDocument::SetSaved(PageSet set) {
    m_saved = std::move(set);
    Q_EMIT SavedSetChanged();
}

QString VelmoraDocument::ImageName() const {
    return m_saved.IsEmpty() ? QString() : BaseNameOf(m_saved.gif);
}

AnimationRenderer* VelmoraDocument::CreateRenderer(int type) {
    const AnimationTypeInfo* info = AnimationTypeByRenderer(type);
    if (!info || !info->IsAvailable())
        return nullptr;
    std::unique_ptr<AnimationRenderer> renderer = info->create();
    renderer->SetAnimationGifPath(m_preview.gif);
    renderer->SetCellGifPath(m_preview.cell);
    renderer->SetContext(Context());
    m_renderers[std::size_t(type)] = std::move(renderer);
    m_nAnimationType = type;
    return m_renderers[std::size_t(type)].get();
}

AnimationRenderer* VelmoraDocument::Renderer(int type) const {
    return type >= 1 && type <= 6 ? m_renderers[std::size_t(type)].get() : nullptr;
}

RenderContext VelmoraDocument::Context() const {
    RenderContext context;
    context.table.width = m_table.GetWidth();
    context.table.height = m_table.GetHeight();
    context.table.rows = m_table.GetRows();
    context.table.columns = m_table.GetColumns();
    context.table.border = m_table.GetBorder();
    context.table.cellColor = m_table.GetCellColor();
    context.maskMode = m_maskMode;
    context.mask = m_pCellMask;
    return context;
}

void VelmoraDocument::GiveContext() {
    const RenderContext context = Context();
    for (const auto& renderer : m_renderers)
        if (renderer)
            renderer->SetContext(context);
}

Status VelmoraDocument::SetCellPattern(MaskMode mode, std::shared_ptr<const CellMask> mask) {
    if (mode == MaskMode::None)
        mask.reset();
    else if (!mask || mask->IsEmpty())
        return Status::Error(tr("The cell pattern is empty."));
    // The layer's file is written before anything changes, so a failure
    // leaves the document as it was.
    if (mode == MaskMode::SeparateLayer) {
        if (m_preview.cell.isEmpty())
            return Status::Error(tr("There is no file to save the cell pattern to."));
        if (Status s = SaveCellMaskGif(m_preview.cell, *mask, m_table.GetCellColor()); !s)
            return s;
    }
    if (mode == m_maskMode && mask == m_pCellMask)
        return Status::Ok();
    m_undo.push(new CellPatternCommand(this, {m_maskMode, m_pCellMask}, {mode, std::move(mask)}));
    return Status::Ok();
}

void VelmoraDocument::ApplyCellPattern(MaskMode mode, std::shared_ptr<const CellMask> mask) {
    const bool wasMerged = m_maskMode == MaskMode::MergedIntoFrames;
    const bool merged = mode == MaskMode::MergedIntoFrames;
    // The animation GIF holds the old cut until it is saved again.
    if ((wasMerged || merged) && (mode != m_maskMode || mask != m_pCellMask))
        SetAnimationStale(true);
    // An undo back to a separate layer puts that layer's file back.
    if (mode == MaskMode::SeparateLayer && mask && !m_preview.cell.isEmpty())
        SaveCellMaskGif(m_preview.cell, *mask, m_table.GetCellColor());
    m_maskMode = mode;
    m_pCellMask = std::move(mask);
    GiveContext();
    const bool layer = mode == MaskMode::SeparateLayer;
    if (m_table.HasCellPattern() != layer) {
        m_table.SetCellPattern(layer);
        Q_EMIT TableChanged();
    }
    Q_EMIT CellPatternChanged();
}

void VelmoraDocument::AnimationSaved() {
    SetAnimationStale(false);
    MarkModified();
}

void VelmoraDocument::SetAnimationStale(bool stale) {
    if (stale == m_bAnimationStale)
        return;
    m_bAnimationStale = stale;
    Q_EMIT AnimationStaleChanged(stale);
}

void VelmoraDocument::MarkModified() {
    m_bOtherChanges = true;
    UpdateModified();
}

void VelmoraDocument::UpdateModified() {
    const bool modified = m_bOtherChanges || !m_undo.isClean();
    if (modified == m_bModified)
        return;
    m_bModified = modified;
    Q_EMIT ModifiedChanged(modified);
}

Status VelmoraDocument::WritePreviewPage() const {
    QString error;
    if (!m_table.WritePage(m_preview.page, QString(), &error))
        return Status::Error(error);
    return Status::Ok();
}

Status VelmoraDocument::SaveTo(const PageSet& target, const QString& imageName) const {
    // All or nothing: every file is complete before any is renamed into
    // place, so a failure (a full disk) keeps the whole previous set.
    StagedFileSet files;
    Status s;
    const QString page = files.Stage(target.page, &s);
    if (!s)
        return s;
    QString error;
    if (!m_table.WritePageTo(page, target.page, imageName, &error))
        return files.Named(Status::Error(error));
    std::vector<std::pair<QString, QString>> copies = {{m_preview.gif, target.gif}};
    if (m_table.HasCellPattern())
        copies.emplace_back(m_preview.cell, target.cell);
    for (const auto& [from, to] : copies) {
        const QString staged = files.Stage(to, &s);
        if (!s)
            return s;
        if (s = CopyFileAtomically(from, staged); !s)
            return files.Named(s);
    }
    // The WebPs travel with their GIFs. A modern page prefers them by type
    // and browsers do not fall back to the GIF for a missing one, so there
    // a missing WebP is made from its GIF.
    for (const auto& [from, to] : copies) {
        const QString webp = WebpPathFor(from);
        const bool have = QFileInfo::exists(webp);
        if (!have && m_table.GetPageStyle() != PageStyle::Modern)
            continue;
        const QString staged = files.Stage(WebpPathFor(to), &s);
        if (!s)
            return s;
        s = have ? CopyFileAtomically(webp, staged) : WriteWebpFromGif(from, staged);
        if (!s)
            return files.Named(s);
    }
    return files.Commit();
}

Status VelmoraDocument::SaveAs(const PageSet& target) {
    if (Status s = SaveTo(target, BaseNameOf(target.gif)); !s)
        return s;
    if (target.page != m_saved.page)
        SetSaved(target);
    m_undo.setClean();
    m_bOtherChanges = false;
    UpdateModified();
    return Status::Ok();
}
