#pragma once

#include "csvfield.h"

#include <QStringList>
#include <functional>
#include <optional>

namespace corvanta {

// How a CSV list is laid out: which column holds the address, and whether its
// first record is a header (kept raw, line end included, for the result
// files).
struct CsvLayout
{
    qsizetype column = 0;
    bool hasHeader = true;
    QByteArray header;
    qsizetype dataStart = 0; // offset of the first data record
};

// Picks the address column of the CSV in data: the header column named like
// an e-mail column; else the column where most values of the first records
// look like addresses (then a first record that looks like data is data, not
// a header); else ask(header names) picks one. No value when ask gives none.
std::optional<CsvLayout>
csvLayout(QByteArrayView data,
          const std::function<std::optional<qsizetype>(const QStringList&)>& ask);

} // namespace corvanta
