#pragma once

#include <QString>

namespace tarvisk {

// The number a text begins with, read the way the platform's numeric-value function reads it:
// blanks, tabs and line feeds are ignored wherever they stand; then an optional sign, digits, an
// optional decimal point with digits and an optional exponent (E or D, optional sign, digits), up to
// the first character that does not fit. "&H" followed by hexadecimal digits or "&O" followed by
// octal digits reads as a whole number (up to 32 bits as a signed 32-bit value, so &HFFFFFFFF is -1).
// A text that does not begin with a number gives 0. Very large numbers give an infinity.
double leadingNumber(const QString &text);

} // namespace tarvisk
