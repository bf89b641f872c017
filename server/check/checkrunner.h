#pragma once

#include "checkoptions.h"
#include "componentfactory.h"

#include <QObject>
#include <map>
#include <memory>

namespace corvanta {

class Apartment;
class CheckBatch;
struct CheckOutcome;

// The in-process check: a fresh verification object per address, each on its
// own apartment, at most `jobs` at once, their outcomes handed to the batch.
// The owning thread sleeps in its event loop while the objects work: each
// object reports its end with a queued call.
//
// Ownership: owns the apartments; destroying it aborts the running
// verifications and waits for their threads. The batch must outlive it.
// Threads: create and run it on the batch's thread, which has an event loop.
class CheckRunner final : public QObject
{
public:
    CheckRunner(CheckOptions options, ComponentFactory factory, CheckBatch& batch,
                QObject* parent = nullptr);
    ~CheckRunner() override;

    // Starts the first jobs; the rest follow as earlier ones finish.
    void start();

private:
    void launchMore();
    void launch(qsizetype index);
    void collect(qsizetype index, const CheckOutcome& outcome);
    void retire(std::unique_ptr<Apartment> apartment);

    CheckOptions m_options;
    ComponentFactory m_factory;
    CheckBatch& m_batch;
    std::map<qsizetype, std::unique_ptr<Apartment>> m_running;
    std::map<Apartment*, std::unique_ptr<Apartment>> m_closing; // until their threads end
};

} // namespace corvanta
