#pragma once

#include <QColor>
#include <QtGlobal>

namespace corvanta {

// Colours travel through the program as 32-bit values laid out 0x00BBGGRR (red in
// the lowest byte). The top byte carries nothing and is ignored on the way in.
inline constexpr int colorRefRed(quint32 colorRef)
{
    return int(colorRef & 0xFFu);
}
inline constexpr int colorRefGreen(quint32 colorRef)
{
    return int((colorRef & 0xFF00u) / 256u);
}
inline constexpr int colorRefBlue(quint32 colorRef)
{
    return int((colorRef & 0xFF0000u) / 65536u);
}

inline constexpr quint32 makeColorRef(int red, int green, int blue)
{
    return quint32(red & 0xFF) + quint32(green & 0xFF) * 256u + quint32(blue & 0xFF) * 65536u;
}

inline QRgb rgbFromColorRef(quint32 colorRef)
{
    return qRgb(colorRefRed(colorRef), colorRefGreen(colorRef), colorRefBlue(colorRef));
}

inline QColor colorFromColorRef(quint32 colorRef)
{
    return QColor(rgbFromColorRef(colorRef));
}

inline quint32 colorRefFromRgb(QRgb rgb)
{
    return makeColorRef(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

inline quint32 colorRefFromColor(const QColor& color)
{
    return colorRefFromRgb(color.rgb());
}

} // namespace corvanta
