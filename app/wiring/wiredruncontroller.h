#pragma once

#include "csvlist.h"
#include "frmsetup.h"
#include "replystore.h"
#include "ui/iruncontroller.h"

#include <functional>
#include <memory>

namespace corvanta {

class IDialogs;
class IReport;
class IRunShell;
class IStatusDisplay;
class IVerifierFactory;
class ListJournals;
class ListLoader;
class RunController;
struct RunContext;

// The window's run seam, carried out by the run logic (list loading, the run,
// the result files) and the setup dialog.
//
// The window needs this object while it is built, and the run logic needs the
// window's parts, so the two are joined in two steps: the window is built on
// an unbound controller (its entry points only keep the state), then bind()
// hands over the parts. Everything borrowed must outlive this object or be
// left unused after it is gone. GUI thread only.
class WiredRunController final : public IRunController
{
public:
    WiredRunController(IDialogs& dialogs, SetupServices setup);
    ~WiredRunController() override;

    // `afterRun` is called each time a run has ended (the verifier pool
    // releases its spare objects there).
    void bind(IReport& report, IStatusDisplay& status, IRunShell& shell, IVerifierFactory& factory,
              std::function<void()> afterRun);
    bool isBound() const { return m_run != nullptr; }

    // Waits until every outcome recorded so far is in its journal.
    void flushJournal();

    // Opens the list at path as the Open command does after its dialog.
    void OpenListFile(const QString& path);
    // A reading of the network state (the status panel's once-a-second tick).
    void setOnline(bool online);

    RunState& State() override { return m_state; }
    RunSettings& Settings() override { return m_settings; }
    void AttachCommandStates(ICommandStates& bars) override;
    void OpenList() override;
    void AddList() override;
    void SaveResults() override;
    void ExportReport() override;
    void RunValidation() override;
    void TogglePause() override;
    void RequestStop() override;
    void ResetStatistics() override;
    void ShowSetup(QWidget& owner) override;

private:
    IDialogs& m_dialogs;
    SetupServices m_setup;
    RunState m_state;
    RunSettings m_settings;
    // The replies of every outcome, for the full report.
    ReplyStore m_replies;
    // The raw rows of CSV lists, for their result files.
    ListRows m_listRows;
    // Every outcome on disk, per list; made when the window's parts are bound.
    std::unique_ptr<ListJournals> m_journals;
    OutcomeSinks m_sinks;
    std::function<void()> m_afterRun;
    std::unique_ptr<RunContext> m_ctx;
    std::unique_ptr<ListLoader> m_loader;
    std::unique_ptr<RunController> m_run;
};

} // namespace corvanta
