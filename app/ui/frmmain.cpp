#include "frmmain.h"

#include "commandbars.h"
#include "commandicons.h"
#include "commandids.h"
#include "iruncontroller.h"
#include "numbertext.h"
#include "paintpacer.h"
#include "reportmodel.h"
#include "reportview.h"
#include "windowplacement.h"
#include "windowservices.h"
#include "frmabout.h"
#include "textnumber.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace corvanta {

namespace {

// Defaults of the stored window geometry, in twips.
constexpr double kDefaultLeft = 1000;
constexpr double kDefaultTop = 1000;
constexpr double kDefaultWidth = 11685;
constexpr double kDefaultHeight = 8085;

// The fallback of the Threads box is deliberately not the default thread count.
constexpr int kThreadsFallback = 20;

// How often the idle refresh looks at the boxes and at Add and Retry. Short
// enough to feel immediate, long enough that an idle window costs nothing.
constexpr int kIdleRefreshMs = 200;
// During a run the window is painted at most once per this many
// milliseconds (25 frames a second).
constexpr int kRunFrameMs = 40;

constexpr int kOverlayWidthTwips = 3900;
constexpr int kOverlayHeightTwips = 1200;

double StoredNumber(const QVariant& value, double fallback)
{
    // The store holds text; a value that is not a number would otherwise put
    // the window at 0,0 with no size, so it falls back to the default.
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    return ok ? number : fallback;
}

} // namespace

frmMain::frmMain(IRunController& run, ISettingsAccess& settings, IVerifierHost& verifiers,
                 IDialogs& dialogs, NetworkProbe networkIsAlive, QWidget* parent)
    : QMainWindow(parent), m_run(run), m_settings(settings), m_verifiers(verifiers),
      m_dialogs(dialogs), m_networkIsAlive(std::move(networkIsAlive)),
      m_twips(std::make_unique<Twips>(Twips::ForPrimaryScreen()))
{
    setObjectName(QStringLiteral("frmMain"));
    Load();
}

frmMain::~frmMain() = default;

void frmMain::Load()
{
    // The first verifier belongs to the window's make-up: it exists before the
    // load steps, and the hello name's default comes from it.
    QString error;
    if (!m_verifiers.StartFirstVerifier(error))
        m_serverError = error.isEmpty() ? QStringLiteral("unknown reason") : error;

    ReadWindowGeometry();

    RunState& state = m_run.State();
    RunSettings& settings = m_run.Settings();
    settings = m_settings.ReadRunSettings(m_verifiers.DefaultHelloName());

    state.StopRequested = false;
    state.ForceAbort = false;
    state.IsRunning = false;
    state.CloseWhenDone = false;
    state.ThreadCount = settings.DefaultThreads;
    state.StartPosition = 1;

    m_run.ResetStatistics();

    m_bars = new CommandBars(*this);
    m_bars->BuildMenuBar();
    m_bars->BuildToolbar(settings.DefaultThreads);
    connect(m_bars, &CommandBars::Execute, this, &frmMain::ExecuteCommand);

    // The client area: an empty central widget whose geometry is the part the
    // bars leave free. The report, the panel and the overlays are positioned by
    // hand in window coordinates on top of it.
    m_clientArea = new QWidget(this);
    m_clientArea->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(m_clientArea);
    m_clientArea->installEventFilter(this);

    m_report = new ReportModel(this);
    m_reportView = new ReportView(*m_report, this);

    m_statusPanel = new QFrame(this);
    m_statusPanel->setObjectName(QStringLiteral("picStatusBar"));
    m_statusPanel->setFixedHeight(m_twips->ToPixels(kStatusPanelTwips));

    m_loadPanel =
        MakeOverlay(QStringLiteral("picLoadFile"), QStringLiteral("Loading file, please wait"));
    m_savePanel =
        MakeOverlay(QStringLiteral("picSavingFile"), QStringLiteral("Saving file, please wait"));
    m_stopPanel = MakeStopPanel();

    m_reportView->InitReport();
    m_paintPacer = new PaintPacer(this, kRunFrameMs);
    setWindowIcon(CommandIcon(CmdStart));

    UpdateCaption();
    m_run.AttachCommandStates(*this);
    UpdateCommandStates();

    state.IsOnline = m_networkIsAlive ? m_networkIsAlive() : false;

    m_idle = new QTimer(this);
    m_idle->setInterval(kIdleRefreshMs);
    connect(m_idle, &QTimer::timeout, this, &frmMain::RefreshControls);
    m_idle->start();
}

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

void frmMain::ReadWindowGeometry()
{
    // Each value is applied as it is read, in the stored order.
    const auto read = [this](const char* key, double fallback) {
        return m_twips->ToPixels(
            StoredNumber(m_settings.ReadSetting(QLatin1String(key), fallback), fallback));
    };
    const int left = read("MainLeft", kDefaultLeft);
    move(left, y());
    const int top = read("MainTop", kDefaultTop);
    move(x(), top);
    const int width = read("MainWidth", kDefaultWidth);
    resize(width, height());
    const int height = read("MainHeight", kDefaultHeight);
    resize(this->width(), height);
}

void frmMain::WriteWindowGeometry()
{
    // Position is the outer frame, size the client area: the pair that move()
    // and resize() take back at the next start, so the window reopens unchanged.
    const std::pair<const char*, int> values[] = {{"MainLeft", pos().x()},
                                                  {"MainTop", pos().y()},
                                                  {"MainWidth", width()},
                                                  {"MainHeight", height()}};
    for (const auto& [key, pixels] : values) {
        const QString error = m_settings.WriteSetting(
            QLatin1String(key), QString::number(qRound(m_twips->FromPixels(pixels))));
        if (!error.isEmpty()) {
            // The user learns why the window will not reopen where it was; the
            // close itself goes ahead.
            m_dialogs.ShowError(this,
                                QStringLiteral("The window position could not be saved: ") + error);
            return;
        }
    }
}

// ---- Command states -------------------------------------------------------

void frmMain::EnableToolbarButton(int id, bool on)
{
    if (QAction* control = m_bars->ToolbarControl(id))
        control->setEnabled(on);
}

void frmMain::EnableMenuButton(int id, bool on)
{
    if (QAction* control = m_bars->MenuControl(id))
        control->setEnabled(on);
}

void frmMain::CheckToolbarButton(int id, bool on)
{
    // A control is checkable only while it shows its mark, so clicking an
    // unchecked button never checks it behind the run's back.
    if (QAction* control = m_bars->ToolbarControl(id)) {
        control->setCheckable(on);
        control->setChecked(on);
    }
}

void frmMain::CheckMenuButton(int id, bool on)
{
    if (QAction* control = m_bars->MenuControl(id)) {
        control->setCheckable(on);
        control->setChecked(on);
    }
}

void frmMain::UpdateCommandStates()
{
    ApplyCommandStates(*this, m_run.State().IsRunning);
}

QAction* frmMain::MenuControl(int id) const
{
    return m_bars->MenuControl(id);
}

QAction* frmMain::ToolbarControl(int id) const
{
    return m_bars->ToolbarControl(id);
}

QComboBox* frmMain::ThreadsBox() const
{
    return m_bars->ThreadsBox();
}

QLineEdit* frmMain::PositionBox() const
{
    return m_bars->PositionBox();
}

// ---- Commands -------------------------------------------------------------

void frmMain::ExecuteCommand(int id)
{
    RunState& state = m_run.State();
    switch (id) {
    case CmdOpen:
        m_run.OpenList();
        break;
    case CmdSave:
        m_run.SaveResults();
        break;
    case CmdExit:
        close();
        break;
    case CmdAdd:
        m_run.AddList();
        break;
    case CmdStart:
    case CmdRetry:
        state.StopRequested = false;
        state.ForceAbort = false;
        state.RetryMode = id == CmdRetry;
        // A run addresses rows by position: put them back in record order and
        // keep them there until the run is over.
        m_report->RestoreRecordOrder();
        m_reportView->SetSortingAllowed(false);
        m_paintPacer->setEnabled(true);
        m_run.RunValidation();
        m_paintPacer->setEnabled(state.IsRunning);
        m_reportView->SetSortingAllowed(!state.IsRunning);
        break;
    case CmdPause:
        m_run.TogglePause();
        break;
    case CmdStop:
        m_run.RequestStop();
        break;
    case CmdSetup:
        m_run.ShowSetup(*this);
        break;
    case CmdAbout: {
        frmAbout about(this);
        CenterForm(about, this);
        m_dialogs.ExecModal(about);
        break;
    }
    case CmdThreadsBox:
        ApplyThreadsBox();
        break;
    case CmdPositionBox:
        ApplyPositionBox();
        break;
    default:
        break;
    }
}

void frmMain::ApplyThreadsBox()
{
    QComboBox* box = m_bars->ThreadsBox();
    const qint32 threads = roundHalfEvenToInt32(LeadingNumber(box->currentText()));
    if (threads < 1) {
        m_run.State().ThreadCount = kThreadsFallback;
        const int item = box->findText(QString::number(kThreadsFallback));
        box->setCurrentIndex(item);
    } else {
        m_run.State().ThreadCount = threads;
    }
}

void frmMain::ApplyPositionBox()
{
    QLineEdit* box = m_bars->PositionBox();
    const double position = LeadingNumber(box->text());
    if (position < 1) {
        m_run.State().StartPosition = 1;
        box->setText(QStringLiteral("1"));
    } else {
        m_run.State().StartPosition = position;
    }
}

void frmMain::RefreshControls()
{
    for (int id : m_bars->ControlIds())
        RefreshControl(id);
    m_reportView->SetSortingAllowed(!m_run.State().IsRunning);
}

void frmMain::RefreshControl(int id)
{
    const RunState& state = m_run.State();
    switch (id) {
    case CmdThreadsBox:
        ApplyThreadsBox();
        break;
    case CmdPositionBox:
        ApplyPositionBox();
        break;
    case CmdAdd:
        // While a run goes the run's own states stand.
        if (!state.IsRunning) {
            EnableToolbarButton(CmdAdd, m_report->RecordCount() >= 1);
            EnableMenuButton(CmdAdd, m_report->RecordCount() >= 1);
        }
        break;
    case CmdRetry:
        if (!state.IsRunning) {
            EnableToolbarButton(CmdRetry, state.BadCount >= 1);
            EnableMenuButton(CmdRetry, state.BadCount >= 1);
        }
        break;
    default:
        break;
    }
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
        setWindowTitle(QLatin1String(kProductName) + QStringLiteral("  [") + list +
                       QStringLiteral("]"));
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

// ---- Showing and closing --------------------------------------------------

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_serverError.isEmpty()) {
        const QString reason = std::exchange(m_serverError, QString());
        // Shown once the window is up, so the user sees the window it belongs to.
        QTimer::singleShot(0, this, [this, reason] {
            m_dialogs.ShowError(
                this, QStringLiteral("The verification server could not be started: %1\n\n"
                                     "Lists can be opened and saved, but addresses cannot be "
                                     "verified until the server runs.")
                          .arg(reason));
        });
    }
}

void frmMain::closeEvent(QCloseEvent* event)
{
    RunState& state = m_run.State();
    if (state.IsRunning) {
        // Never wait for the run here: ask it to end and refuse this close. The
        // run closes the window itself once it has stopped.
        if (m_dialogs.AskAbortRun(this) == Answer::Yes) {
            m_run.RequestStop();
            QCoreApplication::processEvents();
            state.ForceAbort = true;
            state.CloseWhenDone = true;
        }
        event->ignore();
        return;
    }

    state.StopRequested = true;
    state.ForceAbort = true;
    if (!isMinimized())
        WriteWindowGeometry();
    CloseOtherWindows();
    m_idle->stop();
    event->accept();
}

void frmMain::CloseOtherWindows()
{
    // Most recently opened first, as far as the toolkit keeps that order.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QWidget* window = *it;
        if (window == this || !window->isVisible() || window->objectName() == objectName())
            continue;
        window->close();
    }
}

} // namespace corvanta
