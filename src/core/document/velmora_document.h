// One open page and everything it is made of: the table, the page sets it is
// previewed and saved as, the current animation type with one renderer per
// type, the cell mask and what becomes of it, the file it belongs to and
// whether it changed since. Every change goes through here and is announced;
// windows edit the document and follow its signals, never each other.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/base/status.h"
#include "core/imaging/cell_mask.h"
#include "core/page/html_table.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUndoStack>
#include <array>
#include <memory>

// The three files of a page set, side by side: base.htm, base.gif and
// base-cell.gif. The page names its images by bare file name.
struct PageSet {
    QString page, gif, cell;

    static PageSet ForBase(const QString& base);
    bool IsEmpty() const { return page.isEmpty(); }
};

// The table's values as Table Properties edits them one at a time.
// PageStyle: 0 classic, 1 modern.
enum class TableField {
    ShowCells,
    Width,
    Height,
    Border,
    Rows,
    Columns,
    CellColor,
    PageColor,
    PageStyle
};

// A resize from a pattern window: size, and optionally spacing and grid.
struct TableResize {
    int width = 0;
    int height = 0;
    int border = -1; // -1: kept
    int cells = -1;  // rows and columns; -1: kept
};

bool SameTable(const CHtmlTable& a, const CHtmlTable& b);

class VelmoraDocument : public QObject {
    Q_OBJECT
public:
    explicit VelmoraDocument(QObject* parent = nullptr);
    ~VelmoraDocument() override;

    const CHtmlTable& Table() const { return m_table; }
    // One value through the table's clamping setter. An undo step; edits of
    // one field in a row (a typing run) merge into one.
    void EditTable(TableField field, int value);
    // Size, spacing and grid at once, as one undo step.
    void ResizeTable(const TableResize& size);
    // The table of a page just reopened: the starting point, not an edit.
    void ResetTable(const CHtmlTable& table);

    // The working copy the preview shows, and the page set the document
    // belongs to: the one it was opened from or last saved as (empty for a
    // new document).
    const PageSet& Preview() const { return m_preview; }
    void SetPreview(PageSet set) { m_preview = std::move(set); }
    const PageSet& Saved() const { return m_saved; }
    void SetSaved(PageSet set);
    bool HasFile() const { return !m_saved.IsEmpty(); }
    // The base name the saved set's images carry ("shop" for shop.gif).
    QString ImageName() const;

    // Renderer numbering: 0 none, 1 Moving Stripes, 2 Rotating Stripes,
    // 3 Flowing Clouds, 4 Dynamic Picture, 5 Blinking Clouds, 6 Rubber
    // Clouds.
    int AnimationType() const { return m_nAnimationType; }
    void SetAnimationType(int type) { m_nAnimationType = type; }
    // A fresh renderer of the type with the preview set's paths, the table's
    // geometry and the document's cell pattern, replacing the previous one,
    // and the type made current. Null for a type that cannot be made.
    AnimationRenderer* CreateRenderer(int type);
    AnimationRenderer* Renderer(int type) const;
    AnimationRenderer* CurrentRenderer() const { return Renderer(m_nAnimationType); }

    // What the renderers draw for: the table's geometry, the cell mask and
    // its mode. The document's own renderers are given it at every change;
    // a save gives it again to the renderer it saves.
    RenderContext Context() const;

    MaskMode GetMaskMode() const { return m_maskMode; }
    std::shared_ptr<const CellMask> GetCellMask() const { return m_pCellMask; }
    // A cell pattern chosen: the mask and what becomes of it. The table's
    // cell layer and the renderers' cut follow the mode; with
    // SeparateLayer the mask is written as the preview's cell GIF. An undo
    // step. The animation GIF made before no longer matches the pattern when
    // the cut changes: AnimationStale() says so until the next save.
    Status SetCellPattern(MaskMode mode, std::shared_ptr<const CellMask> mask);
    // The animation GIF was written anew (it matches the pattern again).
    void AnimationSaved();
    bool AnimationStale() const { return m_bAnimationStale; }

    // Changed since opened or saved: table and pattern edits (undoable) and
    // animations written into the preview.
    bool IsModified() const { return m_bModified; }
    void MarkModified();
    QUndoStack* UndoStack() { return &m_undo; }

    // Rewrites the preview page from the table.
    Status WritePreviewPage() const;
    // Writes the page under `target` naming its images `imageName`, and
    // copies the preview's GIFs beside it: all of them or, on a failure,
    // none, the previous files staying as they were.
    Status SaveTo(const PageSet& target, const QString& imageName) const;
    // SaveTo, then `target` becomes the document's set and the document is
    // no longer modified.
    Status SaveAs(const PageSet& target);

Q_SIGNALS:
    void TableChanged();
    void CellPatternChanged();
    void ModifiedChanged(bool modified);
    void SavedSetChanged();
    void AnimationStaleChanged(bool stale);

private:
    friend class TableCommand;
    friend class CellPatternCommand;
    void ApplyTable(const CHtmlTable& table);
    void ApplyCellPattern(MaskMode mode, std::shared_ptr<const CellMask> mask);
    void GiveContext();
    void UpdateModified();
    void SetAnimationStale(bool stale);

    CHtmlTable m_table;
    PageSet m_preview, m_saved;
    std::array<std::unique_ptr<AnimationRenderer>, 7> m_renderers; // index: renderer type
    int m_nAnimationType = 0;
    MaskMode m_maskMode = MaskMode::None;
    std::shared_ptr<const CellMask> m_pCellMask;
    bool m_bAnimationStale = false;
    // Changes the undo stack does not hold (an animation written into the
    // preview); the stack's clean state tells about the rest.
    bool m_bOtherChanges = false;
    bool m_bModified = false;
    QUndoStack m_undo;
};
