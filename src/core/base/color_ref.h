// Colour values as the page and the dialogs exchange them: 0x00BBGGRR, red in
// the low byte, and their "#rrggbb" text.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

using COLORREF = std::uint32_t;

constexpr COLORREF MakeColorRef(int red, int green, int blue) {
    return COLORREF(red & 0xFF) | (COLORREF(green & 0xFF) << 8) | (COLORREF(blue & 0xFF) << 16);
}
constexpr int RedOf(COLORREF c) {
    return int(c & 0xFF);
}
constexpr int GreenOf(COLORREF c) {
    return int((c >> 8) & 0xFF);
}
constexpr int BlueOf(COLORREF c) {
    return int((c >> 16) & 0xFF);
}

// "#" + red, green, blue as two lower-case hexadecimal digits each.
QString ColorText(COLORREF color);

// Strict reading of "#rrggbb" (either case); nothing else is accepted.
std::optional<COLORREF> ParseColorText(const QString& text);
