#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace corvanta {

// The overlay panels headed "Please Wait..." of the main window.
enum class Overlay
{
    LoadFile,   // "Loading file, please wait"
    SavingFile, // "Saving file, please wait"
    Stop,       // the stop panel with its "Threads running:" count
};

// What a save that kept doubtful addresses apart wrote: the three files and
// how many addresses each received, and how many had no outcome yet.
struct SavedFiles
{
    QString validFile;
    QString errorsFile;
    QString unknownFile;
    qsizetype valid = 0;
    qsizetype errors = 0;
    qsizetype unknown = 0;
    qsizetype leftOut = 0;
};

enum class Answer
{
    Yes,
    No,
    Cancel,
};

// The main window as the run logic sees it: dialogs, message boxes, overlay
// panels, command states and caption. Called on the GUI thread only. Modal
// calls (message boxes, the file dialog, the saved dialog) may run a nested
// event loop.
class IRunShell
{
public:
    virtual ~IRunShell() = default;

    // The file-open dialog with the given title and filter
    // ("Mailing Lists (*.txt)|*.txt|All Files (*.*)|*.*"); no value on cancel.
    virtual std::optional<QString> chooseListFile(const QString& title, const QString& filter) = 0;
    // The file-save dialog with the given title, suggested path and filter;
    // no value on cancel. The dialog asks before replacing a file.
    virtual std::optional<QString> chooseSaveFile(const QString& title, const QString& suggested,
                                                  const QString& filter) = 0;
    // Asks which column of a CSV list holds the addresses, showing the names
    // of its header; no value on cancel.
    virtual std::optional<qsizetype> chooseColumn(const QStringList& names) = 0;
    // A question with Yes and No buttons, titled kMessageTitle.
    virtual Answer askYesNo(const QString& text) = 0;
    // A message box that does not wait for its OK: what goes on (a run)
    // goes on while it is shown.
    virtual void showNotice(const QString& text) = 0;
    // A message box titled kMessageTitle with an OK button.
    virtual void showMessage(const QString& text) = 0;
    // The "Saved" dialog, modal, centred over the main window. leftOut is the
    // number of addresses that had no outcome and went into neither file.
    virtual void showSaved(const QString& validFile, const QString& errorsFile,
                           qsizetype leftOut) = 0;
    // The "Saved" dialog of a save by verdict: names the three files and
    // counts each.
    virtual void showSavedByVerdict(const SavedFiles& saved) = 0;

    // Shows a panel centred and in front, or hides it.
    virtual void setOverlayVisible(Overlay overlay, bool visible) = 0;
    virtual bool isOverlayVisible(Overlay overlay) const = 0;
    // The count beside "Threads running:" on the stop panel.
    virtual void setStopCount(int count) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // Caption from the product name and the list file.
    virtual void updateCaption() = 0;
    // Closes the main window; called after a run that was told to close it.
    virtual void closeWindow() = 0;

    // Enables the commands for the run state's IsRunning, by the window's
    // own rule.
    virtual void updateCommandStates() = 0;
    virtual void checkToolbarButton(int id, bool checked) = 0;
    virtual void checkMenuButton(int id, bool checked) = 0;
    // The text of the Position box (503).
    virtual void setPositionText(const QString& text) = 0;
};

} // namespace corvanta
