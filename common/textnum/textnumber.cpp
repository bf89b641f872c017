#include "textnumber.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

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
    // from_chars takes a minus sign but no plus sign.
    const bool negative = at(i) == '-';
    if (at(i) == '+' || at(i) == '-')
        ++i;
    const std::size_t start = i;
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
    bool tiny = false;
    if (at(i) == 'e' || at(i) == 'E') {
        std::size_t j = i + 1;
        tiny = at(j) == '-';
        if (at(j) == '+' || at(j) == '-')
            ++j;
        if (digit(at(j))) {
            while (digit(at(j)))
                ++j;
            i = j;
        }
    }
    // from_chars reads a point as the decimal mark whatever the user's
    // locale says, as a stored setting or a typed "2.5" means it.
    double value = 0.0;
    const char* first = text.data() + start;
    const auto [end, error] = std::from_chars(first, text.data() + i, value);
    (void)end;
    if (error == std::errc::result_out_of_range)
        value = tiny ? 0.0 : std::numeric_limits<double>::max(); // huge values stay finite
    return negative ? -value : value;
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
