#pragma once

#include <QString>

namespace corvanta {

// Reads the leading numeric part of a text the way the command boxes need it:
// blanks, tabs and line feeds anywhere are ignored and "d" may stand for the
// exponent mark; the number itself is read by leadingNumber() in cv_textnum
// ("12abc" reads 12). A text that does not begin with a number, or whose
// number does not fit a double, reads 0. Rounding is roundHalfEvenToInt32().
double LeadingNumber(const QString& text);

} // namespace corvanta
