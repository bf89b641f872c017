#pragma once

#include "runsettings.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;

namespace corvanta {

// What the setup dialog needs from the rest of the program. Each is called on
// the GUI thread while the dialog is open.
struct SetupServices
{
    // The system's default DNS server ("" when there is none).
    std::function<QString()> defaultDnsServer;
    // The local machine's name, as the SMTP component would announce it.
    std::function<QString()> machineName;
    // Stores one setting under the program's settings key. Throws (any
    // std::exception) when the value cannot be stored.
    std::function<void(const QString& key, const QString& value)> writeSetting;
    // Turns a failure of writeSetting into the text a message box shows.
    std::function<QString(const std::exception&)> describeError;
    // Shows an error; tests replace it so nothing blocks. Defaults to a
    // warning box titled "Corvanta" over the dialog.
    std::function<void(QWidget* parent, const QString& text)> showError;
};

// The modal "Setup" dialog: shows the six run settings held in memory, offers
// the system's DNS server and the machine's name as defaults, and on OK
// stores the edited values. Only the thread count and the two verdict
// switches change in memory at once; the other values take effect at the
// next start.
//
// Ownership: `settings` is the caller's and must outlive the dialog.
class frmSetup final : public QDialog
{
    Q_OBJECT

public:
    frmSetup(RunSettings& settings, SetupServices services, QWidget* parent = nullptr);

    // cmdOK: validates, stores and closes. When a store fails the error is
    // shown and the dialog stays open with what has been corrected so far.
    void cmdOK_Click();
    void cmdDefaultDNS_Click();
    void cmdDefaultHelloName_Click();

    QLineEdit* txtDnsServerName() const { return m_txtDnsServerName; }
    QLineEdit* txtDnsTimeout() const { return m_txtDnsTimeout; }
    QLineEdit* txtHelloName() const { return m_txtHelloName; }
    QLineEdit* txtFromAddress() const { return m_txtFromAddress; }
    QLineEdit* txtSmtpTimeout() const { return m_txtSmtpTimeout; }
    QComboBox* cboDefaultThreads() const { return m_cboDefaultThreads; }
    // The frame "Read reply codes, and keep doubtful addresses apart": its
    // own check mark is the switch; the box inside turns the accept-all
    // probe on.
    QGroupBox* fraVerdicts() const { return m_fraVerdicts; }
    QCheckBox* chkProbeAcceptAll() const { return m_chkProbeAcceptAll; }
    QLineEdit* txtPerDomainLimit() const { return m_txtPerDomainLimit; }
    QCheckBox* chkRecheckGreylisted() const { return m_chkRecheckGreylisted; }
    QCheckBox* chkFollowDuplicates() const { return m_chkFollowDuplicates; }

    // The text a stored number takes: whole numbers without a decimal part,
    // others with as many digits as they need ("2.5").
    static QString numberText(double value);

private:
    void buildLayout();
    void loadValues();
    bool store(const QString& key, const QString& value);

    RunSettings& m_settings;
    SetupServices m_services;
    QLineEdit* m_txtDnsServerName = nullptr;
    QLineEdit* m_txtDnsTimeout = nullptr;
    QLineEdit* m_txtHelloName = nullptr;
    QLineEdit* m_txtFromAddress = nullptr;
    QLineEdit* m_txtSmtpTimeout = nullptr;
    QComboBox* m_cboDefaultThreads = nullptr;
    QGroupBox* m_fraVerdicts = nullptr;
    QCheckBox* m_chkProbeAcceptAll = nullptr;
    QLineEdit* m_txtPerDomainLimit = nullptr;
    QCheckBox* m_chkRecheckGreylisted = nullptr;
    QCheckBox* m_chkFollowDuplicates = nullptr;
};

} // namespace corvanta
