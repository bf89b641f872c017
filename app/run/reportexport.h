#pragma once

#include "fileerror.h"
#include "runcontext.h"

#include <QByteArrayList>
#include <QStringList>
#include <functional>
#include <optional>

namespace corvanta {

class ReplyStore;

// Columns an option adds to the full report after the seven it always has
// (the verdict and its reason, where verdicts are on). `values` gives one
// text per header name for a row; empty columns when it is not set.
struct ExportExtraColumns
{
    QByteArrayList header;
    std::function<QStringList(qsizetype row)> values;
};

// Writes every row of the report as one CSV record: number, address (its
// bytes as loaded), outcome code, outcome word, message, sender reply,
// recipient reply, then the extra columns. A row without an outcome has the
// four outcome columns and the replies empty. Texts are UTF-8, records end
// with CR LF, a header row names the columns. The file is written under a
// temporary name and replaces `path` only when complete.
//
// replies may be null (no replies kept). progress(p) is called whenever the
// whole-number percentage changes. Needs no window.
std::optional<FileError> writeFullReport(const IReport& report, const ReplyStore* replies,
                                         const QString& path, const ExportExtraColumns& extra,
                                         const std::function<void(int)>& progress);

// File > Export report...: asks for a file beside the list and writes the full
// report there with the saving panel shown; a failure is shown as
// "ERROR #n: description". Nothing happens on an empty report or a cancel.
void ExportReport(RunContext& ctx, const ReplyStore* replies, const ExportExtraColumns& extra);

} // namespace corvanta
