// corvanta: builds the program and shows its window. A list named as the first
// argument (what a file association passes) is opened once the window shows.

#include "mainprogram.h"
#include "ui/windowservices.h"
#include "ui/frmmain.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(corvanta::kProductName));
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));

    corvanta::MainProgram program;
    program.window().show();

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        const QString list = arguments.at(1);
        QTimer::singleShot(0, &program.window(), [&program, list] { program.openList(list); });
    }
    return QApplication::exec();
}
