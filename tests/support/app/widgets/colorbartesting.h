#pragma once

#include "colorbar.h"
#include "colorref.h"

#include <vector>

namespace corvanta::testing {

// Pixels of the bar's picture as 0x00BBGGRR values: one, a column, a row.
inline quint32 pixelAt(const ColorBar& bar, int x, int y)
{
    return colorRefFromRgb(bar.picture().pixel(x, y));
}

inline std::vector<quint32> columnOf(const ColorBar& bar, int x)
{
    std::vector<quint32> out;
    for (int y = 0; y < bar.picture().height(); ++y)
        out.push_back(pixelAt(bar, x, y));
    return out;
}

inline std::vector<quint32> rowOf(const ColorBar& bar, int y)
{
    std::vector<quint32> out;
    for (int x = 0; x < bar.picture().width(); ++x)
        out.push_back(pixelAt(bar, x, y));
    return out;
}

inline std::vector<quint32> filled(int count, quint32 color)
{
    return std::vector<quint32>(std::size_t(count), color);
}

inline quint32 backgroundOf(const ColorBar& bar)
{
    return colorRefFromColor(bar.backColor());
}

} // namespace corvanta::testing
