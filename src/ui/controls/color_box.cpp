#include "ui/controls/color_box.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>

const ColorTableEntry kColorBoxTable[17] = {
    {"#ffffff", "Custom..."}, {"#ffffff", "White"},  {"#000000", "Black"},   {"#ff0000", "Red"},
    {"#00ff00", "Lime"},      {"#0000ff", "Blue"},   {"#ff00ff", "Magenta"}, {"#ffff00", "Yellow"},
    {"#00ffff", "Cyan"},      {"#c0c0c0", "Silver"}, {"#808080", "Gray"},    {"#800000", "Marron"},
    {"#008000", "Green"},     {"#000080", "Navy"},   {"#800080", "Purple"},  {"#808000", "Olive"},
    {"#008080", "Teal"},
};

const ColorTableEntry kAnimationColorTable[17] = {
    {"#ffffff", "Custom..."}, {"#ffffff", "White"},  {"#0F0F0F", "Black"},   {"#ff0000", "Red"},
    {"#00ff00", "Lime"},      {"#0000ff", "Blue"},   {"#ff00ff", "Magenta"}, {"#ffff00", "Yellow"},
    {"#00ffff", "Cyan"},      {"#c0c0c0", "Silver"}, {"#808080", "Gray"},    {"#800000", "Marron"},
    {"#008000", "Green"},     {"#000080", "Navy"},   {"#800080", "Purple"},  {"#808000", "Olive"},
    {"#008080", "Teal"},
};

COLORREF ColorOfEntry(const ColorTableEntry& entry) {
    return ParseColorText(QLatin1String(entry.colorText)).value_or(0xFFFFFF);
}

namespace {

QColor ToQColor(COLORREF c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

class ColorItemDelegate : public QStyledItemDelegate {
public:
    explicit ColorItemDelegate(CColorBox* box) : QStyledItemDelegate(box), m_pBox(box) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), CColorBox::kItemHeight);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        m_pBox->PaintEntry(painter, option.rect, index.row(),
                           option.state & (QStyle::State_Selected | QStyle::State_MouseOver));
    }

private:
    CColorBox* m_pBox;
};

} // namespace

CColorBox::CColorBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new ColorItemDelegate(this));
    setMinimumHeight(kItemHeight + 4);
    // Wide enough for the swatch and the longest name side by side (the
    // name takes half the box), and for the default's mark: a narrow swatch
    // and "#rrggbb (default)" in the smaller italic the box draws it in.
    int longest = 0;
    for (const ColorTableEntry* table : {kAnimationColorTable, kColorBoxTable})
        for (int i = 0; i < 17; ++i)
            longest = std::max(longest, fontMetrics().horizontalAdvance(tr(table[i].name)));
    QFont mark = font();
    mark.setItalic(true);
    mark.setPointSizeF(mark.pointSizeF() * 0.85);
    const int markWidth =
        QFontMetrics(mark).horizontalAdvance(tr("%1 (default)").arg(QStringLiteral("#ffffff")));
    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
    setMinimumWidth(std::max({120, 2 * (longest + 8) + arrow, 24 + 3 + markWidth + 6 + arrow}));
    view()->setMinimumWidth(2 * (longest + 8) + 8);
}

void CColorBox::Fill() {
    clear();
    for (int record = 16; record >= 0; --record) {
        insertItem(0, QString());
        setItemData(0, QVariant::fromValue<uint>(ColorOfEntry(kColorBoxTable[record])),
                    Qt::UserRole);
    }
    setCurrentIndex(-1);
}

void CColorBox::SetDefaultColor(COLORREF color) {
    m_bHasDefault = true;
    m_crDefault = color;
    setToolTip(tr("%1, the animation's own colour until you pick one").arg(ColorName(color)));
    update();
}

void CColorBox::ClearDefaultColor() {
    m_bHasDefault = false;
    setToolTip(QString());
    update();
}

QString CColorBox::ColorName(COLORREF color) {
    for (const ColorTableEntry* table : {kAnimationColorTable, kColorBoxTable})
        for (int i = 1; i < 17; ++i)
            if (ColorOfEntry(table[i]) == color)
                return tr(table[i].name);
    return ColorText(color);
}

COLORREF CColorBox::ItemColor(int index) const {
    return itemData(index, Qt::UserRole).toUInt();
}

void CColorBox::SetItemColor(int index, COLORREF color) {
    setItemData(index, QVariant::fromValue<uint>(color), Qt::UserRole);
    update();
    if (view())
        view()->viewport()->update();
}

void CColorBox::PaintEntry(QPainter* painter, const QRect& r, int index, bool selected) const {
    painter->save();
    painter->fillRect(r, Qt::white);
    painter->setPen(Qt::black);
    const int mid = r.left() + r.width() / 2;
    const QRect swatch(r.left(), r.top(), mid - r.left(), r.height());
    const QRect label(mid, r.top(), r.right() - mid + 1, r.height());
    if ((index < 0 || index >= count()) && m_bHasDefault) {
        // A narrower swatch leaves room for the mark; the name is what the
        // list would call it.
        const QRect small(r.left(), r.top(), std::max(r.width() / 5, 12), r.height());
        const QRect text(small.right() + 3, r.top(), r.right() - small.right() - 3, r.height());
        painter->fillRect(small, ToQColor(m_crDefault));
        painter->drawRect(small.adjusted(0, 0, -1, -1));
        QFont font = painter->font();
        font.setItalic(true);
        font.setPointSizeF(font.pointSizeF() * 0.85);
        painter->setFont(font);
        const QString name = tr("%1 (default)").arg(ColorName(m_crDefault));
        painter->drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                          painter->fontMetrics().elidedText(name, Qt::ElideRight, text.width()));
    } else if (index < 0 || index >= count()) {
        painter->drawText(r, Qt::AlignCenter | Qt::TextSingleLine, tr("Unassigned"));
    } else {
        const COLORREF color = ItemColor(index);
        painter->fillRect(swatch, ToQColor(color));
        if (index == 0) {
            painter->setPen(Qt::black);
            painter->drawRect(swatch.adjusted(0, 0, -1, -1));
        }
        painter->setPen(Qt::black);
        painter->drawText(label, Qt::AlignCenter | Qt::TextSingleLine,
                          tr(kColorBoxTable[index].name));
        if (selected) {
            painter->setPen(ToQColor(SelectionFrameColor(color)));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(r.adjusted(0, 0, -1, -1));
        }
    }
    painter->restore();
}

void CColorBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    PaintEntry(&painter, field, currentIndex(), false);
}
