#include "textnumber.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace corvanta {

double leadingNumber(std::string_view text) noexcept
{
    std::size_t i = 0;
    const auto at = [&](std::size_t k) {
        return k < text.size() ? text[k] : '\0';
    };
    const auto digit = [](char c) {
        return c >= '0' && c <= '9';
    };
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const std::size_t start = i;
    if (at(i) == '+' || at(i) == '-')
        ++i;
    std::size_t digits = 0;
    while (digit(at(i))) {
        ++i;
        ++digits;
    }
    if (at(i) == '.') {
        ++i;
        while (digit(at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    // An exponent counts only when digits follow it; "3e" is just 3.
    if (at(i) == 'e' || at(i) == 'E') {
        std::size_t j = i + 1;
        if (at(j) == '+' || at(j) == '-')
            ++j;
        if (digit(at(j))) {
            while (digit(at(j)))
                ++j;
            i = j;
        }
    }
    // strtod wants a terminated buffer and is locale-bound for the decimal
    // point; the accepted characters are plain ASCII, and the "C" locale is
    // what Qt programs run with for number parsing.
    const std::string part(text.substr(start, i - start));
    const double value = std::strtod(part.c_str(), nullptr);
    return std::isfinite(value) ? value
                                : (value > 0 ? std::numeric_limits<double>::max()
                                             : std::numeric_limits<double>::lowest());
}

std::int32_t roundHalfEvenToInt32(double value) noexcept
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::nearbyint(value); // default rounding mode: half to even
    if (rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(rounded);
}

bool fitsInt32(double value) noexcept
{
    return std::isfinite(value) && value == std::trunc(value) &&
           value >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
           value <= static_cast<double>(std::numeric_limits<std::int32_t>::max());
}

} // namespace corvanta
