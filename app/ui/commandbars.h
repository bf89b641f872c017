#pragma once

#include <QHash>
#include <QObject>

class QAction;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QMenu;
class QToolBar;

namespace corvanta {

// The menu bar and the toolbar "Standard" of the main window, built in their
// fixed order with their captions, ids, groups, tool tips and widths. Every menu
// entry and every toolbar control is its own QAction, so enabling or checking
// one kind never changes the other. Emits Execute(id) when the user chooses an
// entry or control, or finishes a choice in the Threads or Position box.
//
// Owned by the window it is built on (as a QObject child); GUI thread only.
class CommandBars final : public QObject
{
    Q_OBJECT
public:
    // Builds nothing yet; BuildMenuBar and BuildToolbar fill `window`.
    explicit CommandBars(QMainWindow& window);

    void BuildMenuBar();
    // `defaultThreads` picks the Threads item shown first; a value that is not
    // one of the items leaves the box empty.
    void BuildToolbar(int defaultThreads);

    // The control of one kind with a command id, or nullptr.
    QAction* MenuControl(int id) const { return m_menu.value(id, nullptr); }
    QAction* ToolbarControl(int id) const { return m_toolbar.value(id, nullptr); }
    QComboBox* ThreadsBox() const { return m_threads; }
    QLineEdit* PositionBox() const { return m_position; }
    QToolBar* Toolbar() const { return m_bar; }
    // Every id that has a control of either kind, ascending.
    QList<int> ControlIds() const;

signals:
    void Execute(int id);

private:
    QMenu* AddPopup(const QString& caption);
    QAction* AddMenuEntry(QMenu& popup, int id, const QString& caption, bool groupStart);
    QAction* AddToolButton(int id, const QString& caption);

    QMainWindow& m_window;
    QToolBar* m_bar = nullptr;
    QComboBox* m_threads = nullptr;
    QLineEdit* m_position = nullptr;
    QHash<int, QAction*> m_menu;
    QHash<int, QAction*> m_toolbar;
};

} // namespace corvanta
