// corvanta: creates and shows the main window; nothing else runs at start-up.

#include "SettingsBridge.h"
#include "StatusPanelBridge.h"
#include "ucverify.h"
#include "ui/IRunController.h"
#include "ui/WindowServices.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHash>
#include <QHostInfo>

namespace {

using namespace corvanta;

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
        const bridge::StoredRunValues stored =
            bridge::ReadStoredRunSettings([&defaultHelloName] { return defaultHelloName; });
        RunSettings settings;
        settings.DnsServerName = stored.dnsServerName;
        settings.DefaultThreads = stored.defaultThreads;
        settings.DnsTimeout = stored.dnsTimeout;
        settings.SmtpTimeout = stored.smtpTimeout;
        settings.FromAddress = stored.fromAddress;
        settings.HelloName = stored.helloName;
        return settings;
    }
};

// Element 0 of the window's verifier controls: created before the window
// loads, which starts the verification server, and asked for the default hello
// name. It does no work of its own and lives as long as the window.
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
        if (m_first) {
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(corvanta::kProductName));
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));

    StoredSettings settings;
    FirstVerifierHost verifiers;
    DefaultDialogs dialogs;
    NullRunController run;

    RunState& state = run.State();
    bridge::StatusPanelHookup status = bridge::CreateStatusPanel(
        [&state] { return state.IsPaused; }, [&state](bool online) { state.IsOnline = online; });

    frmMain window(run, settings, verifiers, dialogs, status.readNetwork);
    window.SetStatusPanel(status.panel);
    window.show();
    return QApplication::exec();
}
