#include "ui/controls/color_box.h"
#include "ui/controls/dialog_text.h"

#include <QAbstractItemView>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

TEST(ColorBox, FillsSeventeenEntriesWithNothingSelected) {
    CColorBox box;
    box.Fill();
    ASSERT_EQ(box.count(), 17);
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.ItemColor(0), 0xFFFFFFu);  // Custom... starts white
    EXPECT_EQ(box.ItemColor(2), 0x000000u);  // Black: a pure black swatch
    EXPECT_EQ(box.ItemColor(3), 0x0000FFu);  // Red as COLORREF
    EXPECT_EQ(box.ItemColor(16), 0x808000u); // Teal
    EXPECT_STREQ(kColorBoxTable[11].name, "Marron");
    EXPECT_EQ(ColorOfEntry(kColorBoxTable[2]), 0x000000u);
    EXPECT_EQ(ColorOfEntry(kAnimationColorTable[2]), 0x0F0F0Fu);
    const QSize row =
        box.view()->itemDelegate()->sizeHint(QStyleOptionViewItem(), box.model()->index(5, 0));
    EXPECT_EQ(row.height(), 20);
}

TEST(ColorBox, PaintsSwatchFrameAndName) {
    CColorBox box;
    box.Fill();
    box.resize(160, 24);
    QImage image(160, 20, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QPainter painter(&image);
    box.PaintEntry(&painter, QRect(0, 0, 160, 20), 7, true); // Yellow, selected
    painter.end();
    EXPECT_EQ(image.pixel(40, 10), qRgb(255, 255, 0));
    EXPECT_EQ(image.pixel(0, 10), qRgb(0, 0, 255)); // inverse-colour frame
    EXPECT_EQ(CColorBox::SelectionFrameColor(0x00FFFF), 0xFF0000u);

    box.SetItemColor(0, MakeColorRef(0, 128, 0));
    QImage custom(160, 20, QImage::Format_RGB32);
    QPainter p2(&custom);
    box.PaintEntry(&p2, QRect(0, 0, 160, 20), 0, false);
    p2.end();
    EXPECT_EQ(custom.pixel(0, 0), qRgb(0, 0, 0)); // the black frame
    EXPECT_EQ(custom.pixel(40, 10), qRgb(0, 128, 0));
    bool dark = false; // some text in the right half
    for (int x = 80; x < 160; ++x)
        for (int y = 0; y < 20; ++y)
            dark |= qGray(custom.pixel(x, y)) < 100;
    EXPECT_TRUE(dark);
}

TEST(DialogText, ReadsLikeAtoi) {
    EXPECT_EQ(AtoiText(QStringLiteral("12abc")), 12);
    EXPECT_EQ(AtoiText(QStringLiteral("abc")), 0);
    EXPECT_EQ(AtoiText(QString()), 0);
    EXPECT_EQ(AtoiText(QStringLiteral("  -7x")), -7);
    EXPECT_EQ(AtoiText(QStringLiteral("+30")), 30);
    EXPECT_EQ(AtoiText(QStringLiteral("1234567890"), 9), 123456789);
    EXPECT_EQ(AtoiText(QStringLiteral("99999999999")), 2147483647);
    EXPECT_EQ(AtoiText(QStringLiteral("- 5")), 0);
}

} // namespace

TEST(ColorBox, ShowsTheDefaultColourUntilOneIsPicked) {
    CColorBox box;
    box.Fill();
    auto paintClosed = [&box] {
        QImage image(160, 20, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QPainter painter(&image);
        box.PaintEntry(&painter, QRect(0, 0, 160, 20), box.currentIndex(), false);
        return image;
    };
    // Without a default the box shows "Unassigned": no swatch on the left.
    EXPECT_EQ(paintClosed().pixel(40, 10), qRgb(255, 255, 255));
    box.SetDefaultColor(MakeColorRef(255, 0, 0));
    EXPECT_TRUE(box.HasDefaultColor());
    EXPECT_EQ(paintClosed().pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(CColorBox::ColorName(MakeColorRef(255, 0, 0)), QStringLiteral("Red"));
    EXPECT_EQ(CColorBox::ColorName(MakeColorRef(1, 2, 3)), QStringLiteral("#010203"));
    // A pick replaces the default in the closed box.
    box.setCurrentIndex(7); // Yellow
    EXPECT_EQ(paintClosed().pixel(40, 10), qRgb(255, 255, 0));
}
