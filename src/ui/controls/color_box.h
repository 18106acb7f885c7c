// The colour drop-down every colour choice uses: a swatch on the left, the
// name on the right, "Custom..." first for a colour from the colour chooser,
// and "Unassigned" while nothing is selected.
#pragma once

#include "core/base/color_ref.h"

#include <QComboBox>
#include <QString>

struct ColorTableEntry {
    const char* colorText; // "#rrggbb"
    const char* name;
};

// The 17 list entries, "Custom..." first, as the box and Table Properties
// know them (Black is #000000).
extern const ColorTableEntry kColorBoxTable[17];
// The animation dialogs' copy: Black is #0F0F0F there, so that black stays
// distinguishable from the transparent-looking background of a frame.
extern const ColorTableEntry kAnimationColorTable[17];

// The COLORREF of an entry's colour text, read as three "%02x" pairs.
COLORREF ColorOfEntry(const ColorTableEntry& entry);

class CColorBox : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 20;

    explicit CColorBox(QWidget* parent = nullptr);

    // Inserts the 17 entries, each with its colour as item data, leaving
    // nothing selected.
    void Fill();

    COLORREF ItemColor(int index) const;
    void SetItemColor(int index, COLORREF color);

    // The frame drawn around a selected entry: the inverse of its colour.
    static COLORREF SelectionFrameColor(COLORREF color) { return color ^ 0xFFFFFFu; }

    // The colour in effect while nothing is selected (the owner's own
    // default): the closed box shows its swatch and name, marked as the
    // default, instead of "Unassigned".
    void SetDefaultColor(COLORREF color);
    void ClearDefaultColor();
    bool HasDefaultColor() const { return m_bHasDefault; }
    // The name the box gives a colour: the list's name, or "#rrggbb".
    static QString ColorName(COLORREF color);

    // Paints one entry into rect as the list and the closed box show it;
    // index -1 paints the default colour, or "Unassigned" without one.
    void PaintEntry(QPainter* painter, const QRect& rect, int index, bool selected) const;

    // The least width that shows every name and the default's mark whole.
    int TextWidth() const { return m_nTextWidth; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Windows built from forms set their own minimum width after the box
    // is made; at polish the box widens it to what its texts need.
    bool event(QEvent* event) override;

private:
    bool m_bHasDefault = false;
    int m_nTextWidth = 120;
    COLORREF m_crDefault = 0;
};
