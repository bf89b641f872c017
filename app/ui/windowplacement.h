#pragma once

#include "twips.h"

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace corvanta {

// Where the report and the status panel go, in window client coordinates.
struct ClientLayout
{
    QRect Report;
    QRect StatusPanel;
};

// The geometry rule of the client area. `freeArea` is the part of the window not
// covered by the menu bar and toolbar, `inner` the whole client size, and
// `panelHeight` the status panel's fixed height. The report keeps a 50-twip
// margin left and right and a 50-twip gap above the panel, which spans the full
// width at the bottom. Sizes that come out negative (a minimised window) are
// clamped to 0 instead of being rejected.
ClientLayout ComputeClientLayout(const QRect& freeArea, const QSize& inner, int panelHeight,
                                 const Twips& twips);

// Top-left corner that centres a box of `box` size inside `inner` (halves taken
// with the remainder dropped), used for the "Please Wait..." overlay panels.
QPoint OverlayPosition(const QSize& inner, const QSize& box);

// Where CenterForm puts a window of `window` outer size: centred on `screen`, or
// when a parent is given over the parent's client area offset by the parent's
// outer top-left. Each difference is halved with the remainder dropped. Returns
// no value when either coordinate comes out as 0: such a window stays put.
bool CenteredPosition(const QSize& window, const QRect& screen, QPoint& out);
bool CenteredOverParent(const QSize& window, const QSize& parentInner, const QPoint& parentTopLeft,
                        QPoint& out);

// Moves `window` (size unchanged) to the middle of the screen, or over `parent`
// when it is given. Neither widget is owned.
void CenterForm(QWidget& window, const QWidget* parent = nullptr);

} // namespace corvanta
