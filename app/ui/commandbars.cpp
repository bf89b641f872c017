#include "commandbars.h"

#include "commandicons.h"
#include "commandids.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <algorithm>

namespace corvanta {

namespace {
const QString kThreadsTip = QStringLiteral("Number of concurrent connections");
const QString kPositionTip = QStringLiteral("Starting position from the begaining of the file");
constexpr int kThreadsWidth = 50;
constexpr int kPositionWidth = 80;
} // namespace

CommandBars::CommandBars(QMainWindow& window) : QObject(&window), m_window(window) {}

QMenu* CommandBars::AddPopup(const QString& caption)
{
    QMenu* popup = m_window.menuBar()->addMenu(caption);
    // The pop-ups themselves carry id 0 and do nothing when chosen.
    popup->menuAction()->setData(0);
    return popup;
}

QAction* CommandBars::AddMenuEntry(QMenu& popup, int id, const QString& caption, bool groupStart)
{
    if (groupStart)
        popup.addSeparator();
    auto* action = new QAction(CommandIcon(id), caption, &popup);
    action->setData(id);
    action->setIconVisibleInMenu(true);
    popup.addAction(action);
    connect(action, &QAction::triggered, this, [this, id] { emit Execute(id); });
    m_menu.insert(id, action);
    return action;
}

void CommandBars::BuildMenuBar()
{
    QMenu* file = AddPopup(QStringLiteral("&File"));
    AddMenuEntry(*file, CmdOpen, QStringLiteral("&Open"), false);
    AddMenuEntry(*file, CmdSave, QStringLiteral("&Save"), false);
    AddMenuEntry(*file, CmdAdd, QStringLiteral("&Add"), true);
    AddMenuEntry(*file, CmdExport, QStringLiteral("&Export report..."), false);
    AddMenuEntry(*file, CmdExit, QStringLiteral("&Exit"), true);

    QMenu* action = AddPopup(QStringLiteral("&Action"));
    AddMenuEntry(*action, CmdStart, QStringLiteral("&Start"), false);
    AddMenuEntry(*action, CmdPause, QStringLiteral("&Pause"), false);
    AddMenuEntry(*action, CmdStop, QStringLiteral("S&top"), false);
    AddMenuEntry(*action, CmdRetry, QStringLiteral("&Retry"), false);

    QMenu* tools = AddPopup(QStringLiteral("&Tools"));
    AddMenuEntry(*tools, CmdSetup, QStringLiteral("&Setup"), false);

    QMenu* help = AddPopup(QStringLiteral("&Help"));
    AddMenuEntry(*help, CmdAbout, QStringLiteral("&About"), false);
}

QAction* CommandBars::AddToolButton(int id, const QString& caption)
{
    auto* action = new QAction(CommandIcon(id), caption, m_bar);
    action->setData(id);
    m_bar->addAction(action);
    connect(action, &QAction::triggered, this, [this, id] { emit Execute(id); });
    m_toolbar.insert(id, action);
    return action;
}

void CommandBars::BuildToolbar(int defaultThreads)
{
    m_bar = new QToolBar(QStringLiteral("Standard"), &m_window);
    m_bar->setObjectName(QStringLiteral("Standard"));
    m_bar->setIconSize(QSize(16, 16));
    // Icons only: with captions beside them the twelve controls do not fit the
    // window's default width. Each button's tool tip shows its caption.
    m_bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Permanent controls: the user cannot take the bar away.
    m_bar->setMovable(false);
    m_bar->toggleViewAction()->setEnabled(false);
    m_window.addToolBar(Qt::TopToolBarArea, m_bar);

    AddToolButton(CmdOpen, QStringLiteral("&Open"));
    AddToolButton(CmdSave, QStringLiteral("&Save"));
    AddToolButton(CmdAdd, QStringLiteral("&Add"));

    m_bar->addSeparator();
    auto* label = new QLabel(QStringLiteral("Threads"), m_bar);
    label->setToolTip(kThreadsTip);
    label->setContentsMargins(4, 0, 4, 0);
    QAction* labelAction = m_bar->addWidget(label);
    labelAction->setData(CmdThreadsLabel);
    labelAction->setText(QStringLiteral("Threads"));
    labelAction->setToolTip(kThreadsTip);
    m_toolbar.insert(CmdThreadsLabel, labelAction);

    m_threads = new QComboBox(m_bar);
    m_threads->setObjectName(QStringLiteral("Threads"));
    m_threads->setAccessibleName(QStringLiteral("Threads"));
    m_threads->setToolTip(kThreadsTip);
    m_threads->setFixedWidth(kThreadsWidth);
    m_threads->setEditable(false); // a drop-down list: pick an item, no free typing
    m_threads->setMaxVisibleItems(20);
    m_threads->setCurrentIndex(-1);
    for (int value = 5; value <= 500; value += 5) {
        m_threads->addItem(QString::number(value));
        if (value == defaultThreads)
            m_threads->setCurrentIndex(m_threads->count() - 1);
    }
    if (m_threads->currentText() != QString::number(defaultThreads))
        m_threads->setCurrentIndex(-1);
    QAction* threadsAction = m_bar->addWidget(m_threads);
    threadsAction->setData(CmdThreadsBox);
    threadsAction->setText(QStringLiteral("Threads"));
    threadsAction->setToolTip(kThreadsTip);
    m_toolbar.insert(CmdThreadsBox, threadsAction);
    connect(m_threads, &QComboBox::activated, this, [this] { emit Execute(CmdThreadsBox); });

    // The edit box shows its caption beside it, as one control.
    auto* positionControl = new QWidget(m_bar);
    positionControl->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(positionControl);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);
    auto* caption = new QLabel(QStringLiteral("Position:"), positionControl);
    m_position = new QLineEdit(positionControl);
    m_position->setObjectName(QStringLiteral("Position"));
    m_position->setAccessibleName(QStringLiteral("Position:"));
    m_position->setToolTip(kPositionTip);
    caption->setToolTip(kPositionTip);
    m_position->setText(QStringLiteral("1"));
    m_position->setFixedWidth(kPositionWidth);
    row->addWidget(caption);
    row->addWidget(m_position);
    QAction* positionAction = m_bar->addWidget(positionControl);
    positionAction->setData(CmdPositionBox);
    positionAction->setText(QStringLiteral("Position:"));
    positionAction->setToolTip(kPositionTip);
    m_toolbar.insert(CmdPositionBox, positionAction);
    connect(m_position, &QLineEdit::editingFinished, this,
            [this] { emit Execute(CmdPositionBox); });

    m_bar->addSeparator();
    AddToolButton(CmdStart, QStringLiteral("&Start"));
    AddToolButton(CmdPause, QStringLiteral("&Pause"));
    AddToolButton(CmdStop, QStringLiteral("S&top"));
    AddToolButton(CmdRetry, QStringLiteral("&Retry"));

    m_bar->addSeparator();
    AddToolButton(CmdSetup, QStringLiteral("&Setup"));
    AddToolButton(CmdExit, QStringLiteral("&Exit"));
}

QList<int> CommandBars::ControlIds() const
{
    QList<int> ids = m_menu.keys();
    for (int id : m_toolbar.keys()) {
        if (!ids.contains(id))
            ids.append(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace corvanta
