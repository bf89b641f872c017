#pragma once

#include "csvlist.h"
#include "fakes.h"
#include "listloader.h"
#include "runcontroller.h"

#include <QFile>
#include <QTemporaryDir>

namespace corvanta::test {

// The run logic wired to fakes, as the main window wires it to its parts.
struct Harness
{
    Harness()
    {
        settings.DnsServerName = QStringLiteral("127.0.0.53");
        settings.DnsTimeout = 30;
        settings.SmtpTimeout = 120;
        settings.FromAddress = QStringLiteral("probe@corvanta.test");
        settings.HelloName = QStringLiteral("corvanta.test");
        shell.state = &state;
    }

    // Writes bytes into a file in the temporary folder and returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    // Opens a list of the given addresses through the Open command.
    void openList(const QList<QByteArray>& addresses, const QString& name = "list.txt")
    {
        shell.nextFile = writeFile(name, addresses.join("\r\n") + "\r\n");
        loader.OpenList();
    }

    QTemporaryDir dir;
    RunState state;
    RunSettings settings;
    FakeReport report;
    FakeStatus status;
    FakeShell shell;
    FakeFactory factory;
    ListRows listRows;
    RunContext ctx{state, settings, report, status, shell, nullptr, &listRows};
    ListLoader loader{ctx};
    RunController run{ctx, factory, loader};
};

} // namespace corvanta::test
