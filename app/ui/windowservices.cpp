#include "windowservices.h"

#include <QDialog>
#include <QMessageBox>

namespace corvanta {

Answer DefaultDialogs::AskAbortRun(QWidget* parent)
{
    QMessageBox box(QMessageBox::Critical, QLatin1String(kProductName),
                    QLatin1String(kAbortRunQuestion),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void DefaultDialogs::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QLatin1String(kProductName), text);
}

int DefaultDialogs::ExecModal(QDialog& dialog)
{
    return dialog.exec();
}

} // namespace corvanta
