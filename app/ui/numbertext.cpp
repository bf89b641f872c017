#include "numbertext.h"

#include "textnumber.h"

#include <cmath>
#include <limits>

namespace corvanta {

double LeadingNumber(const QString& text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        // "d" only matters right after the digits, where it marks the
        // exponent just as "e" does; anywhere else both end the number.
        s.append(c == u'd' || c == u'D' ? QChar(u'e') : c);
    }
    // Only ASCII characters can be part of the number, so the UTF-8 form
    // stops the reading at the same place the typed text would.
    const double value = leadingNumber(s.toStdString());
    return std::abs(value) == std::numeric_limits<double>::max() ? 0 : value;
}

} // namespace corvanta
