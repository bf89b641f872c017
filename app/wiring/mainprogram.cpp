#include "mainprogram.h"

#include "panelstatusdisplay.h"
#include "settingsbridge.h"
#include "verifierpool.h"
#include "windowshell.h"
#include "wiredruncontroller.h"
#include "dnsservers.h"
#include "statuspanel.h"
#include "ucverify.h"
#include "ui/reportmodel.h"
#include "ui/windowservices.h"
#include "ui/frmmain.h"

#include <QHostInfo>
#include <QPointer>
#include <stdexcept>

namespace corvanta {

namespace {

// The stored settings, through the settings library.
class StoredSettings final : public ISettingsAccess
{
public:
    QVariant ReadSetting(const QString& key, const QVariant& defaultValue) override
    {
        return bridge::ReadStoredSetting(key, defaultValue);
    }
    QString WriteSetting(const QString& key, const QVariant& value) override
    {
        return bridge::WriteStoredSetting(key, value);
    }
    RunSettings ReadRunSettings(const QString& defaultHelloName) override
    {
        return bridge::ReadStoredRunSettings([&defaultHelloName] { return defaultHelloName; });
    }
};

// Element 0 of the window's verifier controls: created before the window
// loads, which starts the verification server, and asked for the default hello
// name. It does no work of its own and lives as long as the program.
class FirstVerifierHost final : public IVerifierHost
{
public:
    bool StartFirstVerifier(QString& error) override
    {
        try {
            m_first = std::make_unique<ucVerify>();
            m_first->hide();
            return true;
        } catch (const BrokerException& failure) {
            error = failure.error().description;
        } catch (const std::exception& failure) {
            error = QString::fromLocal8Bit(failure.what());
        }
        return false;
    }

    QString DefaultHelloName() override
    {
        if (m_first && m_first->object().isConnected()) {
            try {
                const QString name = m_first->HelloName();
                if (!name.isEmpty())
                    return name;
            } catch (const std::exception&) {
                // The server went away after starting: fall back below.
            }
        }
        return QHostInfo::localHostName();
    }

private:
    std::unique_ptr<ucVerify> m_first;
};

SetupServices setupServices(IVerifierHost& verifiers)
{
    SetupServices services;
    services.defaultDnsServer = [] {
        return QString::fromStdString(GetDefaultDnsServer());
    };
    services.machineName = [&verifiers] {
        return verifiers.DefaultHelloName();
    };
    services.writeSetting = [](const QString& key, const QString& value) {
        const QString error = bridge::WriteStoredSetting(key, value);
        if (!error.isEmpty())
            throw std::runtime_error(error.toStdString());
    };
    services.describeError = [](const std::exception& error) {
        return QString::fromStdString(error.what());
    };
    return services;
}

} // namespace

// Declared in the order of building; members are destroyed in reverse, so the
// window goes before the run logic and the services it borrows.
struct MainProgram::Parts
{
    explicit Parts(ProgramOptions& options)
        : dialogs(options.dialogs ? *options.dialogs : defaultDialogs),
          run(dialogs, setupServices(verifiers)), pool([this] { return run.State().ThreadCount; })
    {
        // The panel exists before the window: the window reads the network
        // state while it loads.
        StatusPanelSeams seams;
        seams.probe = std::move(options.probe);
        panel = new StatusPanel(nullptr, std::move(seams));
        panel->setObjectName(QStringLiteral("picStatusBar"));
        RunState& state = run.State();
        panel->setPausedQuery([&state] { return state.IsPaused; });
        panel->bindElapsedSeconds(&state.ElapsedSeconds);
        QObject::connect(panel, &StatusPanel::networkRead, panel,
                         [this](bool online) { run.setOnline(online); });
        QPointer<StatusPanel> guarded(panel);
        auto readNetwork = [guarded] {
            return guarded ? guarded->readNetwork() : false;
        };

        window = std::make_unique<frmMain>(run, settings, verifiers, dialogs, readNetwork);
        window->SetStatusPanel(panel);
        shell = std::make_unique<WindowShell>(*window);
        status = std::make_unique<PanelStatusDisplay>(*panel);
        run.bind(window->Report(), *status, *shell, pool, [this] { pool.releaseSpares(); });
    }

    ~Parts()
    {
        // The panel's elapsed count lives in the run state; unbind it first.
        if (panel)
            panel->bindElapsedSeconds(nullptr);
    }

    StoredSettings settings;
    FirstVerifierHost verifiers;
    DefaultDialogs defaultDialogs;
    IDialogs& dialogs;
    WiredRunController run;
    VerifierPool pool;
    std::unique_ptr<frmMain> window;
    QPointer<StatusPanel> panel;
    std::unique_ptr<WindowShell> shell;
    std::unique_ptr<PanelStatusDisplay> status;
};

MainProgram::MainProgram(ProgramOptions options) : m_parts(std::make_unique<Parts>(options)) {}

MainProgram::~MainProgram() = default;

frmMain& MainProgram::window() const
{
    return *m_parts->window;
}

StatusPanel& MainProgram::statusPanel() const
{
    return *m_parts->panel;
}

WiredRunController& MainProgram::run() const
{
    return m_parts->run;
}

void MainProgram::openList(const QString& path)
{
    m_parts->run.OpenListFile(path);
}

} // namespace corvanta
