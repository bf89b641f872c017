// The window's commands: the states of its controls, the dispatch of a
// command to the run, and the idle refresh that applies the Threads and
// Position boxes and follows Add and Retry.

#include "commandbars.h"
#include "commandids.h"
#include "frmabout.h"
#include "frmmain.h"
#include "iruncontroller.h"
#include "numbertext.h"
#include "paintpacer.h"
#include "reportmodel.h"
#include "reportview.h"
#include "textnumber.h"
#include "windowplacement.h"
#include "windowservices.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>

namespace corvanta {

namespace {

// The fallback of the Threads box is deliberately not the default thread count.
constexpr int kThreadsFallback = 20;

} // namespace

// ---- Command states -------------------------------------------------------

void frmMain::EnableToolbarButton(int id, bool on)
{
    if (QAction* control = m_bars->ToolbarControl(id))
        control->setEnabled(on);
}

void frmMain::EnableMenuButton(int id, bool on)
{
    if (QAction* control = m_bars->MenuControl(id))
        control->setEnabled(on);
}

void frmMain::CheckToolbarButton(int id, bool on)
{
    // A control is checkable only while it shows its mark, so clicking an
    // unchecked button never checks it behind the run's back.
    if (QAction* control = m_bars->ToolbarControl(id)) {
        control->setCheckable(on);
        control->setChecked(on);
    }
}

void frmMain::CheckMenuButton(int id, bool on)
{
    if (QAction* control = m_bars->MenuControl(id)) {
        control->setCheckable(on);
        control->setChecked(on);
    }
}

void frmMain::UpdateCommandStates()
{
    ApplyCommandStates(*this, m_run.State().IsRunning, m_run.State().IsBusy);
}

QAction* frmMain::MenuControl(int id) const
{
    return m_bars->MenuControl(id);
}

QAction* frmMain::ToolbarControl(int id) const
{
    return m_bars->ToolbarControl(id);
}

QComboBox* frmMain::ThreadsBox() const
{
    return m_bars->ThreadsBox();
}

QLineEdit* frmMain::PositionBox() const
{
    return m_bars->PositionBox();
}

// ---- Commands -------------------------------------------------------------

void frmMain::ExecuteCommand(int id)
{
    RunState& state = m_run.State();
    // While a list is read or the results are written, the commands that
    // would start another load, save, run or retry are disabled; one that
    // arrives all the same (queued before the controls went grey) is dropped.
    if (state.IsBusy &&
        (id == CmdOpen || id == CmdSave || id == CmdAdd || id == CmdStart || id == CmdRetry))
        return;
    switch (id) {
    case CmdOpen:
        m_run.OpenList();
        break;
    case CmdSave:
        m_run.SaveResults();
        break;
    case CmdExit:
        close();
        break;
    case CmdAdd:
        m_run.AddList();
        break;
    case CmdExport:
        m_run.ExportReport();
        break;
    case CmdStart:
    case CmdRetry:
        state.StopRequested = false;
        state.ForceAbort = false;
        state.RetryMode = id == CmdRetry;
        // A run addresses rows by position: put them back in record order and
        // keep them there until the run is over.
        m_report->RestoreRecordOrder();
        m_reportView->SetSortingAllowed(false);
        m_paintPacer->setEnabled(true);
        m_run.RunValidation();
        m_paintPacer->setEnabled(state.IsRunning);
        m_reportView->SetSortingAllowed(!state.IsRunning);
        break;
    case CmdPause:
        m_run.TogglePause();
        break;
    case CmdStop:
        m_run.RequestStop();
        break;
    case CmdSetup:
        m_run.ShowSetup(*this);
        m_reportView->SetVerdictsShown(m_run.Settings().ReadReplyCodes);
        break;
    case CmdAbout: {
        frmAbout about(this);
        CenterForm(about, this);
        m_dialogs.ExecModal(about);
        break;
    }
    case CmdThreadsBox:
        ApplyThreadsBox();
        break;
    case CmdPositionBox:
        ApplyPositionBox();
        break;
    default:
        break;
    }
}

void frmMain::ApplyThreadsBox()
{
    QComboBox* box = m_bars->ThreadsBox();
    const qint32 threads = roundHalfEvenToInt32(LeadingNumber(box->currentText()));
    if (threads < 1) {
        m_run.State().ThreadCount = kThreadsFallback;
        const int item = box->findText(QString::number(kThreadsFallback));
        box->setCurrentIndex(item);
    } else {
        m_run.State().ThreadCount = threads;
    }
}

void frmMain::ApplyPositionBox()
{
    QLineEdit* box = m_bars->PositionBox();
    const double position = LeadingNumber(box->text());
    if (position < 1) {
        m_run.State().StartPosition = 1;
        box->setText(QStringLiteral("1"));
    } else {
        m_run.State().StartPosition = position;
    }
}

void frmMain::RefreshControls()
{
    for (int id : m_bars->ControlIds())
        RefreshControl(id);
    m_reportView->SetSortingAllowed(!m_run.State().IsRunning);
}

void frmMain::RefreshControl(int id)
{
    const RunState& state = m_run.State();
    switch (id) {
    case CmdThreadsBox:
        ApplyThreadsBox();
        break;
    case CmdPositionBox:
        ApplyPositionBox();
        break;
    case CmdAdd:
        // While a run goes, a list is read or the results written, the states
        // set for that stand.
        if (!state.IsRunning && !state.IsBusy) {
            EnableToolbarButton(CmdAdd, m_report->RecordCount() >= 1);
            EnableMenuButton(CmdAdd, m_report->RecordCount() >= 1);
        }
        break;
    case CmdExport:
        // A menu entry only; it writes the report, so not while a run
        // changes it.
        EnableMenuButton(CmdExport, !state.IsRunning && m_report->RecordCount() >= 1);
        break;
    case CmdRetry:
        if (!state.IsRunning && !state.IsBusy) {
            EnableToolbarButton(CmdRetry, state.BadCount >= 1);
            EnableMenuButton(CmdRetry, state.BadCount >= 1);
        }
        break;
    default:
        break;
    }
}

} // namespace corvanta
