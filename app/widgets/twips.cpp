#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace corvanta {

Twips::Twips(double logicalDpi) : m_dpi(logicalDpi > 0 ? logicalDpi : 96.0) {}

Twips Twips::ForPrimaryScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return Twips(screen ? screen->logicalDotsPerInch() : 96.0);
}

int Twips::ToPixels(double twips) const
{
    const double pixels = twips * m_dpi / double(kTwipsPerInch);
    // Stored values come from a text file the user may edit: keep them in range.
    return int(std::clamp(std::round(pixels), -1e7, 1e7));
}

double Twips::FromPixels(int pixels) const
{
    return double(pixels) * double(kTwipsPerInch) / m_dpi;
}

} // namespace corvanta
