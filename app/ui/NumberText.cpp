#include "NumberText.h"

#include <cmath>
#include <limits>

namespace corvanta {

double LeadingNumber(const QString& text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            s.append(c);
    }

    qsizetype i = 0;
    const qsizetype n = s.size();
    auto isDigit = [&](qsizetype k) {
        return k < n && s[k] >= u'0' && s[k] <= u'9';
    };

    QString number;
    if (i < n && (s[i] == u'+' || s[i] == u'-'))
        number.append(s[i++]);
    bool anyDigit = false;
    while (isDigit(i)) {
        number.append(s[i++]);
        anyDigit = true;
    }
    if (i < n && s[i] == u'.') {
        number.append(s[i++]);
        while (isDigit(i)) {
            number.append(s[i++]);
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0;
    // An exponent counts only when digits follow it: "5e" is 5, "5e2" is 500.
    if (i < n && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        qsizetype k = i + 1;
        QString exponent = QStringLiteral("e");
        if (k < n && (s[k] == u'+' || s[k] == u'-'))
            exponent.append(s[k++]);
        if (isDigit(k)) {
            while (isDigit(k))
                exponent.append(s[k++]);
            number.append(exponent);
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    return value;
}

qint32 RoundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::nearbyint(value); // default rounding mode: ties to even
    if (rounded >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (rounded <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(rounded);
}

} // namespace corvanta
