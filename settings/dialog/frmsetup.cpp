#include "frmsetup.h"

#include "textnumber.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace corvanta {

namespace {

constexpr int kThreadStep = 5;
constexpr int kThreadMax = 500;

double numberIn(const QString& text)
{
    return leadingNumber(text.trimmed().toStdString());
}

QWidget* withButton(QLineEdit* edit, QPushButton* button)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit, 1);
    layout->addWidget(button);
    return row;
}

QWidget* withUnit(QLineEdit* edit, QLabel* unit)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    layout->addWidget(unit);
    layout->addStretch(1);
    return row;
}

QLabel* namedLabel(const char* name, const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

frmSetup::frmSetup(RunSettings& settings, SetupServices services, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_services(std::move(services))
{
    if (!m_services.showError) {
        m_services.showError = [](QWidget* owner, const QString& text) {
            QMessageBox::warning(owner, QStringLiteral("Corvanta"), text);
        };
    }
    if (!m_services.describeError) {
        m_services.describeError = [](const std::exception& e) {
            return QString::fromLocal8Bit(e.what());
        };
    }
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Setup"));
    setModal(true);
    buildLayout();
    loadValues();
}

void frmSetup::buildLayout()
{
    const auto edit = [](const char* name) {
        auto* e = new QLineEdit;
        e->setObjectName(QLatin1String(name));
        return e;
    };
    m_txtDnsServerName = edit("txtDnsServerName");
    m_txtDnsTimeout = edit("txtDnsTimeout");
    m_txtHelloName = edit("txtHelloName");
    m_txtFromAddress = edit("txtFromAddress");
    m_txtSmtpTimeout = edit("txtSmtpTimeout");
    m_txtDnsTimeout->setMaximumWidth(80);
    m_txtSmtpTimeout->setMaximumWidth(80);

    auto* cmdDefaultDNS = new QPushButton(QStringLiteral("..."));
    cmdDefaultDNS->setObjectName(QStringLiteral("cmdDefaultDNS"));
    cmdDefaultDNS->setToolTip(QStringLiteral("Get default DNS server"));
    cmdDefaultDNS->setAutoDefault(false);
    connect(cmdDefaultDNS, &QPushButton::clicked, this, &frmSetup::cmdDefaultDNS_Click);

    auto* cmdDefaultHelloName = new QPushButton(QStringLiteral("..."));
    cmdDefaultHelloName->setObjectName(QStringLiteral("cmdDefaultHelloName"));
    cmdDefaultHelloName->setToolTip(QStringLiteral("Get default machine name"));
    cmdDefaultHelloName->setAutoDefault(false);
    connect(cmdDefaultHelloName, &QPushButton::clicked, this, &frmSetup::cmdDefaultHelloName_Click);

    auto* frame1 = new QGroupBox(QStringLiteral("DNS"));
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto* dnsForm = new QFormLayout(frame1);
    dnsForm->addRow(namedLabel("Label1", QStringLiteral("DNS server name or IP:")),
                    withButton(m_txtDnsServerName, cmdDefaultDNS));
    dnsForm->addRow(namedLabel("Label2", QStringLiteral("DNS Server Timeout:")),
                    withUnit(m_txtDnsTimeout, namedLabel("Label3", QStringLiteral("Seconds"))));

    auto* frame2 = new QGroupBox(QStringLiteral("Smtp"));
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* smtpForm = new QFormLayout(frame2);
    smtpForm->addRow(namedLabel("Label4", QStringLiteral("Hello Name:")),
                     withButton(m_txtHelloName, cmdDefaultHelloName));
    smtpForm->addRow(namedLabel("Label5", QStringLiteral("Sender Email:")), m_txtFromAddress);
    smtpForm->addRow(namedLabel("Label6", QStringLiteral("Smtp Timeout:")),
                     withUnit(m_txtSmtpTimeout, namedLabel("Label7", QStringLiteral("Seconds"))));

    auto* frame3 = new QGroupBox(QStringLiteral("Connections"));
    frame3->setObjectName(QStringLiteral("Frame3"));
    auto* connLayout = new QVBoxLayout(frame3);
    auto* threadsRow = new QHBoxLayout;
    m_cboDefaultThreads = new QComboBox;
    m_cboDefaultThreads->setObjectName(QStringLiteral("cboDefaultThreads"));
    // Editable like the original combo: the OK rules read its text, so a
    // typed count is honoured and an empty one falls back to the default.
    m_cboDefaultThreads->setEditable(true);
    m_cboDefaultThreads->setInsertPolicy(QComboBox::NoInsert);
    threadsRow->addWidget(namedLabel("Label8", QStringLiteral("Threads:")));
    threadsRow->addWidget(m_cboDefaultThreads);
    threadsRow->addStretch(1);
    connLayout->addLayout(threadsRow);
    auto* label9 = namedLabel(
        "Label9",
        QStringLiteral("Please select the default number of threads. Threads are parallel "
                       "concurrent connections. The number of threads recommended depends on your "
                       "system resources available. Try to test with few threads 10 to 50 and "
                       "watch your system."));
    label9->setWordWrap(true);
    connLayout->addWidget(label9);
    // A few providers hold most of a list; this keeps a run from opening
    // all its threads' connections to one of them at once.
    auto* perDomainRow = new QHBoxLayout;
    m_txtPerDomainLimit = edit("txtPerDomainLimit");
    m_txtPerDomainLimit->setMaximumWidth(80);
    m_txtPerDomainLimit->setToolTip(QStringLiteral("0: no limit"));
    perDomainRow->addWidget(namedLabel("lblPerDomain", QStringLiteral("At most")));
    perDomainRow->addWidget(m_txtPerDomainLimit);
    perDomainRow->addWidget(
        namedLabel("lblPerDomainUnit", QStringLiteral("checks per domain at once (0: no limit)")));
    perDomainRow->addStretch(1);
    connLayout->addLayout(perDomainRow);
    // A greylisting server refuses a first attempt for a while; checked again
    // after 5, 15 and 45 minutes, such an address gets its real outcome.
    m_chkRecheckGreylisted = new QCheckBox(QStringLiteral("Re-check greylisted addresses"));
    m_chkRecheckGreylisted->setObjectName(QStringLiteral("chkRecheckGreylisted"));
    connLayout->addWidget(m_chkRecheckGreylisted);

    // Off by default: the report, the files and the dialogs stay as they are.
    m_fraVerdicts =
        new QGroupBox(QStringLiteral("Read reply codes, and keep doubtful addresses apart"));
    m_fraVerdicts->setObjectName(QStringLiteral("fraVerdicts"));
    m_fraVerdicts->setCheckable(true);
    auto* verdictLayout = new QVBoxLayout(m_fraVerdicts);
    auto* label10 = namedLabel(
        "Label10",
        QStringLiteral("Adds a Verdict column, and Save writes the addresses that could not be "
                       "judged (greylisting, blocked checks, time-outs) to a third file, "
                       "LIST_Unknown.txt, instead of the errors file."));
    label10->setWordWrap(true);
    verdictLayout->addWidget(label10);
    m_chkProbeAcceptAll = new QCheckBox(
        QStringLiteral("Check a made-up address of each domain, and call the valid addresses of "
                       "a domain that accepts it risky"));
    m_chkProbeAcceptAll->setObjectName(QStringLiteral("chkProbeAcceptAll"));
    verdictLayout->addWidget(m_chkProbeAcceptAll);
    auto* lists = new QGroupBox(QStringLiteral("Lists"));
    lists->setObjectName(QStringLiteral("FrameLists"));
    auto* listsLayout = new QVBoxLayout(lists);
    m_chkFollowDuplicates =
        new QCheckBox(QStringLiteral("Check an address that occurs more than once only once"));
    m_chkFollowDuplicates->setObjectName(QStringLiteral("chkFollowDuplicates"));
    m_chkFollowDuplicates->setToolTip(QStringLiteral(
        "Its other rows take the same outcome, with the message \"Same as row N\"."));
    listsLayout->addWidget(m_chkFollowDuplicates);

    auto* buttons = new QDialogButtonBox;
    auto* cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdClose = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdOK, &QPushButton::clicked, this, &frmSetup::cmdOK_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame1);
    layout->addWidget(frame2);
    layout->addWidget(frame3);
    layout->addWidget(m_fraVerdicts);
    layout->addWidget(lists);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

void frmSetup::loadValues()
{
    m_txtDnsServerName->setText(m_settings.DnsServerName);
    m_txtDnsTimeout->setText(QString::number(m_settings.DnsTimeout));
    m_txtFromAddress->setText(m_settings.FromAddress);
    m_txtHelloName->setText(m_settings.HelloName);
    m_txtSmtpTimeout->setText(QString::number(m_settings.SmtpTimeout));
    m_txtPerDomainLimit->setText(QString::number(m_settings.PerDomainLimit));
    m_chkRecheckGreylisted->setChecked(m_settings.RecheckGreylisted);

    for (int n = kThreadStep; n <= kThreadMax; n += kThreadStep)
        m_cboDefaultThreads->addItem(QString::number(n));
    // A stored count that is not offered leaves the box empty, and OK then
    // falls back to the default count.
    m_cboDefaultThreads->setCurrentIndex(
        m_cboDefaultThreads->findText(QString::number(m_settings.DefaultThreads)));
    if (m_cboDefaultThreads->currentIndex() < 0)
        m_cboDefaultThreads->setEditText(QString());
    m_fraVerdicts->setChecked(m_settings.ReadReplyCodes);
    m_chkProbeAcceptAll->setChecked(m_settings.ProbeAcceptAll);
    m_chkFollowDuplicates->setChecked(m_settings.FollowDuplicates);
}

void frmSetup::cmdDefaultDNS_Click()
{
    m_txtDnsServerName->setText(m_services.defaultDnsServer ? m_services.defaultDnsServer()
                                                            : QString());
}

void frmSetup::cmdDefaultHelloName_Click()
{
    m_txtHelloName->setText(m_services.machineName ? m_services.machineName() : QString());
}

QString frmSetup::numberText(double value)
{
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<long long>(value));
    return QString::number(value, 'g', 15);
}

bool frmSetup::store(const QString& key, const QString& value)
{
    try {
        if (m_services.writeSetting)
            m_services.writeSetting(key, value);
        return true;
    } catch (const std::exception& e) {
        m_services.showError(this, m_services.describeError(e));
        return false;
    }
}

void frmSetup::cmdOK_Click()
{
    if (m_txtDnsServerName->text().trimmed().isEmpty())
        cmdDefaultDNS_Click();
    if (!store(QStringLiteral("DnsServerName"), m_txtDnsServerName->text().trimmed()))
        return;

    // Time-outs below one second would fail every check at once; they are
    // corrected to 1 in the box so the user sees what was stored.
    const auto timeout = [this](QLineEdit* box, const QString& key) {
        double seconds = numberIn(box->text());
        if (seconds < 1) {
            box->setText(QStringLiteral("1"));
            seconds = 1;
        }
        return store(key, numberText(seconds));
    };
    if (!timeout(m_txtDnsTimeout, QStringLiteral("DnsTimeout")))
        return;
    if (!store(QStringLiteral("HelloName"), m_txtHelloName->text().trimmed()))
        return;
    if (!store(QStringLiteral("FromAddress"), m_txtFromAddress->text().trimmed()))
        return;
    if (!timeout(m_txtSmtpTimeout, QStringLiteral("SmtpTimeout")))
        return;

    double threads = numberIn(m_cboDefaultThreads->currentText());
    if (threads < 1) {
        m_cboDefaultThreads->setEditText(QStringLiteral("5"));
        threads = 5;
    }
    if (!store(QStringLiteral("DefaultThreads"), numberText(threads)))
        return;
    m_settings.DefaultThreads = roundHalfEvenToInt32(threads);

    const auto flag = [](bool on) {
        return on ? QStringLiteral("1") : QStringLiteral("0");
    };
    const bool verdicts = m_fraVerdicts->isChecked();
    const bool probe = m_chkProbeAcceptAll->isChecked();
    if (!store(QStringLiteral("ReadReplyCodes"), flag(verdicts)) ||
        !store(QStringLiteral("ProbeAcceptAll"), flag(probe)))
        return;
    m_settings.ReadReplyCodes = verdicts;
    m_settings.ProbeAcceptAll = probe;

    double perDomain = numberIn(m_txtPerDomainLimit->text());
    if (!(perDomain >= 0)) {
        m_txtPerDomainLimit->setText(QStringLiteral("0"));
        perDomain = 0;
    }
    if (!store(QStringLiteral("PerDomainLimit"), numberText(perDomain)))
        return;
    m_settings.PerDomainLimit = roundHalfEvenToInt32(perDomain);
    const bool recheck = m_chkRecheckGreylisted->isChecked();
    if (!store(QStringLiteral("RecheckGreylisted"), flag(recheck)))
        return;
    m_settings.RecheckGreylisted = recheck;
    // A run reads this when it starts, so it takes effect at the next Start.
    const bool follow = m_chkFollowDuplicates->isChecked();
    if (!store(QStringLiteral("FollowDuplicates"), flag(follow)))
        return;
    m_settings.FollowDuplicates = follow;
    accept();
}

} // namespace corvanta
