#include "statusicons.h"

#include <QPainter>
#include <QPainterPath>

namespace corvanta {

namespace {

constexpr int kIconSize = 16;

QPixmap badge(const QColor& fill, const QColor& rim, const QPainterPath& mark)
{
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(rim, 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(0.5, 0.5, kIconSize - 1.0, kIconSize - 1.0));
    painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(mark);
    return pixmap;
}

} // namespace

QPixmap onlineIcon()
{
    QPainterPath tick;
    tick.moveTo(4.5, 8.5);
    tick.lineTo(7.0, 11.0);
    tick.lineTo(11.5, 5.0);
    return badge(QColor(0x2e, 0xa0, 0x43), QColor(0x1b, 0x6b, 0x2a), tick);
}

QPixmap offlineIcon()
{
    QPainterPath cross;
    cross.moveTo(5.0, 5.0);
    cross.lineTo(11.0, 11.0);
    cross.moveTo(11.0, 5.0);
    cross.lineTo(5.0, 11.0);
    return badge(QColor(0xd0, 0x2b, 0x2b), QColor(0x8a, 0x16, 0x16), cross);
}

} // namespace corvanta
