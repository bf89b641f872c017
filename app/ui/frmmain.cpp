#include "frmmain.h"

#include "commandbars.h"
#include "commandicons.h"
#include "commandids.h"
#include "iruncontroller.h"
#include "paintpacer.h"
#include "reportmodel.h"
#include "reportview.h"
#include "twips.h"
#include "windowservices.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QTimer>
#include <utility>

namespace corvanta {

namespace {

// Defaults of the stored window geometry, in twips.
constexpr double kDefaultLeft = 1000;
constexpr double kDefaultTop = 1000;
constexpr double kDefaultWidth = 11685;
constexpr double kDefaultHeight = 8085;

// How often the idle refresh looks at the boxes and at Add and Retry. Short
// enough to feel immediate, long enough that an idle window costs nothing.
constexpr int kIdleRefreshMs = 200;
// During a run the window is painted at most once per this many
// milliseconds (25 frames a second).
constexpr int kRunFrameMs = 40;

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
        m_serverError = error.isEmpty()
                            ? QStringLiteral("The verification server could not be started")
                            : error;

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
    m_report->SetVerdictsShown(settings.ReadReplyCodes);
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

// ---- Showing and closing --------------------------------------------------

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_serverError.isEmpty()) {
        const QString reason = std::exchange(m_serverError, QString());
        // Shown once the window is up, so the user sees the window it belongs to.
        QTimer::singleShot(0, this, [this, reason] {
            m_dialogs.ShowError(
                this, QStringLiteral("%1.\n\n"
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
