#pragma once

#include <QtGlobal>
#include <vector>

// The arithmetic behind the ColorBar's drawing, kept free of widgets so the exact
// rounding and the gradient table can be checked number by number.
namespace corvanta::colorbar {

// a / b, or 0 when b is 0: a gradient segment of no pixels has no per-pixel step.
double DivideOrZero(double a, double b);

// Painted length in pixels for `value` (0..100) on a bar `length` pixels long,
// computed as value / 100 * length and rounded half to even, the program's one
// rounding (roundHalfEvenToInt32), which the gradient's colours use as well.
int barExtent(int value, int length);

// The two gradient segments of a bar `length` pixels long. The first takes the odd
// pixel. Only meaningful when length / 2 >= 3; shorter bars are not drawn at all.
struct GradientSegments
{
    int first = 0;
    int second = 0;
};
GradientSegments gradientSegments(int length);

// Smallest length the bar draws at; below it the surface is left untouched.
inline constexpr int kMinimumDrawnLength = 6;

// One 0x00BBGGRR colour per pixel of the full length, index 0 holding pixel 1.
// The first segment runs from `start` to `mid`, the second from `mid` to `end`; each
// pixel is one step past the previous, so a segment ends exactly on its end colour.
// The per-pixel step is held in single precision, as the bar has always done, which
// decides some roundings (e.g. 255 / 50 in float is just under 5.1).
std::vector<quint32> gradientTable(int length, quint32 start, quint32 mid, quint32 end);

// State of the falling peak marker: position in pixels and the fall step (0 or 1).
struct PeakState
{
    int position = 0;
    int fallStep = 0;
};

// Advances the marker for a drawing whose extent is `extent`: it jumps to one past a
// bar that has passed it, holds for one drawing and then falls one pixel per drawing.
PeakState advancePeak(PeakState state, int extent);

} // namespace corvanta::colorbar
