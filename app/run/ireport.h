#pragma once

#include "verdict.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace corvanta {

// What the list loading, the run and the save need of the results report.
// Rows are addressed by their 0-based index. All calls happen on the GUI
// thread; the report owns its records.
class IReport
{
public:
    virtual ~IReport() = default;

    virtual qsizetype recordCount() const = 0;

    // The address exactly as it was loaded (raw bytes of the list line).
    virtual QByteArray address(qsizetype row) const = 0;

    // The latest outcome code stored on the row's address item; no value when
    // the row has never received an outcome.
    virtual std::optional<qint32> storedCode(qsizetype row) const = 0;
    // The text of the row's message item.
    virtual QString message(qsizetype row) const = 0;

    // Appends one record numbered recordCount() + 1. Must not redraw the view:
    // the loader calls it a million times and asks for rebuildRows() itself.
    virtual void addRecord(QByteArrayView address) = 0;
    virtual void removeAllRecords() = 0;
    // Makes the view show the records added so far.
    virtual void rebuildRows() = 0;

    virtual void setStoredCode(qsizetype row, qint32 code) = 0;
    // The result item: word, text colour (0x00BBGGRR) and icon id (0 = none).
    virtual void setResult(qsizetype row, const QString& word, quint32 colour, int icon) = 0;
    virtual void setMessage(qsizetype row, const QString& message) = 0;
    // The verdict of the row's latest outcome, written when the run reads
    // reply codes. A new stored code drops the old verdict: none until the
    // next one is written.
    virtual void setVerdict(qsizetype row, Judgement judgement) = 0;
    virtual std::optional<Judgement> verdict(qsizetype row) const = 0;
    virtual void bringIntoView(qsizetype row) = 0;
    virtual void repaint() = 0;
};

} // namespace corvanta
