#include "registryvalue.h"

#include <charconv>
#include <cmath>

namespace corvanta {

namespace {

template <typename Real> std::string realText(Real x)
{
    if (std::isnan(x))
        return "NaN";
    if (std::isinf(x))
        return x < 0 ? "-Infinity" : "Infinity";
    char buf[400];
    // Fixed notation keeps window geometry readable ("11685", not "1.1685e+04");
    // very large magnitudes fall back to the shortest round-trip form.
    const auto fmt =
        std::fabs(x) < Real(1e15) ? std::chars_format::fixed : std::chars_format::general;
    const auto res = std::to_chars(buf, buf + sizeof buf, x, fmt);
    return std::string(buf, res.ptr);
}

} // namespace

std::string ValueText(const RegValue& value)
{
    struct Visitor
    {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(std::int16_t v) const { return std::to_string(v); }
        std::string operator()(std::int32_t v) const { return std::to_string(v); }
        std::string operator()(float v) const { return realText(v); }
        std::string operator()(double v) const { return realText(v); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const ByteArray& b) const { return std::string(b.begin(), b.end()); }
    };
    return std::visit(Visitor{}, value);
}

} // namespace corvanta
