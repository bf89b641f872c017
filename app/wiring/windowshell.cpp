#include "windowshell.h"

#include "runtypes.h"
#include "saveddialog.h"
#include "ui/frmmain.h"
#include "ui/windowplacement.h"

#include <QApplication>
#include <QFileDialog>
#include <QFrame>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace corvanta {

WindowShell::WindowShell(frmMain& window) : m_window(window) {}

WindowShell::~WindowShell()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

QString WindowShell::dialogFilter(const QString& filter)
{
    // Pairs of description and pattern; the description already shows the
    // pattern, which is all the toolkit's dialog needs.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList descriptions;
    for (qsizetype i = 0; i < parts.size(); i += 2)
        descriptions.append(parts.at(i));
    return descriptions.join(QStringLiteral(";;"));
}

std::optional<QString> WindowShell::chooseListFile(const QString& title, const QString& filter)
{
    const QString path =
        QFileDialog::getOpenFileName(&m_window, title, QString(), dialogFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> WindowShell::chooseSaveFile(const QString& title, const QString& suggested,
                                                   const QString& filter)
{
    const QString path =
        QFileDialog::getSaveFileName(&m_window, title, suggested, dialogFilter(filter));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<qsizetype> WindowShell::chooseColumn(const QStringList& names)
{
    // Numbered, so that two columns of the same name stay apart.
    QStringList items;
    for (qsizetype i = 0; i < names.size(); ++i)
        items << QStringLiteral("%1. %2").arg(i + 1).arg(names[i]);
    bool ok = false;
    const QString picked = QInputDialog::getItem(
        &m_window, QLatin1String(kMessageTitle),
        QStringLiteral("No column of this list is named like an e-mail column. Which column "
                       "holds the addresses?"),
        items, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    return items.indexOf(picked);
}

Answer WindowShell::askYesNo(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QLatin1String(kMessageTitle), text,
                    QMessageBox::Yes | QMessageBox::No, &m_window);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void WindowShell::showNotice(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QLatin1String(kMessageTitle), text,
                                QMessageBox::Ok, &m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void WindowShell::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QLatin1String(kMessageTitle), text, QMessageBox::Ok,
                    &m_window);
    box.exec();
}

void WindowShell::showSaved(const QString& validFile, const QString& errorsFile, qsizetype leftOut)
{
    SavedDialog dialog(validFile, errorsFile, leftOut, &m_window);
    CenterForm(dialog, &m_window);
    dialog.exec();
}

void WindowShell::showSavedByVerdict(const SavedFiles& saved)
{
    SavedDialog dialog(saved, &m_window);
    CenterForm(dialog, &m_window);
    dialog.exec();
}

void WindowShell::setOverlayVisible(Overlay overlay, bool visible)
{
    if (visible)
        m_window.ShowOverlayPanel(overlay);
    else
        m_window.HideOverlayPanel(overlay);
}

bool WindowShell::isOverlayVisible(Overlay overlay) const
{
    // isHidden rather than isVisible: the answer must not depend on whether
    // the window itself is on screen yet.
    const QFrame* panel = m_window.OverlayPanel(overlay);
    return panel && !panel->isHidden();
}

void WindowShell::setStopCount(int count)
{
    m_window.SetStopCount(count);
}

void WindowShell::setBusyCursor(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void WindowShell::updateCaption()
{
    m_window.UpdateCaption();
}

void WindowShell::closeWindow()
{
    m_window.close();
}

void WindowShell::updateCommandStates()
{
    m_window.UpdateCommandStates();
}

void WindowShell::checkToolbarButton(int id, bool checked)
{
    m_window.CheckToolbarButton(id, checked);
}

void WindowShell::checkMenuButton(int id, bool checked)
{
    m_window.CheckMenuButton(id, checked);
}

void WindowShell::setPositionText(const QString& text)
{
    m_window.PositionBox()->setText(text);
}

} // namespace corvanta
