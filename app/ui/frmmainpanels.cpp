// The window's client area: the layout of the report and the status panel,
// the caption, and the "Please Wait..." overlays.

#include "frmmain.h"
#include "iruncontroller.h"
#include "reportview.h"
#include "twips.h"
#include "windowplacement.h"
#include "windowservices.h"

#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace corvanta {

namespace {

constexpr int kOverlayWidthTwips = 3900;
constexpr int kOverlayHeightTwips = 1200;

} // namespace

QFrame* frmMain::MakeStopPanel()
{
    QFrame* panel =
        MakeOverlay(QStringLiteral("picStop"),
                    QStringLiteral("Please wait for all running threads to end safely."));
    auto* row = new QHBoxLayout;
    row->setContentsMargins(6, 0, 6, 0);
    row->addWidget(new QLabel(QStringLiteral("Threads running:"), panel));
    m_stopCount = new QLabel(QStringLiteral("0"), panel);
    m_stopCount->setObjectName(QStringLiteral("lblThreads"));
    row->addWidget(m_stopCount, 1);
    static_cast<QVBoxLayout*>(panel->layout())->insertLayout(1, row);
    return panel;
}

void frmMain::SetStopCount(int count)
{
    m_stopCount->setText(QString::number(count));
}

QFrame* frmMain::MakeOverlay(const QString& name, const QString& text)
{
    auto* panel = new QFrame(this);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Box);
    panel->setAutoFillBackground(true);
    panel->resize(m_twips->ToPixels(kOverlayWidthTwips), m_twips->ToPixels(kOverlayHeightTwips));

    auto* heading = new QLabel(QStringLiteral("Please Wait..."), panel);
    heading->setAutoFillBackground(true);
    QPalette band = heading->palette();
    band.setColor(QPalette::Window, QColor(0, 79, 117));
    band.setColor(QPalette::WindowText, Qt::white);
    heading->setPalette(band);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setContentsMargins(6, 3, 6, 3);

    auto* body = new QLabel(text, panel);
    body->setAlignment(Qt::AlignCenter);

    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(1, 1, 1, 1);
    column->setSpacing(0);
    column->addWidget(heading);
    column->addWidget(body, 1);
    panel->hide();
    return panel;
}

// ---- Layout, caption, overlays --------------------------------------------

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_clientArea &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        LayoutClientArea();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::LayoutClientArea()
{
    if (!m_clientArea || !m_reportView || !m_statusPanel)
        return;
    const ClientLayout layout =
        ComputeClientLayout(m_clientArea->geometry(), size(), m_statusPanel->height(), *m_twips);
    m_reportView->setGeometry(layout.Report);
    m_statusPanel->setGeometry(layout.StatusPanel);
}

void frmMain::UpdateCaption()
{
    const QString& list = m_run.State().ListFile;
    if (list.isEmpty())
        setWindowTitle(QLatin1String(kProductName));
    else
        // As the system writes paths: the file dialog hands back "/" on
        // every system.
        setWindowTitle(QLatin1String(kProductName) + QStringLiteral("  [") +
                       QDir::toNativeSeparators(list) + QStringLiteral("]"));
}

QFrame* frmMain::OverlayPanel(Overlay which) const
{
    switch (which) {
    case Overlay::LoadFile:
        return m_loadPanel;
    case Overlay::SavingFile:
        return m_savePanel;
    case Overlay::Stop:
        return m_stopPanel;
    }
    return m_loadPanel;
}

void frmMain::ShowOverlayPanel(Overlay which)
{
    QFrame* panel = OverlayPanel(which);
    panel->move(OverlayPosition(size(), panel->size()));
    panel->show();
    panel->raise();
}

void frmMain::HideOverlayPanel(Overlay which)
{
    OverlayPanel(which)->hide();
}

void frmMain::SetStatusPanel(QWidget* panel)
{
    if (!panel || panel == m_statusPanel)
        return;
    panel->setParent(this);
    // The panel keeps its own height; a widget that has none yet gets the strip's.
    const int height = panel->sizeHint().height() > 0 ? panel->sizeHint().height()
                                                      : m_twips->ToPixels(kStatusPanelTwips);
    panel->resize(panel->width(), height);
    panel->show();
    delete m_statusPanel;
    m_statusPanel = panel;
    // Overlays stay in front of everything.
    m_loadPanel->raise();
    m_savePanel->raise();
    m_stopPanel->raise();
    LayoutClientArea();
}

} // namespace corvanta
