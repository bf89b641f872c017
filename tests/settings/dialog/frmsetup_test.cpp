#include "frmsetup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>

using namespace corvanta;

namespace {

// A dialog over an in-memory store that records every write and the errors
// the dialog would have shown.
struct Harness
{
    RunSettings settings{.DnsServerName = QStringLiteral("192.0.2.53"),
                         .DefaultThreads = 25,
                         .DnsTimeout = 30,
                         .SmtpTimeout = 120,
                         .FromAddress = QStringLiteral("probe@example.org"),
                         .HelloName = QStringLiteral("host1")};
    std::map<QString, QString> stored;
    QStringList errors;
    QString failKey;

    SetupServices services()
    {
        SetupServices s;
        s.defaultDnsServer = [] {
            return QStringLiteral("198.51.100.1");
        };
        s.machineName = [] {
            return QStringLiteral("workstation");
        };
        s.writeSetting = [this](const QString& key, const QString& value) {
            if (key == failKey)
                throw std::runtime_error("ERROR #26001: Failed to create registry Key: 'x");
            stored[key] = value;
        };
        s.showError = [this](QWidget*, const QString& text) {
            errors << text;
        };
        return s;
    }
};

} // namespace

TEST(SetupDialog, ShowsTheSettingsInMemoryAndCancelStoresNothing)
{
    Harness h;
    frmSetup dlg(h.settings, h.services());
    EXPECT_EQ(dlg.windowTitle(), "Setup");
    EXPECT_EQ(dlg.txtDnsServerName()->text(), "192.0.2.53");
    EXPECT_EQ(dlg.txtDnsTimeout()->text(), "30");
    EXPECT_EQ(dlg.txtSmtpTimeout()->text(), "120");
    EXPECT_EQ(dlg.txtFromAddress()->text(), "probe@example.org");
    EXPECT_EQ(dlg.txtHelloName()->text(), "host1");
    ASSERT_EQ(dlg.cboDefaultThreads()->count(), 100);
    EXPECT_EQ(dlg.cboDefaultThreads()->itemText(0), "5");
    EXPECT_EQ(dlg.cboDefaultThreads()->itemText(99), "500");
    EXPECT_EQ(dlg.cboDefaultThreads()->currentText(), "25");

    // The default buttons fill their boxes; Cancel drops every change.
    dlg.cmdDefaultDNS_Click();
    dlg.cmdDefaultHelloName_Click();
    EXPECT_EQ(dlg.txtDnsServerName()->text(), "198.51.100.1");
    EXPECT_EQ(dlg.txtHelloName()->text(), "workstation");
    dlg.txtDnsTimeout()->setText("99");
    dlg.cboDefaultThreads()->setCurrentIndex(0);
    dlg.reject();
    EXPECT_TRUE(h.stored.empty());
    EXPECT_EQ(h.settings.DefaultThreads, 25);
}

TEST(SetupDialog, OkStoresTrimmedValuesAndOnlyThreadsChangeInMemoryOnceTheStoreWorks)
{
    Harness h;
    h.failKey = "SmtpTimeout";
    frmSetup dlg(h.settings, h.services());
    dlg.txtHelloName()->setText("  mx.example.net  ");
    dlg.txtFromAddress()->setText(" someone@example.net ");
    dlg.txtDnsTimeout()->setText("2.5");
    dlg.cboDefaultThreads()->setEditText("12.5 threads"); // typed, not picked
    EXPECT_FALSE(dlg.chkFollowDuplicates()->isChecked());
    dlg.chkFollowDuplicates()->setChecked(true);

    // A failed store shows its error, keeps the dialog open and changes
    // nothing in memory.
    dlg.cmdOK_Click();
    ASSERT_EQ(h.errors.size(), 1);
    EXPECT_TRUE(h.errors[0].contains("26001"));
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(h.stored.count("DefaultThreads"), 0u);
    EXPECT_EQ(h.settings.DefaultThreads, 25);

    h.failKey.clear();
    dlg.cmdOK_Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(h.errors.size(), 1);
    EXPECT_EQ(h.stored["DnsServerName"], "192.0.2.53");
    EXPECT_EQ(h.stored["DnsTimeout"], "2.5"); // rounded only when read back at the next start
    EXPECT_EQ(h.stored["HelloName"], "mx.example.net");
    EXPECT_EQ(h.stored["FromAddress"], "someone@example.net");
    EXPECT_EQ(h.stored["SmtpTimeout"], "120");
    EXPECT_EQ(h.stored["DefaultThreads"], "12.5");
    EXPECT_EQ(h.settings.DefaultThreads, 12); // half rounds to even
    EXPECT_EQ(h.settings.DnsTimeout, 30);
    EXPECT_EQ(h.settings.HelloName, "host1");
    EXPECT_EQ(h.stored["FollowDuplicates"], "1");
    EXPECT_TRUE(h.settings.FollowDuplicates);
}

TEST(SetupDialog, CorrectionsBelowOne)
{
    for (const char* bad : {"0", "-4", "abc", "", "0.4"}) {
        Harness h;
        h.settings.DefaultThreads = 7; // not offered: the box opens empty
        frmSetup dlg(h.settings, h.services());
        EXPECT_EQ(dlg.cboDefaultThreads()->currentIndex(), -1);
        EXPECT_EQ(dlg.cboDefaultThreads()->currentText(), "");
        dlg.txtDnsServerName()->setText("   ");
        dlg.txtDnsTimeout()->setText(bad);
        dlg.txtSmtpTimeout()->setText(bad);
        dlg.cmdOK_Click();

        EXPECT_EQ(dlg.txtDnsServerName()->text(), "198.51.100.1") << bad;
        EXPECT_EQ(h.stored["DnsServerName"], "198.51.100.1") << bad;
        EXPECT_EQ(dlg.txtDnsTimeout()->text(), "1") << bad;
        EXPECT_EQ(h.stored["DnsTimeout"], "1") << bad;
        EXPECT_EQ(h.stored["SmtpTimeout"], "1") << bad;
        EXPECT_EQ(dlg.cboDefaultThreads()->currentText(), "5") << bad;
        EXPECT_EQ(h.stored["DefaultThreads"], "5") << bad;
        EXPECT_EQ(h.settings.DefaultThreads, 5) << bad;
    }
}

TEST(SetupDialog, VerdictFrameIsOffByDefaultAndItsSwitchesTakeEffectAtOnce)
{
    Harness h;
    frmSetup off(h.settings, h.services());
    EXPECT_FALSE(off.fraVerdicts()->isChecked());
    EXPECT_FALSE(off.chkProbeAcceptAll()->isEnabled()) << "the probe needs the frame";
    off.cmdOK_Click();
    EXPECT_EQ(h.stored["ReadReplyCodes"], "0");
    EXPECT_EQ(h.stored["ProbeAcceptAll"], "0");

    frmSetup on(h.settings, h.services());
    on.fraVerdicts()->setChecked(true);
    on.chkProbeAcceptAll()->setChecked(true);
    on.cmdOK_Click();
    EXPECT_EQ(h.stored["ReadReplyCodes"], "1");
    EXPECT_EQ(h.stored["ProbeAcceptAll"], "1");
    EXPECT_TRUE(h.settings.ReadReplyCodes && h.settings.ProbeAcceptAll);
    frmSetup again(h.settings, h.services());
    EXPECT_TRUE(again.fraVerdicts()->isChecked() && again.chkProbeAcceptAll()->isChecked());
}
