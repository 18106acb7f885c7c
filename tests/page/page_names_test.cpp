#include "core/base/color_ref.h"
#include "core/page/page_names.h"

#include <gtest/gtest.h>

namespace {

TEST(PageNames, FolderAndBaseWithEitherSeparator) {
    EXPECT_EQ(FolderOf(QStringLiteral("C:\\pages\\shop.htm")), QStringLiteral("C:\\pages\\"));
    EXPECT_EQ(BaseNameOf(QStringLiteral("C:\\pages\\shop.htm")), QStringLiteral("shop"));
    EXPECT_EQ(FolderOf(QStringLiteral("/srv/www/shop.v2.htm")), QStringLiteral("/srv/www/"));
    EXPECT_EQ(BaseNameOf(QStringLiteral("/srv/www/shop.v2.htm")), QStringLiteral("shop.v2"));
    EXPECT_EQ(FolderOf(QStringLiteral("/mixed\\dir/name")), QStringLiteral("/mixed\\dir/"));
    EXPECT_EQ(BaseNameOf(QStringLiteral("/a.d/name")), QStringLiteral("name"));
    EXPECT_EQ(FolderOf(QStringLiteral("bare.htm")), QString());
}

TEST(ColorText, LowerCaseRedGreenBlue) {
    EXPECT_EQ(ColorText(0xFFFFFF), QStringLiteral("#ffffff"));
    EXPECT_EQ(ColorText(0x0000FF), QStringLiteral("#ff0000"));
    EXPECT_EQ(ColorText(0x00010203), QStringLiteral("#030201"));
    EXPECT_EQ(ParseColorText(QStringLiteral("#0F0F0F")), std::optional<COLORREF>(0x0F0F0F));
    EXPECT_EQ(ParseColorText(QStringLiteral("#ff0000")), std::optional<COLORREF>(0x0000FF));
    for (const char* bad : {"", "#", "ff0000", "#ff000", "#ff00000", "#gg0000", "# f0000"})
        EXPECT_FALSE(ParseColorText(QLatin1String(bad))) << bad;
}

} // namespace
