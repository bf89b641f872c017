#include "e2efixture.h"

#include "saveddialog.h"
#include "settingsbridge.h"
#include "statuspanel.h"
#include "ui/reportmodel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>

namespace corvanta::e2e {

namespace {

class SwitchProbe final : public INetworkProbe
{
public:
    explicit SwitchProbe(std::shared_ptr<ProbeSwitch> state) : m_state(std::move(state)) {}
    bool NetworkIsAlive() override { return m_state->online; }

private:
    std::shared_ptr<ProbeSwitch> m_state;
};

} // namespace

ModalAnswerer::ModalAnswerer()
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start(20);
}

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        messages.append(box->text());
        QAbstractButton* button = nullptr;
        if (answer != 0)
            button = box->button(static_cast<QMessageBox::StandardButton>(answer));
        if (!button)
            button = box->button(QMessageBox::Ok);
        if (!button)
            button = box->defaultButton();
        if (button)
            button->click();
        else
            box->reject();
    } else if (auto* saved = qobject_cast<SavedDialog*>(modal)) {
        savedTexts.append(saved->validFileText());
        savedTexts.append(saved->invalidFileText());
        savedTexts.append(saved->leftOutText());
        // A save by verdict: the third file and the captions with the counts.
        if (!saved->unknownFileText().isEmpty())
            savedTexts << saved->unknownFileText() << saved->captions();
        saved->okButton()->click();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        if (onDialog) {
            onDialog(*dialog);
            return;
        }
        messages.append(QStringLiteral("unexpected dialog: ") + dialog->windowTitle());
        dialog->reject();
    }
}

void E2eTest::SetUp()
{
    ASSERT_TRUE(m_tmp.isValid());
    qputenv("CORVANTA_REGISTRY_FILE", QFile::encodeName(m_tmp.filePath(QStringLiteral("reg"))));
    qputenv("CORVANTA_BROKER_DIR", QFile::encodeName(m_tmp.filePath(QStringLiteral("broker"))));
    qputenv("CORVANTA_SERVER_PROGRAM", QByteArray(SONDRIX));
    // Journals of this test stay in its folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_tmp.filePath(QStringLiteral("data"))));
    m_modals = std::make_unique<ModalAnswerer>();
}

void E2eTest::TearDown()
{
    m_triggers.clear();
    const qint64 pid = serverPid();
    m_program.reset();
    // The server of this test stops with it, so the next test starts its own.
    if (pid > 0)
        QProcess::execute(QStringLiteral("kill"), {QString::number(pid)});
    if (m_world.state() != QProcess::NotRunning) {
        m_world.kill();
        m_world.waitForFinished(2000);
    }
}

void E2eTest::startWorld(const QStringList& extra)
{
    m_world.start(QStringLiteral(FAKEWORLD),
                  QStringList{QStringLiteral("--dns"), QStringLiteral("127.0.0.1:53"),
                              QStringLiteral("--domains"), QStringLiteral("3")} +
                      extra);
    ASSERT_TRUE(m_world.waitForReadyRead(5000))
        << "fakeworld did not start: " << m_world.readAllStandardError().constData();
    ASSERT_EQ(m_world.readLine().trimmed(), QByteArray("ready"));
}

void E2eTest::storeSettings(int threads, int dnsTimeout, int smtpTimeout)
{
    const auto store = [](const char* key, const QVariant& value) {
        const QString error = bridge::WriteStoredSetting(QLatin1String(key), value);
        ASSERT_TRUE(error.isEmpty()) << key << ": " << qPrintable(error);
    };
    store("DnsServerName", QStringLiteral("127.0.0.1"));
    store("DefaultThreads", threads);
    store("DnsTimeout", dnsTimeout);
    store("SmtpTimeout", smtpTimeout);
    store("FromAddress", QStringLiteral("checker@corvanta.test"));
    store("HelloName", QStringLiteral("corvanta.test"));
}

void E2eTest::storeVerdictSwitches(bool readReplyCodes, bool probeAcceptAll)
{
    for (const auto& [key, on] : {std::pair{"ReadReplyCodes", readReplyCodes},
                                  std::pair{"ProbeAcceptAll", probeAcceptAll}}) {
        const QString error =
            bridge::WriteStoredSetting(QLatin1String(key), on ? QStringLiteral("1") : "0");
        ASSERT_TRUE(error.isEmpty()) << key << ": " << qPrintable(error);
    }
}

void E2eTest::startProgram()
{
    ProgramOptions options;
    options.probe = std::make_unique<SwitchProbe>(m_probe);
    m_program = std::make_unique<MainProgram>(std::move(options));
    window().show();
    QCoreApplication::processEvents();
}

QString E2eTest::writeList(const QByteArray& bytes)
{
    const QString path = m_tmp.filePath(QStringLiteral("list.txt"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray E2eTest::readFile(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

QString E2eTest::label(StatusPanel::Label which) const
{
    return m_program->statusPanel().text(which);
}

std::vector<int> E2eTest::codes() const
{
    const IReport& report = window().Report();
    std::vector<int> result;
    for (qsizetype row = 0; row < report.recordCount(); ++row)
        result.push_back(report.storedCode(row).value_or(-1));
    return result;
}

void E2eTest::when(std::function<bool()> condition, std::function<void()> action)
{
    auto timer = std::make_unique<QTimer>();
    QTimer* raw = timer.get();
    QObject::connect(raw, &QTimer::timeout, raw, [raw, condition, action] {
        if (condition()) {
            raw->stop();
            action();
        }
    });
    raw->start(10);
    m_triggers.push_back(std::move(timer));
}

qint64 E2eTest::serverPid() const
{
    // The sondrix whose environment names this test's broker folder.
    const QByteArray marker =
        "CORVANTA_BROKER_DIR=" + QFile::encodeName(m_tmp.filePath(QStringLiteral("broker")));
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().startsWith(SONDRIX))
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!environ.open(QIODevice::ReadOnly))
            continue;
        if (environ.readAll().split('\0').contains(marker))
            return pid;
    }
    return 0;
}

} // namespace corvanta::e2e
