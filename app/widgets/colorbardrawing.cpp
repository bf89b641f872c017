// How a ColorBar draws: the bar and its peak marker on the off-screen surface,
// and the surface painted inside the border.

#include "colorbar.h"
#include "colorbarmath.h"
#include "colorref.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <algorithm>

namespace corvanta {

namespace {

// Pixel writers for the surface. Everything is clipped, so a marker or line that
// falls outside the surface is simply not seen, as on any device context.
void setPixelClipped(QImage& image, int x, int y, QRgb rgb)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return;
    reinterpret_cast<QRgb*>(image.scanLine(y))[x] = rgb;
}

// Fills the half-open rectangle [left, right) x [top, bottom), the area a line or a
// one-pixel rectangle covers on a device context (end points excluded).
void fillClipped(QImage& image, int left, int top, int right, int bottom, QRgb rgb)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width());
    bottom = std::min(bottom, image.height());
    for (int y = top; y < bottom; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = left; x < right; ++x)
            line[x] = rgb;
    }
}

// A rectangle given by two corners in any order, drawn entirely in one colour: at
// one pixel across, its outline is all there is of it.
void drawRectangle(QImage& image, int x1, int y1, int x2, int y2, QRgb rgb)
{
    fillClipped(image, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), rgb);
}

} // namespace

QRect ColorBar::surfaceRect() const
{
    const int border = borderWidth();
    return QRect(border, border, std::max(0, width() - 2 * border),
                 std::max(0, height() - 2 * border));
}

int ColorBar::borderWidth() const
{
    return m_borderStyle == kBorderSingle ? 1 : 0;
}

void ColorBar::matchSurfaceToWidget()
{
    const QSize size = surfaceRect().size();
    if (!m_surface.isNull() && m_surface.size() == size)
        return;
    // A new surface starts as background with the old picture at its origin, which
    // is what the surface shows until the next drawing.
    QImage surface(size, QImage::Format_RGB32);
    surface.fill(m_backColor);
    if (!m_picture.isNull() && !surface.isNull()) {
        QPainter painter(&surface);
        painter.drawImage(0, 0, m_picture);
    }
    m_surface = surface;
    m_picture = surface;
}

void ColorBar::DrawBar()
{
    matchSurfaceToWidget();
    const int width = m_surface.width();
    const int height = m_surface.height();

    if (m_orientation == kHorizontal)
        m_extent = colorbar::barExtent(m_value, width);
    else if (m_orientation == kVertical)
        m_extent = colorbar::barExtent(m_value, height);
    setPeakValue(m_extent);

    const int fullLength = m_orientation == kHorizontal ? width : height;
    if (fullLength / 2 < 3)
        return;

    const std::vector<quint32> table =
        m_useGradient ? colorbar::gradientTable(fullLength, m_gradientStartColor,
                                                m_gradientMidColor, m_gradientEndColor)
                      : std::vector<quint32>(std::size_t(fullLength), m_foreColor);

    m_surface.fill(m_backColor);
    drawBarColumns(table, m_extent);

    // Let the screen and the rest of the program keep up with a bar that is driven
    // from a long loop. Only the outermost drawing yields: a drawing started by an
    // event handled here must not start yet another round of events.
    // A hidden bar has no screen to keep up with, which also keeps construction and
    // the reading of saved properties free of foreign events.
    ++m_drawDepth;
    if (m_drawDepth == 1 && isVisible()) {
        const QPointer<ColorBar> self(this);
        QCoreApplication::processEvents();
        if (!self)
            return;
    }
    --m_drawDepth;

    if (m_usePeaks)
        drawPeak();
    m_picture = m_surface;
    update();
}

void ColorBar::drawBarColumns(const std::vector<quint32>& table, int extent)
{
    const int width = m_surface.width();
    const int height = m_surface.height();
    // Drawing never reaches past the table, even when the extent was left over from
    // an earlier drawing at another size.
    const int last = std::min<int>(extent, int(table.size()));
    const auto colorAt = [&table](int pixel) {
        return rgbFromColorRef(table[std::size_t(pixel - 1)]);
    };

    if (m_orientation == kHorizontal) {
        // Columns 1..L: column 0 stays background, like the bar always drew.
        const int step = m_segmented ? 2 : 1;
        for (int x = 1; x <= last; x += step) {
            const QRgb rgb = colorAt(x);
            if (m_segmented && extent - x > 1) {
                // The gap column keeps a top and bottom pixel: the segments read as
                // one bar with a frame rather than loose stripes.
                setPixelClipped(m_surface, x + 1, 0, rgb);
                setPixelClipped(m_surface, x + 1, height - 1, rgb);
            }
            fillClipped(m_surface, x, 0, x + 1, height, rgb);
        }
    } else if (m_orientation == kVertical) {
        // Rows from the bottom up: pixel y of the bar is row H - y.
        const int step = m_segmented ? 2 : 1;
        for (int y = 1; y <= last; y += step) {
            const QRgb rgb = colorAt(y);
            if (m_segmented && extent - y > 1 && width > 2) {
                setPixelClipped(m_surface, 0, height - (y + 1), rgb);
                setPixelClipped(m_surface, width - 1, height - (y + 1), rgb);
            }
            fillClipped(m_surface, 0, height - y, width, height - y + 1, rgb);
        }
    }
}

void ColorBar::drawPeak()
{
    const colorbar::PeakState next =
        colorbar::advancePeak({m_peakPosition, m_fallStep}, m_peakValue);
    m_peakPosition = next.position;
    m_fallStep = next.fallStep;
    if (m_peakPosition <= 0)
        return;
    const int width = m_surface.width();
    const int height = m_surface.height();
    const QRgb rgb = rgbFromColorRef(m_peakColor);
    if (m_orientation == kHorizontal) {
        if (m_peakPosition > width)
            m_peakPosition = width - 1;
        drawRectangle(m_surface, m_peakPosition, 0, m_peakPosition + 1, height, rgb);
    } else if (m_orientation == kVertical) {
        if (m_peakPosition > height)
            m_peakPosition = height - 1;
        drawRectangle(m_surface, 0, height - m_peakPosition, width, height - m_peakPosition - 1,
                      rgb);
    }
}

void ColorBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_backColor);
    if (m_borderStyle == kBorderSingle) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    painter.drawImage(surfaceRect().topLeft(), m_picture);
}

} // namespace corvanta
