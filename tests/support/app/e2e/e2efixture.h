#pragma once

// The whole corvanta program in this process, offscreen, against a real
// sondrix and fakeworld's DNS and mail servers. Needs a private network
// namespace (fakeworld binds 127.0.0.1:53 and 127.1.0.x:25).

#include "mainprogram.h"
#include "runtypes.h"
#include "statuspanel.h"
#include "ui/frmmain.h"
#include "wiredruncontroller.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace corvanta::e2e {

// `count` lines userN@domain, each ended by a line feed.
inline QByteArray numbered(const QByteArray& domain, int count)
{
    QByteArray list;
    for (int i = 1; i <= count; ++i)
        list += "user" + QByteArray::number(i) + '@' + domain + '\n';
    return list;
}

// The rows of `codes` still without an outcome.
inline qsizetype withoutOutcome(const std::vector<int>& codes)
{
    return std::count(codes.begin(), codes.end(), -1);
}

// The network probe the tests switch.
struct ProbeSwitch
{
    bool online = true;
};

// Answers every modal window the program opens: message boxes get `answer`
// (OK when they have no such button), the "Saved" dialog gets OK. Every text
// shown is kept, in order.
class ModalAnswerer final : public QObject
{
public:
    ModalAnswerer();
    QStringList messages;
    // Both paths and the left-out line of each Saved dialog; after a save by
    // verdict also the third path and the three captions.
    QStringList savedTexts;
    int answer = 0; // a QMessageBox::StandardButton; 0 means OK / the default
    // Handles any other dialog; such a dialog is rejected when this is empty.
    std::function<void(QDialog&)> onDialog;

private:
    void poll();
    QTimer m_timer;
};

class E2eTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // fakeworld with three answering domains (domain1..3.test) plus `extra`.
    void startWorld(const QStringList& extra = {});
    // The stored settings the program reads at start; DnsServerName points at
    // fakeworld, the time-outs are short.
    void storeSettings(int threads, int dnsTimeout = 3, int smtpTimeout = 3);
    // The verdict switches of Setup, stored for the next start.
    void storeVerdictSwitches(bool readReplyCodes, bool probeAcceptAll);
    // Builds the program (which starts sondrix) and shows its window.
    void startProgram();
    QString writeList(const QByteArray& bytes);
    QByteArray readFile(const QString& path) const;

    RunState& state() const { return m_program->run().State(); }
    frmMain& window() const { return m_program->window(); }
    QString label(StatusPanel::Label which) const;
    // The stored code of each row; -1 for a row without an outcome.
    std::vector<int> codes() const;
    // Runs a command; Start and Retry return when the run has ended.
    void command(int id) { window().ExecuteCommand(id); }
    // Calls `action` once, as soon as `condition` holds during a run.
    void when(std::function<bool()> condition, std::function<void()> action);
    // The pid of the sondrix serving this test, 0 when none runs.
    qint64 serverPid() const;

    QTemporaryDir m_tmp;
    QProcess m_world;
    std::shared_ptr<ProbeSwitch> m_probe = std::make_shared<ProbeSwitch>();
    std::unique_ptr<ModalAnswerer> m_modals;
    std::unique_ptr<MainProgram> m_program;
    std::vector<std::unique_ptr<QTimer>> m_triggers;
};

} // namespace corvanta::e2e
