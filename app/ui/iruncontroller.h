#pragma once

#include "runtypes.h"

class QWidget;

namespace corvanta {

class ICommandStates;

// What the main window hands over to the list, run and results logic. The
// window owns no run logic itself: its commands call these entry points, and
// its command states and close rules read the flags in State(). Everything is
// called on the GUI thread; an entry point may yield to the event loop, so the
// window's commands and close request can arrive while it is still inside one.
class IRunController
{
public:
    virtual ~IRunController() = default;

    // The flags and counters, and the current settings; the references stay
    // valid for the controller's life.
    virtual RunState& State() = 0;
    virtual RunSettings& Settings() = 0;

    // Called once by the window while it loads, before any entry point: the
    // controls the run enables, disables and checks.
    virtual void AttachCommandStates(ICommandStates& bars) = 0;

    virtual void OpenList() = 0;
    virtual void AddList() = 0;
    virtual void SaveResults() = 0;
    // File > Export report...: every row with its outcome and replies as CSV.
    virtual void ExportReport() = 0;
    // Start and Retry: the window has set StopRequested, ForceAbort and RetryMode.
    virtual void RunValidation() = 0;
    virtual void TogglePause() = 0;
    virtual void RequestStop() = 0;
    // Clears the counters (window load, list opening).
    virtual void ResetStatistics() = 0;
    // Shows the setup dialog modally over `owner`.
    virtual void ShowSetup(QWidget& owner) = 0;
};

// Holds the state and does nothing else: the window works (and tests drive the
// flags) before the run logic exists.
class NullRunController : public IRunController
{
public:
    RunState& State() override { return m_state; }
    RunSettings& Settings() override { return m_settings; }
    void AttachCommandStates(ICommandStates&) override {}
    void OpenList() override {}
    void AddList() override {}
    void SaveResults() override {}
    void ExportReport() override {}
    void RunValidation() override {}
    void TogglePause() override {}
    void RequestStop() override { m_state.StopRequested = true; }
    void ResetStatistics() override
    {
        m_state.ElapsedSeconds = 0;
        m_state.ValidatedCount = 0;
        m_state.GoodCount = 0;
        m_state.BadCount = 0;
        m_state.RetryedCount = 0;
        m_state.StartPosition = 1;
    }
    void ShowSetup(QWidget&) override {}

private:
    RunState m_state;
    RunSettings m_settings;
};

} // namespace corvanta
