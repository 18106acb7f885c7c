// How the dialogs read numbers out of what the user typed: like the C
// library's atoi, so "12abc" is 12 and text without digits is 0.
#pragma once

#include <QString>

// Leading blanks are skipped, an optional sign is taken, then the decimal
// digits up to the first other character. Only the first maxChars characters
// are looked at (-1: all). Results beyond the range of int saturate.
int AtoiText(const QString& text, int maxChars = -1);
