#include "textnumber.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <unistd.h>

using corvanta::fitsInt32;
using corvanta::leadingNumber;
using corvanta::roundHalfEvenToInt32;

namespace {

// Switches the C library's numbers to German, where the decimal mark is a
// comma, as a desktop set to that language does once Qt has started. A
// machine without the compiled locale gets one built from the system's
// locale sources into a private folder. Returns false when neither works.
bool useCommaLocale()
{
    const char* name = "de_DE.UTF-8";
    if (std::setlocale(LC_NUMERIC, name))
        return true;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("textnumber_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string build = "localedef -i de_DE -f UTF-8 '" + (dir / name).string() + "'";
    if (std::system(build.c_str()) != 0)
        return false;
    ::setenv("LOCPATH", dir.c_str(), 1);
    const bool ok = std::setlocale(LC_NUMERIC, name) != nullptr;
    ::unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
    return ok;
}

void expectLeadingNumbers()
{
    constexpr double max = std::numeric_limits<double>::max();
    const std::pair<const char*, double> cases[] = {
        {"12abc", 12},  {"  2.5 seconds", 2.5},
        {"-3", -3},     {"+7x", 7},
        {".5", 0.5},    {"1e3", 1000},
        {"3e", 3},      {"3e+x", 3}, // an exponent without digits is not one
        {"", 0},        {"abc", 0},
        {"-", 0},       {".", 0},
        {"0x10", 0},                      // no hexadecimal: "0" then letters
        {"1e999", max}, {"-1e999", -max}, // huge exponents stay finite
        {"1e-999", 0},  {"2,5", 2},       // a comma is no decimal mark
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(leadingNumber(text), expected) << text;
}

} // namespace

TEST(LeadingNumber, TakesTheLeadingNumericPartOnlyInEveryLocale)
{
    for (const bool comma : {false, true}) {
        if (comma) {
            ASSERT_TRUE(useCommaLocale()) << "no comma locale (install the 'locales' package)";
            ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
        }
        SCOPED_TRACE(comma ? "comma locale" : "C locale");
        expectLeadingNumbers();
    }
    std::setlocale(LC_NUMERIC, "C");
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbourAndNothingOverflows)
{
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
    const std::pair<double, std::int32_t> cases[] = {
        {2.5, 2}, {3.5, 4},    {-2.5, -2},   {2.51, 3},
        {0.5, 0}, {1e20, max}, {-1e20, min}, {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(roundHalfEvenToInt32(value), expected) << value;
    EXPECT_TRUE(fitsInt32(2147483647.0));
    EXPECT_FALSE(fitsInt32(2147483648.0));
    EXPECT_FALSE(fitsInt32(2.5));
}
