#include "elapsedtime.h"

namespace corvanta {

QString formatElapsedTime(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const qint64 hours = seconds / 3600;
    const qint64 minutes = (seconds / 60) % 60;
    const qint64 secs = seconds % 60;
    const auto field = [](qint64 n) {
        return QString::number(n).rightJustified(2, QLatin1Char('0'));
    };
    return field(hours) + QLatin1Char(':') + field(minutes) + QLatin1Char(':') + field(secs);
}

} // namespace corvanta
