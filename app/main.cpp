// corvanta: creates and shows the main window; nothing else runs at start-up.

#include "ui/IRunController.h"
#include "ui/WindowServices.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHostInfo>
#include <QNetworkInterface>

namespace {

using namespace corvanta;

// Keeps the settings for this session only. Stands in until the window is wired
// to the registry store; nothing is read from or written to disk.
class SessionSettings final : public ISettingsAccess
{
public:
    QVariant ReadSetting(const QString& key, const QVariant& defaultValue) override
    {
        return m_values.value(key, defaultValue);
    }
    void WriteSetting(const QString& key, const QVariant& value) override
    {
        m_values.insert(key, value);
    }
    RunSettings ReadRunSettings(const QString& defaultHelloName) override
    {
        RunSettings settings;
        settings.HelloName = defaultHelloName;
        return settings;
    }

private:
    QHash<QString, QVariant> m_values;
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

// Any interface that is up and running, not loopback, and has an address.
bool AnyNetworkUp()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& itf : interfaces) {
        const auto flags = itf.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        if (!itf.addressEntries().isEmpty())
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(corvanta::kProductName));
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));

    SessionSettings settings;
    LocalVerifierHost verifiers;
    DefaultDialogs dialogs;
    NullRunController run;

    frmMain window(run, settings, verifiers, dialogs, AnyNetworkUp);
    window.show();
    return QApplication::exec();
}
