#pragma once

#include "checkoptions.h"
#include "componentfactory.h"

#include <QObject>
#include <QStringList>
#include <map>
#include <memory>

class QIODevice;

namespace corvanta {

class Apartment;

// What one address came to.
struct CheckOutcome
{
    bool checked = false; // false: no verification object could be made
    QString failure;      // why, when not checked
    qint32 result = 0;
    QString message;
    QString fromReply;
    QString rcptReply;
    QString smtpReplies;
};

// Checks a list of addresses with a fresh verification object per address,
// each on its own apartment, at most `jobs` at once, and writes one line per
// address in input order. The owning thread sleeps in its event loop while
// the objects work: each object reports its end with a queued call.
//
// Threads: create and run it on a thread with an event loop; the output
// devices are written from that thread only.
class CheckRunner final : public QObject
{
    Q_OBJECT

public:
    CheckRunner(CheckOptions options, ComponentFactory factory, QStringList addresses,
                QIODevice* out, QIODevice* err, QObject* parent = nullptr);
    ~CheckRunner() override;

    // Starts the first jobs; finished() follows once every line is written.
    void start();

    // Formats of one output line (without the line end).
    static QByteArray textLine(const QString& address, const CheckOutcome& outcome);
    static QByteArray jsonLine(const QString& address, const CheckOutcome& outcome);

signals:
    // 0 when every address was checked, 1 otherwise.
    void finished(int exitCode);

private:
    void launchMore();
    void launch(qsizetype index);
    void collect(qsizetype index, const CheckOutcome& outcome);
    void retire(std::unique_ptr<Apartment> apartment);
    void progress(qsizetype index, qint32 method, const QString& description);
    void writeReady();

    CheckOptions m_options;
    ComponentFactory m_factory;
    QStringList m_addresses;
    QIODevice* m_out;
    QIODevice* m_err;
    std::map<qsizetype, std::unique_ptr<Apartment>> m_running;
    std::map<Apartment*, std::unique_ptr<Apartment>> m_closing; // until their threads end
    std::map<qsizetype, CheckOutcome> m_waiting;                // done, but an earlier one is not
    qsizetype m_nextToLaunch = 0;
    qsizetype m_nextToWrite = 0;
    bool m_allChecked = true;
    bool m_finished = false;
};

} // namespace corvanta
