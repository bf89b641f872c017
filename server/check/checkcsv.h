#pragma once

#include "checkbatch.h"

#include <QByteArray>
#include <QStringList>
#include <optional>
#include <vector>

namespace corvanta {

// A CSV list given to `sondrix check --csv`: its addresses in row order, each
// row's raw bytes (line end dropped) and the raw header (empty when the list
// has none).
struct CsvCheckInput
{
    QStringList addresses;
    std::vector<QByteArray> rows;
    QByteArray header;
};

// Finds the address column by the desktop program's rules; with no user to
// ask, a list where no column qualifies is an error that names the columns.
std::optional<CsvCheckInput> readCsvCheckInput(const QByteArray& data, QString& error);

// The header with the added columns' names, and a row with its outcome
// added: code, message, sender reply, recipient reply.
QByteArray csvCheckHeader(const QByteArray& header);
QByteArray csvCheckLine(const QByteArray& row, const CheckOutcome& outcome);

} // namespace corvanta
