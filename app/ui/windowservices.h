#pragma once

#include "irunshell.h"
#include "runtypes.h"

#include <QString>
#include <QVariant>

class QDialog;
class QWidget;

namespace corvanta {

// Stored settings as the window needs them: the four window values by key
// ("MainLeft", "MainTop", "MainWidth", "MainHeight", text of twips) and the six
// run settings in one read. A missing value yields the default given.
class ISettingsAccess
{
public:
    virtual ~ISettingsAccess() = default;
    virtual QVariant ReadSetting(const QString& key, const QVariant& defaultValue) = 0;
    // Returns an empty text on success, otherwise what went wrong.
    virtual QString WriteSetting(const QString& key, const QVariant& value) = 0;
    // Reads the run settings in their fixed order; `defaultHelloName` is what
    // HelloName falls back to when it was never stored.
    virtual RunSettings ReadRunSettings(const QString& defaultHelloName) = 0;
};

// The verification server as the window sees it at load: the first verifier is
// created before anything else, which starts the server process.
class IVerifierHost
{
public:
    virtual ~IVerifierHost() = default;
    // Creates the first verifier. False with a reason in `error` when the server
    // cannot be started; the window still opens.
    virtual bool StartFirstVerifier(QString& error) = 0;
    // The hello name the first verifier reports (or a local fallback).
    virtual QString DefaultHelloName() = 0;
};

// The window's modal interactions, so tests can answer them.
class IDialogs
{
public:
    virtual ~IDialogs() = default;
    // "Abort this run?" asked on a close request during a run.
    virtual Answer AskAbortRun(QWidget* parent) = 0;
    // A failure the user must know about (title "Corvanta").
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // Runs an already placed dialog modally.
    virtual int ExecModal(QDialog& dialog) = 0;
};

// QMessageBox and QDialog::exec.
class DefaultDialogs final : public IDialogs
{
public:
    Answer AskAbortRun(QWidget* parent) override;
    void ShowError(QWidget* parent, const QString& text) override;
    int ExecModal(QDialog& dialog) override;
};

// The text of the close question during a run.
inline constexpr const char* kAbortRunQuestion =
    "Are you sure you want to abort this process now and do not save the result?";
inline constexpr const char* kProductName = "Corvanta";

} // namespace corvanta
