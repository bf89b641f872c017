#include "commandicons.h"

#include "commandids.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace corvanta {

namespace {

constexpr int kSide = 16;

QImage Blank()
{
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void DrawFolder(QPainter& p)
{
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 4, 13, 10);
    p.drawRect(1, 2, 5, 2);
    p.setBrush(QColor(255, 225, 120));
    p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 14), QPoint(1, 14)}));
}

void DrawDisk(QPainter& p)
{
    p.setPen(QColor(20, 40, 110));
    p.setBrush(QColor(50, 90, 190));
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(4, 9, 7, 5);
}

void DrawExit(QPainter& p)
{
    p.setPen(QColor(90, 60, 30));
    p.setBrush(QColor(170, 120, 70));
    p.drawRect(2, 1, 8, 14);
    p.setPen(QPen(QColor(200, 30, 30), 2));
    p.drawLine(9, 8, 15, 8);
    p.drawLine(12, 5, 15, 8);
    p.drawLine(12, 11, 15, 8);
}

void DrawPlus(QPainter& p)
{
    p.setPen(QColor(20, 100, 20));
    p.setBrush(QColor(60, 170, 60));
    p.drawPolygon(QPolygon({QPoint(6, 1), QPoint(9, 1), QPoint(9, 6), QPoint(14, 6), QPoint(14, 9),
                            QPoint(9, 9), QPoint(9, 14), QPoint(6, 14), QPoint(6, 9), QPoint(1, 9),
                            QPoint(1, 6), QPoint(6, 6)}));
}

void DrawStart(QPainter& p)
{
    p.setPen(QColor(10, 100, 10));
    p.setBrush(QColor(40, 170, 40));
    p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(14, 8), QPoint(3, 15)}));
}

void DrawPause(QPainter& p)
{
    p.setPen(QColor(30, 60, 120));
    p.setBrush(QColor(70, 110, 200));
    p.drawRect(3, 2, 3, 12);
    p.drawRect(10, 2, 3, 12);
}

void DrawStop(QPainter& p)
{
    p.setPen(QColor(120, 10, 10));
    p.setBrush(QColor(210, 40, 40));
    p.drawRect(2, 2, 11, 11);
}

void DrawRetry(QPainter& p)
{
    p.setPen(QPen(QColor(30, 120, 160), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(2, 2, 12, 12), 60 * 16, 280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 120, 160));
    p.drawPolygon(QPolygon({QPoint(9, 0), QPoint(14, 3), QPoint(9, 6)}));
}

void DrawGear(QPainter& p)
{
    p.setPen(QColor(70, 70, 80));
    p.setBrush(QColor(150, 150, 165));
    const QPointF centre(7.5, 7.5);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(i * 45.0);
        p.drawRect(QRectF(-1.5, -7.5, 3, 4));
        p.restore();
    }
    p.drawEllipse(centre, 5, 5);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 2, 2);
}

void DrawInfo(QPainter& p)
{
    p.setPen(QColor(20, 60, 140));
    p.setBrush(QColor(60, 120, 220));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(7, 7, 2, 6);
    p.drawRect(7, 3, 2, 2);
}

void DrawHourglass(QPainter& p)
{
    p.setPen(QColor(0, 0, 160));
    p.setBrush(QColor(120, 150, 255));
    p.drawPolygon(QPolygon(
        {QPoint(3, 1), QPoint(12, 1), QPoint(8, 8), QPoint(12, 14), QPoint(3, 14), QPoint(7, 8)}));
}

void DrawCheck(QPainter& p)
{
    p.setPen(QPen(QColor(0, 130, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygon({QPoint(2, 8), QPoint(6, 12), QPoint(14, 3)}));
}

void DrawCross(QPainter& p)
{
    p.setPen(QPen(QColor(220, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(3, 3, 12, 12);
    p.drawLine(12, 3, 3, 12);
}

QImage Draw(void (*painter)(QPainter&))
{
    QImage image = Blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    painter(p);
    p.end();
    return image;
}

} // namespace

QImage DrawCommandImage(int commandId)
{
    switch (commandId) {
    case CmdOpen:
        return Draw(DrawFolder);
    case CmdSave:
        return Draw(DrawDisk);
    case CmdExit:
        return Draw(DrawExit);
    case CmdAdd:
        return Draw(DrawPlus);
    case CmdStart:
        return Draw(DrawStart);
    case CmdPause:
        return Draw(DrawPause);
    case CmdStop:
        return Draw(DrawStop);
    case CmdRetry:
        return Draw(DrawRetry);
    case CmdSetup:
        return Draw(DrawGear);
    case CmdAbout:
        return Draw(DrawInfo);
    default:
        return {};
    }
}

QImage DrawReportImage(int iconNumber)
{
    switch (iconNumber) {
    case 1:
        return Draw(DrawHourglass);
    case 2:
        return Draw(DrawCheck);
    case 3:
        return Draw(DrawCross);
    default:
        return {};
    }
}

namespace {
QIcon Cached(QHash<int, QIcon>& cache, int key, QImage (*draw)(int))
{
    auto it = cache.find(key);
    if (it == cache.end()) {
        const QImage image = draw(key);
        it = cache.insert(key, image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image)));
    }
    return *it;
}
} // namespace

QIcon CommandIcon(int commandId)
{
    static QHash<int, QIcon> cache;
    return Cached(cache, commandId, DrawCommandImage);
}

QIcon ReportIcon(int iconNumber)
{
    static QHash<int, QIcon> cache;
    return Cached(cache, iconNumber, DrawReportImage);
}

} // namespace corvanta
