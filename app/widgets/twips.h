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

// Converts between stored twips and device-independent pixels at a given
// logical DPI. The window's stored geometry stays in twips whatever the
// screen, so a position written on one screen reads sensibly on another.
// Unlike twipsToPixels() it takes a fractional DPI and keeps the pixel
// result within +-1e7, since stored values come from a file a user may edit.
class Twips final
{
public:
    // A DPI of 0 or less stands for 96.
    explicit Twips(double logicalDpi);
    // The logical DPI of the primary screen (96 when there is none).
    static Twips ForPrimaryScreen();

    int ToPixels(double twips) const;
    double FromPixels(int pixels) const;
    double Dpi() const { return m_dpi; }

private:
    double m_dpi;
};

} // namespace corvanta
