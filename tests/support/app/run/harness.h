#pragma once

#include "csvlist.h"
#include "fakes.h"
#include "listloader.h"
#include "runcontroller.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

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

// A file's bytes, or "<missing>" when it cannot be read.
inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}

// `count` addresses u1@domain, u2@domain, ...
inline QList<QByteArray> numbered(int count, const QByteArray& domain = "x.org")
{
    QList<QByteArray> list;
    for (int i = 1; i <= count; ++i)
        list << "u" + QByteArray::number(i) + "@" + domain;
    return list;
}

// The Validated, Good and Bad counters, to compare in one go.
inline std::tuple<qint32, qint32, qint32> counts(const Harness& h)
{
    return {h.state.ValidatedCount, h.state.GoodCount, h.state.BadCount};
}

// Runs a command that runs the loop; a run that has not ended within the
// bound is forced to end and the test fails instead of hanging.
inline void runGuarded(Harness& h, const std::function<void()>& command, int boundMs = 5000)
{
    bool hung = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        hung = true;
        h.state.ForceAbort = true;
    });
    watchdog.start(boundMs);
    command();
    EXPECT_FALSE(hung) << "the run did not end by itself";
    EXPECT_FALSE(h.state.IsRunning);
}

// Starts a run and waits for its end under the same bound.
inline void runToEnd(Harness& h)
{
    runGuarded(h, [&] { h.run.Start(); });
}

} // namespace corvanta::test
