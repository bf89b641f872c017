#pragma once

#include <QString>

namespace corvanta {

// Reads the leading numeric part of a text the way the command boxes need it:
// blanks, tabs and line feeds anywhere are ignored, then an optional sign,
// digits, an optional fraction and an optional exponent are taken and the rest
// is dropped ("12abc" reads 12). A text that does not begin with a number reads 0.
double LeadingNumber(const QString& text);

// Rounds to the nearest whole number, a half going to the even neighbour
// (2.5 -> 2, 3.5 -> 4). Values beyond the 32-bit range are clamped to it.
qint32 RoundHalfEven(double value);

} // namespace corvanta
