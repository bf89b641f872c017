#pragma once

#include <QtGlobal>

namespace corvanta {

// Designs and stored geometry are in twips (1440 per inch); the screen works in
// pixels at its logical DPI.
inline constexpr int kTwipsPerInch = 1440;

inline int twipsToPixels(int twips, int dpi)
{
    return qRound(double(twips) * double(dpi) / double(kTwipsPerInch));
}

inline int pixelsToTwips(int pixels, int dpi)
{
    return dpi > 0 ? qRound(double(pixels) * double(kTwipsPerInch) / double(dpi)) : 0;
}

} // namespace corvanta
