// The leading-number reader, fed any text. Besides not crashing: the value is
// always finite, text after the number never changes it, and rounding stays
// within half a unit wherever the value fits.

#include "fuzzcheck.h"
#include "textnumber.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const double value = leadingNumber(text);
    FUZZ_CHECK(std::isfinite(value));
    // A character that can continue no number ends it.
    FUZZ_CHECK(leadingNumber(text + "x") == value);
    FUZZ_CHECK(leadingNumber("  " + text) == value);

    const std::int32_t rounded = roundHalfEvenToInt32(value);
    if (value > -2147483648.0 && value < 2147483647.0) {
        FUZZ_CHECK(std::fabs(double(rounded) - value) <= 0.5);
        FUZZ_CHECK(fitsInt32(double(rounded)));
    }
    FUZZ_CHECK(fitsInt32(value) ==
               (value == double(std::int32_t(rounded)) && std::trunc(value) == value));
    return 0;
}
