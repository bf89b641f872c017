#pragma once

#include "icommandstates.h"
#include "irunshell.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QTimer;

namespace corvanta {

class CommandBars;
class IDialogs;
class IRunController;
class ISettingsAccess;
class IVerifierHost;
class ReportModel;
class PaintPacer;
class ReportView;
class Twips;

// The main window: menu bar, toolbar "Standard", the report, the status panel
// and the two "Please Wait..." overlays. It loads hidden in its constructor (the
// caller shows it), dispatches commands to the run controller, keeps the command
// states, lays out its client area and applies the close rules.
//
// Borrows every service passed in; they must outlive the window. Owns the report
// model and all child widgets. GUI thread only.
class frmMain final : public QMainWindow, public ICommandStates
{
    Q_OBJECT
public:
    using NetworkProbe = std::function<bool()>;

    frmMain(IRunController& run, ISettingsAccess& settings, IVerifierHost& verifiers,
            IDialogs& dialogs, NetworkProbe networkIsAlive, QWidget* parent = nullptr);
    ~frmMain() override;

    // ICommandStates
    void EnableToolbarButton(int id, bool on) override;
    void EnableMenuButton(int id, bool on) override;
    void CheckToolbarButton(int id, bool on) override;
    void CheckMenuButton(int id, bool on) override;

    // Carries out the command with that id; unknown ids do nothing.
    void ExecuteCommand(int id);
    // One idle refresh of every control (the idle timer calls this); public so a
    // caller that changed the report can have Add and Retry follow at once.
    void RefreshControls();
    void RefreshControl(int id);
    void LayoutClientArea();
    // Caption from the product name and the run state's ListFile.
    void UpdateCaption();
    // Enables the commands for the current IsRunning.
    void UpdateCommandStates();

    // The "Please Wait..." panels (loading, saving, a stopping run) are placed
    // centred in the client area, in front of the report.
    void ShowOverlayPanel(Overlay which);
    void HideOverlayPanel(Overlay which);
    QFrame* OverlayPanel(Overlay which) const;
    // The count beside "Threads running:" on the stop panel.
    void SetStopCount(int count);

    ReportModel& Report() const { return *m_report; }
    ReportView& ReportGrid() const { return *m_reportView; }
    // The status strip under the report. Until the real panel is handed over
    // with SetStatusPanel a placeholder of the right height holds its place.
    QWidget* StatusPanel() const { return m_statusPanel; }
    // Takes ownership of `panel`, replaces the current one and lays out again.
    void SetStatusPanel(QWidget* panel);

    QAction* MenuControl(int id) const;
    QAction* ToolbarControl(int id) const;
    QComboBox* ThreadsBox() const;
    QLineEdit* PositionBox() const;
    const Twips& TwipsScale() const { return *m_twips; }

    // Height of the status panel strip in twips.
    static constexpr int kStatusPanelTwips = 735;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Load();
    void ReadWindowGeometry();
    void WriteWindowGeometry();
    void CloseOtherWindows();
    void ApplyThreadsBox();
    void ApplyPositionBox();
    QFrame* MakeOverlay(const QString& name, const QString& text);
    QFrame* MakeStopPanel();

    IRunController& m_run;
    ISettingsAccess& m_settings;
    IVerifierHost& m_verifiers;
    IDialogs& m_dialogs;
    NetworkProbe m_networkIsAlive;

    std::unique_ptr<Twips> m_twips;
    CommandBars* m_bars = nullptr;
    ReportModel* m_report = nullptr;
    ReportView* m_reportView = nullptr;
    PaintPacer* m_paintPacer = nullptr; // a child of this window
    QWidget* m_clientArea = nullptr;
    QWidget* m_statusPanel = nullptr;
    QFrame* m_loadPanel = nullptr;
    QFrame* m_savePanel = nullptr;
    QFrame* m_stopPanel = nullptr;
    QLabel* m_stopCount = nullptr;
    QTimer* m_idle = nullptr;
    QString m_serverError;
};

} // namespace corvanta
