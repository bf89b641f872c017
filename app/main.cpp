// corvanta: creates and shows the main window; nothing else runs at start-up.

#include "SettingsBridge.h"
#include "StatusPanelBridge.h"
#include "ui/IRunController.h"
#include "ui/WindowServices.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

// Until the component broker is wired in, "starting the server" means finding
// the sondrix program beside this one, which is where the broker starts it from.
class LocalVerifierHost final : public IVerifierHost
{
public:
    bool StartFirstVerifier(QString& error) override
    {
        const QString path =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sondrix"));
        if (QFileInfo(path).isExecutable())
            return true;
        error = QStringLiteral("the program %1 was not found or cannot be run.")
                    .arg(QDir::toNativeSeparators(path));
        return false;
    }
    QString DefaultHelloName() override { return QHostInfo::localHostName(); }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(corvanta::kProductName));
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));

    StoredSettings settings;
    LocalVerifierHost verifiers;
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
