#pragma once

#include "ui/frmmain.h"
#include "ui/iruncontroller.h"
#include "ui/windowservices.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace corvanta::testing {

// A settings store that remembers what was written, in order.
class FakeSettings final : public ISettingsAccess
{
public:
    QVariant ReadSetting(const QString& key, const QVariant& defaultValue) override
    {
        reads.append(key);
        return values.value(key, defaultValue);
    }
    QString WriteSetting(const QString& key, const QVariant& value) override
    {
        if (!failure.isEmpty())
            return failure;
        writes.append(key);
        values.insert(key, value);
        return {};
    }
    RunSettings ReadRunSettings(const QString& defaultHelloName) override
    {
        RunSettings settings = run;
        if (settings.HelloName.isEmpty())
            settings.HelloName = defaultHelloName;
        return settings;
    }

    QHash<QString, QVariant> values;
    QStringList reads;
    QStringList writes;
    RunSettings run;
    QString failure; // non-empty: every write fails with this text
};

class FakeVerifierHost final : public IVerifierHost
{
public:
    bool StartFirstVerifier(QString& error) override
    {
        error = failure;
        return failure.isEmpty();
    }
    QString DefaultHelloName() override { return QStringLiteral("probe.test"); }

    QString failure; // empty: the server starts
};

// Answers the close question from a script and records every dialog.
class FakeDialogs final : public IDialogs
{
public:
    Answer AskAbortRun(QWidget*) override
    {
        ++questions;
        return answer;
    }
    void ShowError(QWidget*, const QString& text) override { errors.append(text); }
    int ExecModal(QDialog& dialog) override
    {
        shown.append(dialog.objectName());
        if (onModal)
            onModal(dialog);
        return QDialog::Accepted;
    }

    Answer answer = Answer::Cancel;
    int questions = 0;
    QStringList errors;
    QStringList shown;
    std::function<void(QDialog&)> onModal;
};

// Records which entry points the window called.
class FakeRun final : public NullRunController
{
public:
    void OpenList() override { calls.append(QStringLiteral("open")); }
    void AddList() override { calls.append(QStringLiteral("add")); }
    void SaveResults() override { calls.append(QStringLiteral("save")); }
    void RunValidation() override
    {
        calls.append(State().RetryMode ? QStringLiteral("retry") : QStringLiteral("start"));
        if (onRun)
            onRun();
    }
    void TogglePause() override { calls.append(QStringLiteral("pause")); }
    void RequestStop() override
    {
        calls.append(QStringLiteral("stop"));
        NullRunController::RequestStop();
    }
    void ResetStatistics() override
    {
        calls.append(QStringLiteral("reset"));
        NullRunController::ResetStatistics();
    }
    void ShowSetup(QWidget&) override { calls.append(QStringLiteral("setup")); }
    void AttachCommandStates(ICommandStates& bars) override { attached = &bars; }

    QStringList calls;
    ICommandStates* attached = nullptr;
    std::function<void()> onRun;
};

// The main window over the fakes above.
struct Harness
{
    FakeSettings settings;
    FakeVerifierHost host;
    FakeDialogs dialogs;
    FakeRun run;
    bool online = true;
    std::unique_ptr<frmMain> window;

    frmMain& Open()
    {
        window = std::make_unique<frmMain>(run, settings, host, dialogs, [this] { return online; });
        return *window;
    }

    // Opens the window, at `size` when one is given, waits until it is on
    // screen and forgets the settings written so far.
    frmMain& OpenShown(QSize size = {})
    {
        frmMain& shown = Open();
        if (size.isValid())
            shown.resize(size);
        shown.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&shown));
        settings.writes.clear();
        return shown;
    }
};

} // namespace corvanta::testing
