#include "windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace corvanta {

namespace {
constexpr double kReportMarginTwips = 50.0;
} // namespace

ClientLayout ComputeClientLayout(const QRect& freeArea, const QSize& inner, int panelHeight,
                                 const Twips& twips)
{
    const int margin = twips.ToPixels(kReportMarginTwips);
    const int twoMargins = twips.ToPixels(2 * kReportMarginTwips);
    const int freeTop = freeArea.top();
    const int freeBottom = freeArea.top() + freeArea.height();

    ClientLayout layout;
    layout.Report = QRect(margin, freeTop, std::max(0, inner.width() - twoMargins),
                          std::max(0, (freeBottom - freeTop) - panelHeight - margin));
    layout.StatusPanel =
        QRect(0, inner.height() - panelHeight, std::max(0, inner.width()), panelHeight);
    return layout;
}

QPoint OverlayPosition(const QSize& inner, const QSize& box)
{
    return {inner.width() / 2 - box.width() / 2, inner.height() / 2 - box.height() / 2};
}

bool CenteredPosition(const QSize& window, const QRect& screen, QPoint& out)
{
    const int left = (screen.width() - window.width()) / 2 + screen.left();
    const int top = (screen.height() - window.height()) / 2 + screen.top();
    if (left == 0 || top == 0)
        return false;
    out = {left, top};
    return true;
}

bool CenteredOverParent(const QSize& window, const QSize& parentInner, const QPoint& parentTopLeft,
                        QPoint& out)
{
    const int left = (parentInner.width() - window.width()) / 2 + parentTopLeft.x();
    const int top = (parentInner.height() - window.height()) / 2 + parentTopLeft.y();
    if (left == 0 || top == 0)
        return false;
    out = {left, top};
    return true;
}

void CenterForm(QWidget& window, const QWidget* parent)
{
    // Layouts settle a dialog's size only when it is polished; do it now so the
    // centre is computed from the size it will be shown at.
    window.ensurePolished();
    if (window.layout() && !window.testAttribute(Qt::WA_Resized))
        window.adjustSize();

    QPoint target;
    bool move = false;
    if (parent) {
        move = CenteredOverParent(window.frameGeometry().size(), parent->size(),
                                  parent->frameGeometry().topLeft(), target);
    } else {
        const QScreen* screen =
            window.screen() ? window.screen() : QGuiApplication::primaryScreen();
        if (screen)
            move = CenteredPosition(window.frameGeometry().size(), screen->geometry(), target);
    }
    if (move)
        window.move(target);
}

} // namespace corvanta
