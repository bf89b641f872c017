// Saves a picture of the main window with a few addresses and outcomes, for
// the README. Usage: cv_ui_screenshot OUTPUT.png (run under a real X server,
// for example xvfb-run, so fonts and styles are the user's).

#include "StatusPanelBridge.h"
#include "runtypes.h"
#include "ui/iruncontroller.h"
#include "ui/reportmodel.h"
#include "ui/reportview.h"
#include "ui/windowservices.h"
#include "ui/frmmain.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

namespace {

using namespace corvanta;

class SampleSettings final : public ISettingsAccess
{
public:
    QVariant ReadSetting(const QString&, const QVariant& defaultValue) override
    {
        return defaultValue;
    }
    QString WriteSetting(const QString&, const QVariant&) override { return {}; }
    RunSettings ReadRunSettings(const QString& hello) override
    {
        RunSettings settings;
        settings.HelloName = hello;
        return settings;
    }
};

class SampleHost final : public IVerifierHost
{
public:
    bool StartFirstVerifier(QString&) override { return true; }
    QString DefaultHelloName() override { return QStringLiteral("localhost"); }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    SampleSettings settings;
    SampleHost host;
    DefaultDialogs dialogs;
    NullRunController run;
    run.State().ListFile = QStringLiteral("/home/ada/lists/march.txt");
    bridge::StatusPanelHookup panel = bridge::CreateStatusPanel([] { return false; }, [](bool) {});
    frmMain window(run, settings, host, dialogs, [] { return true; });
    window.SetStatusPanel(panel.panel);
    window.UpdateCaption();

    ReportModel& report = window.Report();
    struct Sample
    {
        const char* address;
        const char* word;
        const char* message;
        qint32 code;
    };
    const Sample samples[] = {
        {"ada@example.com", "Valid", "250 2.1.5 Ok", 0},
        {"no.such.user@example.com", "Bad User", "550 5.1.1 User unknown", 4},
        {"broken@@example", "Bad format", "", 1},
        {"sales@nowhere.invalid", "MX failed", "No MX records", 2},
        {"grace@example.org", "Valid", "250 Accepted", 0},
        {"ops@example.net", "Validating...", "", -1},
        {"info@example.net", "", "", -1},
        {"team@example.org", "", "", -1},
    };
    for (const Sample& s : samples) {
        const qsizetype row = report.AddRecord(QByteArrayView(s.address));
        if (s.code == 0)
            report.setResult(row, QString::fromLatin1(s.word), kColourGood, kIconGood);
        else if (s.code > 0)
            report.setResult(row, QString::fromLatin1(s.word), kColourBad, kIconBad);
        else if (*s.word)
            report.setResult(row, QString::fromLatin1(s.word), kColourValidating, kIconValidating);
        if (s.code >= 0)
            report.setStoredCode(row, s.code);
        report.setMessage(row, QString::fromLatin1(s.message));
    }
    report.rebuildRows();
    window.ReportGrid().setColumnWidth(1, 190);
    window.ReportGrid().setColumnWidth(2, 110);
    window.ReportGrid().setColumnWidth(3, 220);

    window.show();
    const QString output = QString::fromLocal8Bit(argv[1]);
    int status = 1;
    QTimer::singleShot(500, &window, [&] {
        status = window.grab().save(output) ? 0 : 1;
        app.quit();
    });
    QApplication::exec();
    return status;
}
