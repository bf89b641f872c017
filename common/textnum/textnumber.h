#pragma once

#include <cstdint>
#include <string_view>

namespace corvanta {

// How the program reads a number out of text that a person typed or that a
// settings file holds: the leading numeric part counts and the rest is
// ignored ("12abc" is 12, "2.5 s" is 2.5); text that does not begin with a
// number reads as 0. Leading blanks are skipped. An optional sign, digits, a
// decimal point and an exponent ("1e3") are understood. The decimal mark is
// the point in every locale, so "2.5" never reads as 2 on a German desktop.
double leadingNumber(std::string_view text) noexcept;

// Rounds to the nearest whole number with halves going to the even
// neighbour (2.5 -> 2, 3.5 -> 4), then clamps into the 32-bit range so that
// an absurd value typed by a user cannot overflow. NaN reads as 0.
std::int32_t roundHalfEvenToInt32(double value) noexcept;

// True when `value` is a whole number inside the 32-bit range, so a stored
// setting can be told apart from one that does not fit its type.
bool fitsInt32(double value) noexcept;

} // namespace corvanta
