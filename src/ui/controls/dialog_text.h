// How the dialogs read numbers out of what the user typed: like the C
// library's atoi, so "12abc" is 12 and text without digits is 0.
#pragma once

#include <QString>

class QWidget;

// Leading blanks are skipped, an optional sign is taken, then the decimal
// digits up to the first other character. Only the first maxChars characters
// are looked at (-1: all). Results beyond the range of int saturate.
int AtoiText(const QString& text, int maxChars = -1);

// Widens a window, before it is shown, so that the window manager's title
// bar has room for the whole caption beside its buttons (window managers
// elide a caption in the middle, "Rectangl... ll Pattern").
void MakeRoomForTitle(QWidget* window);
