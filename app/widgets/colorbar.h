#pragma once

#include <QImage>
#include <QWidget>

namespace corvanta {

class IPropertyStore;

// A percentage (0..100) drawn as a horizontal or vertical bar, in one colour or a
// three-colour gradient, solid or in one-pixel segments, optionally with a falling
// peak marker. The user may drag the value with the left button unless `Locked`.
//
// Colours are 0x00BBGGRR values. The bar draws into an off-screen surface whose
// finished picture is kept and shown on every repaint, so a repaint never draws the
// bar again. Property writes redraw at once. A drawing of a visible bar lets pending
// events run once in its middle, so the screen keeps up while a long loop on the GUI
// thread drives the bar; an event handler may therefore write `Value` again, or even
// destroy the bar, while a drawing is under way, and the drawing copes with both.
//
// GUI thread only. Published property names are the ones the saved form uses.
class ColorBar final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(uint ForeColor READ foreColor WRITE setForeColor)
    Q_PROPERTY(uint GradientEndColor READ gradientEndColor WRITE setGradientEndColor)
    Q_PROPERTY(uint GradientMidColor READ gradientMidColor WRITE setGradientMidColor)
    Q_PROPERTY(uint GradientStartColor READ gradientStartColor WRITE setGradientStartColor)
    Q_PROPERTY(int GradientType READ gradientType WRITE setGradientType)
    Q_PROPERTY(bool Locked READ locked WRITE setLocked)
    Q_PROPERTY(int Orientation READ orientation WRITE setOrientation)
    Q_PROPERTY(uint PeakColor READ peakColor WRITE setPeakColor)
    Q_PROPERTY(bool Segmented READ segmented WRITE setSegmented)
    Q_PROPERTY(bool UseGradient READ useGradient WRITE setUseGradient)
    Q_PROPERTY(bool UsePeaks READ usePeaks WRITE setUsePeaks)
    Q_PROPERTY(int Value READ value WRITE setValue)

public:
    static constexpr int kBorderNone = 0;
    static constexpr int kBorderSingle = 1;
    static constexpr int kHorizontal = 0;
    static constexpr int kVertical = 1;

    explicit ColorBar(QWidget* parent = nullptr);

    int borderStyle() const { return m_borderStyle; }
    quint32 foreColor() const { return m_foreColor; }
    quint32 gradientEndColor() const { return m_gradientEndColor; }
    quint32 gradientMidColor() const { return m_gradientMidColor; }
    quint32 gradientStartColor() const { return m_gradientStartColor; }
    int gradientType() const { return m_gradientType; }
    bool locked() const { return m_locked; }
    int orientation() const { return m_orientation; }
    quint32 peakColor() const { return m_peakColor; }
    bool segmented() const { return m_segmented; }
    bool useGradient() const { return m_useGradient; }
    bool usePeaks() const { return m_usePeaks; }
    int value() const { return m_value; }

    // 0 none, 1 a single line. Kept as the surface keeps it (16 bits); the border
    // takes one pixel from each side of the surface. No redraw.
    void setBorderStyle(int style);
    void setForeColor(quint32 color);
    void setGradientEndColor(quint32 color);
    void setGradientMidColor(quint32 color);
    void setGradientStartColor(quint32 color);
    // Stored and saved only; the drawing does not depend on it.
    void setGradientType(int type);
    void setLocked(bool locked);
    // 0 horizontal, 1 vertical; resizes the control to its standard size for the
    // orientation (1200 x 180 twips or 180 x 1200). Other values draw no bar.
    void setOrientation(int orientation);
    void setPeakColor(quint32 color);
    void setSegmented(bool segmented);
    void setUseGradient(bool useGradient);
    void setUsePeaks(bool usePeaks);
    // 1..100: stored, drawn, then `ValueChange` is raised (even for the same value).
    // Below 1: the bar is cleared and everything returns to 0, with no event.
    // Above 100: ignored.
    void setValue(int value);

    // Saved form. Reading applies every entry through its property write, in the
    // published order, so a saved value of 1..100 draws and raises `ValueChange`.
    void readProperties(const IPropertyStore& store);
    void writeProperties(IPropertyStore& store) const;

    // The host reports that one of its ambient properties changed. "BackColor" takes
    // the container's background; any change redraws.
    void ambientPropertyChanged(const QString& name);

    // What the control shows: the inner surface's persistent picture (W x H).
    QImage picture() const { return m_picture; }
    // Inner surface, in widget coordinates (the border is outside it).
    QRect surfaceRect() const;
    QColor backColor() const { return m_backColor; }

    // Drawing state, readable for the host and for checks.
    int barExtent() const { return m_extent; }
    int peakValue() const { return m_peakValue; }
    int peakPosition() const { return m_peakPosition; }
    int fallStep() const { return m_fallStep; }

    // The help text published for a property or an event, empty for none.
    static QString propertyDescription(const QString& name);
    static QString eventDescription(const QString& name);

    QSize sizeHint() const override;

signals:
    // Published for hosts that forward clicks; the bar itself never raises it.
    void Click(float x, float y);
    void ValueChange(int value);
    // Every property write names the property here (not the reset of `Value`), as
    // does each update of the internal "PeakValue".
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawBar();
    void drawBarColumns(const std::vector<quint32>& table, int extent);
    void drawPeak();
    void resetBar();
    void setPeakValue(int peakValue);
    void matchSurfaceToWidget();
    QColor containerBackColor() const;
    int borderWidth() const;
    // Applies a value computed from a mouse position, keeping out-of-range results
    // out of range (above 100 ignored, below 1 a reset) without overflowing.
    void setValueFromPointer(double computed);

    qint16 m_borderStyle = kBorderNone;
    quint32 m_foreColor = 0;
    quint32 m_gradientEndColor = 0;
    quint32 m_gradientMidColor = 0;
    quint32 m_gradientStartColor = 0;
    int m_gradientType = 0;
    bool m_locked = false;
    int m_orientation = kHorizontal;
    quint32 m_peakColor = 0;
    bool m_segmented = false;
    bool m_useGradient = false;
    bool m_usePeaks = false;
    int m_value = 0;

    int m_peakValue = 0;
    int m_extent = 0;
    int m_peakPosition = 0;
    int m_fallStep = 0;
    int m_drawDepth = 0;

    QColor m_backColor;
    QImage m_surface;
    QImage m_picture;
};

} // namespace corvanta
