#include "colorbar.h"

#include "colorbarmath.h"
#include "colorref.h"
#include "propertystore.h"
#include "textnumber.h"
#include "twips.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>

namespace corvanta {

namespace {

constexpr quint32 kDefaultForeColor = 0xFFFF00;
constexpr quint32 kDefaultEndColor = 0x0000FF;
constexpr quint32 kDefaultMidColor = 0x00FFFF;
constexpr quint32 kDefaultStartColor = 0x00FF00;
constexpr quint32 kDefaultPeakColor = 0x0000FF;

// Standard size for each orientation, in twips: long side and short side.
constexpr int kLongSideTwips = 1200;
constexpr int kShortSideTwips = 180;

int readInt(const IPropertyStore& store, const char* name, int fallback)
{
    bool ok = false;
    const int value = store.readProperty(QString::fromLatin1(name), fallback).toInt(&ok);
    return ok ? value : fallback;
}

quint32 readColor(const IPropertyStore& store, const char* name, quint32 fallback)
{
    bool ok = false;
    const uint value = store.readProperty(QString::fromLatin1(name), fallback).toUInt(&ok);
    return ok ? value : fallback;
}

bool readBool(const IPropertyStore& store, const char* name, bool fallback)
{
    const QVariant value = store.readProperty(QString::fromLatin1(name), fallback);
    return value.canConvert<bool>() ? value.toBool() : fallback;
}

} // namespace

ColorBar::ColorBar(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_backColor = palette().color(QPalette::Window);
    matchSurfaceToWidget();
    setBorderStyle(kBorderNone);
    setForeColor(kDefaultForeColor);
    setGradientEndColor(kDefaultEndColor);
    setGradientMidColor(kDefaultMidColor);
    setGradientStartColor(kDefaultStartColor);
    setGradientType(0);
    setPeakColor(kDefaultPeakColor);
}

void ColorBar::setBorderStyle(int style)
{
    m_borderStyle = static_cast<qint16>(style);
    // The border eats into the surface; the picture stays where it is and is only
    // drawn again by the next property write or resize.
    matchSurfaceToWidget();
    update();
    emit propertyChanged(QStringLiteral("BorderStyle"));
}

void ColorBar::setForeColor(quint32 color)
{
    m_foreColor = color;
    emit propertyChanged(QStringLiteral("ForeColor"));
    DrawBar();
}

void ColorBar::setGradientEndColor(quint32 color)
{
    m_gradientEndColor = color;
    emit propertyChanged(QStringLiteral("GradientEndColor"));
    DrawBar();
}

void ColorBar::setGradientMidColor(quint32 color)
{
    m_gradientMidColor = color;
    emit propertyChanged(QStringLiteral("GradientMidColor"));
    DrawBar();
}

void ColorBar::setGradientStartColor(quint32 color)
{
    m_gradientStartColor = color;
    emit propertyChanged(QStringLiteral("GradientStartColor"));
    DrawBar();
}

void ColorBar::setGradientType(int type)
{
    m_gradientType = type;
    emit propertyChanged(QStringLiteral("GradientType"));
}

void ColorBar::setLocked(bool locked)
{
    m_locked = locked;
    emit propertyChanged(QStringLiteral("Locked"));
}

void ColorBar::setOrientation(int orientation)
{
    m_orientation = orientation;
    emit propertyChanged(QStringLiteral("Orientation"));
    if (orientation == kHorizontal)
        resize(twipsToPixels(kLongSideTwips, logicalDpiX()),
               twipsToPixels(kShortSideTwips, logicalDpiY()));
    else if (orientation == kVertical)
        resize(twipsToPixels(kShortSideTwips, logicalDpiX()),
               twipsToPixels(kLongSideTwips, logicalDpiY()));
    DrawBar();
}

void ColorBar::setPeakColor(quint32 color)
{
    m_peakColor = color;
    emit propertyChanged(QStringLiteral("PeakColor"));
}

void ColorBar::setSegmented(bool segmented)
{
    m_segmented = segmented;
    emit propertyChanged(QStringLiteral("Segmented"));
    DrawBar();
}

void ColorBar::setUseGradient(bool useGradient)
{
    m_useGradient = useGradient;
    emit propertyChanged(QStringLiteral("UseGradient"));
    DrawBar();
}

void ColorBar::setUsePeaks(bool usePeaks)
{
    m_usePeaks = usePeaks;
    if (!usePeaks) {
        m_peakPosition = 0;
        setPeakValue(0);
    }
    emit propertyChanged(QStringLiteral("UsePeaks"));
    DrawBar();
}

void ColorBar::setValue(int value)
{
    if (value > 100)
        return;
    if (value < 1) {
        resetBar();
        return;
    }
    m_value = value;
    const QPointer<ColorBar> self(this);
    DrawBar();
    // The drawing lets events run; one of them may have destroyed the bar.
    if (!self)
        return;
    emit propertyChanged(QStringLiteral("Value"));
    emit ValueChange(value);
}

void ColorBar::resetBar()
{
    m_value = 0;
    m_extent = 0;
    m_peakPosition = 0;
    m_fallStep = 0;
    setPeakValue(0);
    matchSurfaceToWidget();
    m_surface.fill(m_backColor);
    m_picture = m_surface;
    update();
}

void ColorBar::setPeakValue(int peakValue)
{
    m_peakValue = peakValue;
    emit propertyChanged(QStringLiteral("PeakValue"));
}

void ColorBar::readProperties(const IPropertyStore& store)
{
    setBorderStyle(readInt(store, "BorderStyle", kBorderNone));
    setForeColor(readColor(store, "ForeColor", kDefaultForeColor));
    setGradientEndColor(readColor(store, "GradientEndColor", kDefaultEndColor));
    setGradientMidColor(readColor(store, "GradientMidColor", kDefaultMidColor));
    setGradientStartColor(readColor(store, "GradientStartColor", kDefaultStartColor));
    setGradientType(readInt(store, "GradientType", 0));
    // A saved bar is locked unless its form says otherwise: bars placed on a form
    // show progress, they are not input controls.
    setLocked(readBool(store, "Locked", true));
    setOrientation(readInt(store, "Orientation", kHorizontal));
    setPeakColor(readColor(store, "PeakColor", kDefaultPeakColor));
    setSegmented(readBool(store, "Segmented", false));
    setUseGradient(readBool(store, "UseGradient", false));
    setUsePeaks(readBool(store, "UsePeaks", false));
    setValue(readInt(store, "Value", 0));
    setPeakValue(0);
}

void ColorBar::writeProperties(IPropertyStore& store) const
{
    store.writeProperty(QStringLiteral("BorderStyle"), int(m_borderStyle), kBorderNone);
    store.writeProperty(QStringLiteral("ForeColor"), m_foreColor, kDefaultForeColor);
    store.writeProperty(QStringLiteral("GradientEndColor"), m_gradientEndColor, kDefaultEndColor);
    store.writeProperty(QStringLiteral("GradientMidColor"), m_gradientMidColor, kDefaultMidColor);
    store.writeProperty(QStringLiteral("GradientStartColor"), m_gradientStartColor,
                        kDefaultStartColor);
    store.writeProperty(QStringLiteral("GradientType"), m_gradientType, 0);
    store.writeProperty(QStringLiteral("Locked"), m_locked, true);
    store.writeProperty(QStringLiteral("Orientation"), m_orientation, kHorizontal);
    store.writeProperty(QStringLiteral("PeakColor"), m_peakColor, kDefaultPeakColor);
    store.writeProperty(QStringLiteral("Segmented"), m_segmented, false);
    store.writeProperty(QStringLiteral("UseGradient"), m_useGradient, false);
    store.writeProperty(QStringLiteral("UsePeaks"), m_usePeaks, false);
    store.writeProperty(QStringLiteral("Value"), m_value, 0);
}

void ColorBar::ambientPropertyChanged(const QString& name)
{
    if (name == QLatin1String("BackColor"))
        m_backColor = containerBackColor();
    DrawBar();
}

QColor ColorBar::containerBackColor() const
{
    if (const QWidget* container = parentWidget())
        return container->palette().color(container->backgroundRole());
    return palette().color(QPalette::Window);
}

void ColorBar::setValueFromPointer(double computed)
{
    // Mouse positions far outside the bar must not wrap around into a valid value.
    setValue(roundHalfEvenToInt32(std::clamp(computed, -1.0e6, 1.0e6)));
}

void ColorBar::mouseMoveEvent(QMouseEvent* event)
{
    const QSize size = surfaceRect().size();
    if (m_locked || event->buttons() != Qt::LeftButton || size.isEmpty())
        return;
    const QPointF at = event->position() - QPointF(surfaceRect().topLeft());
    if (m_orientation == kHorizontal) {
        setValueFromPointer(at.x() / size.width() * 100.0);
    } else if (m_orientation == kVertical) {
        const QPointer<ColorBar> self(this);
        setValueFromPointer(100.0 - at.y() / size.height() * 100.0);
        if (!self)
            return;
        // Dragging past either end pins the value to that end.
        if (at.y() < 0)
            setValue(100);
        if (self && at.y() > size.height())
            setValue(0);
    }
}

void ColorBar::mouseReleaseEvent(QMouseEvent* event)
{
    const QSize size = surfaceRect().size();
    if (m_locked || event->button() != Qt::LeftButton || size.isEmpty())
        return;
    const QPointF at = event->position() - QPointF(surfaceRect().topLeft());
    if (m_orientation == kHorizontal)
        setValueFromPointer(at.x() / size.width() * 100.0);
    else if (m_orientation == kVertical)
        setValueFromPointer(100.0 - at.y() / size.height() * 100.0);
}

void ColorBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    DrawBar();
}

void ColorBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_backColor = containerBackColor();
    DrawBar();
}

void ColorBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Qt hands a container's new palette down to its children: that is the ambient
    // background colour changing.
    if (event->type() == QEvent::PaletteChange)
        ambientPropertyChanged(QStringLiteral("BackColor"));
}

QSize ColorBar::sizeHint() const
{
    return QSize(twipsToPixels(kLongSideTwips, logicalDpiX()),
                 twipsToPixels(kShortSideTwips, logicalDpiY()));
}

QString ColorBar::propertyDescription(const QString& name)
{
    static const QHash<QString, QString> descriptions = {
        {QStringLiteral("BorderStyle"), QStringLiteral("Returns/Sets the ColorBar border style.")},
        {QStringLiteral("ForeColor"),
         QStringLiteral("Returns/Sets the solid ColorBar color when not using a gradient")},
        {QStringLiteral("GradientEndColor"),
         QStringLiteral("Returns/Sets the color of the final gradient segment of the ColorBar "
                        "when using gradients.")},
        {QStringLiteral("GradientMidColor"),
         QStringLiteral("Returns/Sets the color of the middle gradient segment of the ColorBar "
                        "when using gradients.")},
        {QStringLiteral("GradientStartColor"),
         QStringLiteral("Returns/Sets the color of the initial gradient segment of the ColorBar "
                        "when using gradients.")},
        {QStringLiteral("Locked"),
         QStringLiteral("Returns/Sets whether the value of the ColorBar can be changed using the "
                        "mousepointer.")},
        {QStringLiteral("Orientation"),
         QStringLiteral("Returns/Sets whether the ColorBar is displayed horizontally or "
                        "vertically.")},
        {QStringLiteral("PeakColor"),
         QStringLiteral("Returns/Sets the color of the peak bars shown when UsePeaks is enabled.")},
        {QStringLiteral("Segmented"),
         QStringLiteral("Returns/Sets whether the ColorBar appearance is solid or broken into "
                        "segments.")},
        {QStringLiteral("UseGradient"),
         QStringLiteral("Returns/Sets whether the ColorBar employs gradient colors or a solid "
                        "color.")},
        {QStringLiteral("UsePeaks"),
         QStringLiteral("Returns/Sets whether peak bars will be shown.  Should only be used if "
                        "the ColorBar's value changes at rapid intervals.")},
        {QStringLiteral("Value"),
         QStringLiteral("Returns/Sets the value of the ColorBar.  The value determines how much "
                        "of the ColorBar is painted with the selected solid or gradient color.")},
    };
    return descriptions.value(name);
}

QString ColorBar::eventDescription(const QString& name)
{
    if (name == QLatin1String("Click"))
        return QStringLiteral("Event notification that the control has been clicked.  Returns X "
                              "and Y position of mouseclick.");
    if (name == QLatin1String("ValueChange"))
        return QStringLiteral("Event notification of when the value of the ColorBar changes.");
    return {};
}

} // namespace corvanta
