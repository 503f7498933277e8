#pragma once

#include "common/variant.h"

namespace tarvisk::screens {

// A controller's menu screen: cleared by a background box, an inverted title, entries with the
// chosen one inverted, a framed entry, a scroll box with its thumb, a status line with symbols.
Variant menuScreen();

// The fifteen escape symbols, the digits, widened half-width kana, framed kanji and light text
// on black, and a slanted line.
Variant symbolScreen();

} // namespace tarvisk::screens
