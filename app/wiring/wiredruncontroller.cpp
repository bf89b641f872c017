#include "wiredruncontroller.h"

#include "listjournals.h"
#include "listloader.h"
#include "reportexport.h"
#include "resultfiles.h"
#include "runcontext.h"
#include "runcontroller.h"
#include "statistics.h"
#include "ui/windowplacement.h"
#include "ui/windowservices.h"

namespace corvanta {

WiredRunController::WiredRunController(IDialogs& dialogs, SetupServices setup)
    : m_dialogs(dialogs), m_setup(std::move(setup))
{}

// The run logic refers to the context; it goes first.
WiredRunController::~WiredRunController()
{
    m_run.reset();
    m_loader.reset();
    m_ctx.reset();
    // Writes what is still queued before the program goes.
    m_journals.reset();
}

void WiredRunController::bind(IReport& report, IStatusDisplay& status, IRunShell& shell,
                              IVerifierFactory& factory, std::function<void()> afterRun)
{
    m_afterRun = std::move(afterRun);
    m_ctx = std::make_unique<RunContext>(RunContext{m_state, m_settings, report, status, shell});
    m_journals = std::make_unique<ListJournals>(defaultJournalFolder());
    m_sinks.add(m_replies);
    m_sinks.add(*m_journals);
    m_ctx->sink = &m_sinks;
    m_ctx->listRows = &m_listRows;
    m_ctx->journal = m_journals.get();
    m_loader = std::make_unique<ListLoader>(*m_ctx);
    m_run = std::make_unique<RunController>(*m_ctx, factory, *m_loader);
}

void WiredRunController::flushJournal()
{
    if (m_journals)
        m_journals->flush();
}

void WiredRunController::OpenListFile(const QString& path)
{
    if (m_loader)
        m_loader->OpenListFile(path);
}

void WiredRunController::setOnline(bool online)
{
    if (m_run)
        m_run->setOnline(online);
    else
        m_state.IsOnline = online;
}

void WiredRunController::AttachCommandStates(ICommandStates&)
{
    // The run reaches the command states through its shell, which is the
    // same window.
}

void WiredRunController::OpenList()
{
    if (m_loader)
        m_loader->OpenList();
}

void WiredRunController::AddList()
{
    if (m_loader)
        m_loader->AddList();
}

void WiredRunController::SaveResults()
{
    if (m_ctx)
        corvanta::SaveResults(*m_ctx);
}

void WiredRunController::ExportReport()
{
    if (m_ctx && !m_state.IsRunning)
        corvanta::ExportReport(*m_ctx, &m_replies, {});
}

void WiredRunController::RunValidation()
{
    if (!m_run || m_state.IsRunning)
        return;
    m_run->RunValidation();
    if (m_afterRun)
        m_afterRun();
}

void WiredRunController::TogglePause()
{
    if (m_run)
        m_run->TogglePause();
}

void WiredRunController::RequestStop()
{
    if (m_run)
        m_run->RequestStop();
    else
        m_state.StopRequested = true;
}

void WiredRunController::ResetStatistics()
{
    if (m_ctx) {
        corvanta::ResetStatistics(*m_ctx);
        return;
    }
    // While the window is built there is no display yet: the counters alone.
    m_state.ElapsedSeconds = 0;
    m_state.ValidatedCount = 0;
    m_state.GoodCount = 0;
    m_state.BadCount = 0;
    m_state.RetryedCount = 0;
    m_state.StartPosition = 1;
}

void WiredRunController::ShowSetup(QWidget& owner)
{
    frmSetup dialog(m_settings, m_setup, &owner);
    CenterForm(dialog, &owner);
    m_dialogs.ExecModal(dialog);
}

} // namespace corvanta
