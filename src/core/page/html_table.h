// The table of one page (size, cell spacing, grid, colours) and the page
// written from it. Setters clamp; nothing else validates the values.
#pragma once

#include "core/base/color_ref.h"
#include "core/base/status.h"
#include "core/page/page_names.h"

#include <QByteArray>
#include <QString>
#include <optional>

// classic: the HTML 4 page, byte for byte as pages have always been
// written (stored pages and callers rely on it); modern: HTML5 with CSS,
// whose table background prefers the animated WebPs and falls back to the
// GIFs.
enum class PageStyle { Classic, Modern };

class CHtmlTable {
public:
    CHtmlTable() = default;
    virtual ~CHtmlTable() = default;

    void SetShowCells(bool show) { m_bShowCells = show; }
    void SetWidth(int width);
    void SetHeight(int height);
    // Kept within 1 .. min(width/2, height/2) of the size current at the
    // call; a later size change does not re-clamp it.
    void SetBorder(int border);
    void SetRows(int rows);
    void SetColumns(int columns);
    void SetCellColor(COLORREF color) { m_crCellColor = color; }
    void SetPageColor(COLORREF color) { m_crPageColor = color; }
    // Whether the cell pattern is a separate GIF laid over the animation.
    void SetCellPattern(bool separate) { m_bCellPattern = separate; }
    void SetPageStyle(PageStyle style) { m_style = style; }

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    int GetBorder() const { return m_nBorder; }
    int GetRows() const { return m_nRows; }
    int GetColumns() const { return m_nColumns; }
    COLORREF GetCellColor() const { return m_crCellColor; }
    COLORREF GetPageColor() const { return m_crPageColor; }
    bool GetShowCells() const { return m_bShowCells; }
    bool HasCellPattern() const { return m_bCellPattern; }
    PageStyle GetPageStyle() const { return m_style; }

    // The page text with CR LF line breaks, exactly as WritePage stores it;
    // empty when CheckPageSize() refuses the page.
    QByteArray ComposePage(const QString& pagePath, const QString& imageName) const;
    // Bytes of that text, computed without composing it (64-bit; saturates
    // at the largest qint64 for a grid beyond any size).
    qint64 PageBytes(const QString& pagePath, const QString& imageName) const;
    // Refuses a page over kMaxPageBytes (1 GiB) with a message naming the
    // table's size.
    Status CheckPageSize(const QString& pagePath, const QString& imageName) const;

    // Writes the page (temporary file renamed into place), one row at a time.
    // Returns 1 when the page was written, 0 otherwise with the reason in
    // *errorMessage ("Cannot open <path>" when it cannot be created, "Cannot
    // write <path>: <reason>" when a write fails); a failure leaves any
    // existing page untouched.
    int WritePage(const QString& pagePath, const QString& imageName,
                  QString* errorMessage = nullptr) const;
    // The same page, named as pagePath names it, written to another file: a
    // staging file that is renamed to pagePath later.
    int WritePageTo(const QString& filePath, const QString& pagePath, const QString& imageName,
                    QString* errorMessage = nullptr) const;

    // The page in pieces: head, rows x (rowOpen, columns x cell, rowClose),
    // tail. Its size is known before a byte is composed, and neither writing
    // nor reading it back needs it whole.
    struct PageParts {
        QByteArray head;
        QByteArray rowOpen, cell, rowClose;
        qint64 rows = 0;
        qint64 columns = 0;
        QByteArray tail;

        qint64 RowBytes() const;
        // Saturates at the largest qint64 rather than overflowing.
        qint64 Bytes() const;
        QByteArray Row() const;
    };
    PageParts ComposeParts(const QString& pagePath, const QString& imageName) const;

private:
    PageParts ComposeModernParts(const PageImageNames& names) const;
    // Both styles end alike: the grid (opened by gridOpen, one `cell` each)
    // and the closing lines; `head` is everything before the grid.
    PageParts FinishParts(const QString& head, const QString& gridOpen, const QString& cell) const;

    bool m_bShowCells = true;
    int m_nWidth = 450;
    int m_nHeight = 200;
    int m_nBorder = 5;
    int m_nRows = 2;
    int m_nColumns = 3;
    COLORREF m_crCellColor = 0xFFFFFF;
    COLORREF m_crPageColor = 0xFFFFFF;
    bool m_bCellPattern = false;
    PageStyle m_style = PageStyle::Classic;
};

// "classic" and "modern", as the command line and the settings name them.
QString PageStyleName(PageStyle style);
std::optional<PageStyle> PageStyleFromName(const QString& name);
