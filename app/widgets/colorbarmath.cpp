#include "colorbarmath.h"

#include "colorref.h"
#include "textnumber.h"

namespace corvanta::colorbar {

double DivideOrZero(double a, double b)
{
    if (b == 0.0)
        return 0.0;
    return a / b;
}

int barExtent(int value, int length)
{
    // Evaluated left to right in double precision: value / 100 first, then times the
    // length, so the halves land where they always have (e.g. 50 % of 101 is 50).
    return roundHalfEvenToInt32(double(value) / 100.0 * double(length));
}

GradientSegments gradientSegments(int length)
{
    const int half = length / 2;
    if (half <= 0)
        return {length, 0};
    return {half + length % half, half};
}

namespace {

// Fills `count` entries of `table` from `at`, from one past `from` to exactly `to`.
void fillSegment(std::vector<quint32>& table, std::size_t at, int count, quint32 from, quint32 to)
{
    const int r0 = colorRefRed(from);
    const int g0 = colorRefGreen(from);
    const int b0 = colorRefBlue(from);
    const float stepR = static_cast<float>(DivideOrZero(colorRefRed(to) - r0, count));
    const float stepG = static_cast<float>(DivideOrZero(colorRefGreen(to) - g0, count));
    const float stepB = static_cast<float>(DivideOrZero(colorRefBlue(to) - b0, count));
    for (int j = 1; j <= count; ++j) {
        const auto red = roundHalfEvenToInt32(r0 + double(stepR) * j);
        const auto green = roundHalfEvenToInt32(g0 + double(stepG) * j);
        const auto blue = roundHalfEvenToInt32(b0 + double(stepB) * j);
        table[at + std::size_t(j - 1)] = makeColorRef(int(red), int(green), int(blue));
    }
}

} // namespace

std::vector<quint32> gradientTable(int length, quint32 start, quint32 mid, quint32 end)
{
    if (length <= 0)
        return {};
    std::vector<quint32> table(std::size_t(length), start);
    const GradientSegments segments = gradientSegments(length);
    fillSegment(table, 0, segments.first, start, mid);
    fillSegment(table, std::size_t(segments.first), segments.second, mid, end);
    return table;
}

PeakState advancePeak(PeakState state, int extent)
{
    if (extent > state.position)
        return {extent + 1, 0};
    state.position -= state.fallStep;
    state.fallStep += 1;
    if (state.fallStep == 2)
        state.fallStep = 1;
    return state;
}

} // namespace corvanta::colorbar
