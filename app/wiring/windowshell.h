#pragma once

#include "irunshell.h"

namespace corvanta {

class frmMain;

// The main window as the run logic's shell: dialogs and message boxes over the
// window, its overlay panels, stop count, caption and command states.
//
// Borrows the window, which must outlive the shell. GUI thread only.
class WindowShell final : public IRunShell
{
public:
    explicit WindowShell(frmMain& window);
    ~WindowShell() override;

    std::optional<QString> chooseListFile(const QString& title, const QString& filter) override;
    std::optional<QString> chooseSaveFile(const QString& title, const QString& suggested,
                                          const QString& filter) override;
    std::optional<qsizetype> chooseColumn(const QStringList& names) override;
    Answer askYesNo(const QString& text) override;
    void showNotice(const QString& text) override;
    void showMessage(const QString& text) override;
    void showSaved(const QString& validFile, const QString& errorsFile, qsizetype leftOut) override;
    void showSavedByVerdict(const SavedFiles& saved) override;

    void setOverlayVisible(Overlay overlay, bool visible) override;
    bool isOverlayVisible(Overlay overlay) const override;
    void setStopCount(int count) override;
    void setBusyCursor(bool busy) override;
    void updateCaption() override;
    void closeWindow() override;

    void updateCommandStates() override;
    void checkToolbarButton(int id, bool checked) override;
    void checkMenuButton(int id, bool checked) override;
    void setPositionText(const QString& text) override;

    // The run's "A|B|C|D" filter as the file dialog's "A;;C".
    static QString dialogFilter(const QString& filter);

private:
    frmMain& m_window;
    bool m_busy = false;
};

} // namespace corvanta
