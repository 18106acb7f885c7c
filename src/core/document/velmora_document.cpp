#include "core/document/velmora_document.h"

#include "core/animation/animation_renderer.h"
#include "core/animation/animation_types.h"
#include "core/base/atomic_write.h"
#include "core/base/staged_file_set.h"
#include "core/page/page_names.h"

#include <utility>
#include <vector>

PageSet PageSet::ForBase(const QString& path) {
    const QString base = SeparatorsAsSlashes(path);
    return {base + QStringLiteral(".htm"), base + QStringLiteral(".gif"),
            base + QStringLiteral("-cell.gif")};
}

VelmoraDocument::VelmoraDocument() = default;
VelmoraDocument::~VelmoraDocument() = default;

AnimationRenderer* VelmoraDocument::CreateRenderer(int type) {
    const AnimationTypeInfo* info = AnimationTypeByRenderer(type);
    if (!info || !info->IsAvailable())
        return nullptr;
    std::unique_ptr<AnimationRenderer> renderer = info->create();
    renderer->SetAnimationGifPath(m_preview.gif);
    renderer->SetCellGifPath(m_preview.cell);
    m_renderers[std::size_t(type)] = std::move(renderer);
    m_nAnimationType = type;
    return m_renderers[std::size_t(type)].get();
}

AnimationRenderer* VelmoraDocument::Renderer(int type) const {
    return type >= 1 && type <= 6 ? m_renderers[std::size_t(type)].get() : nullptr;
}

void VelmoraDocument::CopyTableGeometryTo(AnimationRenderer& renderer) const {
    renderer.SetCellColor(m_table.GetCellColor());
    renderer.SetTableWidth(m_table.GetWidth());
    renderer.SetTableHeight(m_table.GetHeight());
    renderer.SetRows(m_table.GetRows());
    renderer.SetColumns(m_table.GetColumns());
    renderer.SetBorder(m_table.GetBorder());
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
    return files.Commit();
}
