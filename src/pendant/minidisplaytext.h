#pragma once

#include <QString>

namespace tarvisk {

// The escape character that introduces a display symbol inside a display text.
constexpr char16_t DisplayEscape = 0x1B;

// Replaces every escape pair (escape + one character) by its display symbol; a character
// without a symbol is kept and only the escape goes. Throws ProvError (invalid argument) when
// the text ends in an escape.
QString expandDisplayEscapes(const QString &text);

// Narrow to wide: U+0021..U+007E to U+FF01..U+FF5E, the space to U+3000, half-width katakana
// and punctuation to their full-width forms, a half-width kana followed by a half-width
// (semi-)voiced mark to the one voiced kana. Everything else is kept.
QString toWideCharacters(const QString &text);

} // namespace tarvisk
