// One open page and everything it is made of: the table, the page sets it is
// previewed and saved as, the current animation type with one renderer per
// type, and the cell mask. Windows edit it and follow its changes; they never
// read each other's controls.
#pragma once

#include "core/base/status.h"
#include "core/imaging/cell_mask.h"
#include "core/page/html_table.h"

#include <QString>
#include <QStringList>
#include <array>
#include <memory>

class AnimationRenderer;

// The three files of a page set, side by side: base.htm, base.gif and
// base-cell.gif. The page names its images by bare file name.
struct PageSet {
    QString page, gif, cell;

    static PageSet ForBase(const QString& base);
    bool IsEmpty() const { return page.isEmpty(); }
};

class VelmoraDocument {
public:
    VelmoraDocument();
    ~VelmoraDocument();
    VelmoraDocument(const VelmoraDocument&) = delete;
    VelmoraDocument& operator=(const VelmoraDocument&) = delete;

    CHtmlTable& Table() { return m_table; }
    const CHtmlTable& Table() const { return m_table; }

    // The working copy the preview shows, and the set the user saved to
    // (empty before the first save).
    const PageSet& Preview() const { return m_preview; }
    void SetPreview(PageSet set) { m_preview = std::move(set); }
    const PageSet& Saved() const { return m_saved; }
    void SetSaved(PageSet set) { m_saved = std::move(set); }

    // Renderer numbering: 0 none, 1 Moving Stripes, 2 Rotating Stripes,
    // 3 Flowing Clouds, 4 Dynamic Picture, 5 Blinking Clouds, 6 Rubber
    // Clouds.
    int AnimationType() const { return m_nAnimationType; }
    void SetAnimationType(int type) { m_nAnimationType = type; }
    // A fresh renderer of the type with the preview set's paths, replacing
    // the previous one, and the type made current. Null for a type that
    // cannot be made.
    AnimationRenderer* CreateRenderer(int type);
    AnimationRenderer* Renderer(int type) const;
    AnimationRenderer* CurrentRenderer() const { return Renderer(m_nAnimationType); }

    // Hands the table's size, grid and cell colour to a renderer, for the
    // cell-pattern painters and Fit to Cell.
    void CopyTableGeometryTo(AnimationRenderer& renderer) const;

    std::shared_ptr<const CellMask> GetCellMask() const { return m_pCellMask; }
    void SetCellMask(std::shared_ptr<const CellMask> mask) { m_pCellMask = std::move(mask); }

    // Rewrites the preview page from the table.
    Status WritePreviewPage() const;
    // Writes the page under `target` naming its images `imageName`, and
    // copies the preview's GIFs beside it: all of them or, on a failure,
    // none, the previous files staying as they were.
    Status SaveTo(const PageSet& target, const QString& imageName) const;

private:
    CHtmlTable m_table;
    PageSet m_preview, m_saved;
    std::array<std::unique_ptr<AnimationRenderer>, 7> m_renderers; // index: renderer type
    int m_nAnimationType = 0;
    std::shared_ptr<const CellMask> m_pCellMask;
};
