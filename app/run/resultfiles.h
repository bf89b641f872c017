#pragma once

#include "fileerror.h"
#include "runcontext.h"

#include <functional>
#include <optional>

namespace corvanta {

// The characters after the last "\" or "/" of path; path itself without either.
QString GetFileName(const QString& path);
// The characters up to and including the last "\" or "/"; "" without either.
QString GetFilePath(const QString& path);
// The characters after the last "." of name, in lower case; "" without a dot.
QString GetFileExtension(const QString& name);

class ListRows;

struct ResultFileNames
{
    QString valid;   // folder + base + "_Valid.txt" (".csv" for a CSV list)
    QString errors;  // folder + base + "_Errors.txt" (".csv" for a CSV list)
    QString unknown; // folder + base + "_Unknown.txt" (".csv"), written only by verdict
};
// The result files beside listFile, named after its base name (the name
// without its last dot and what follows).
ResultFileNames resultFileNames(const QString& listFile);

struct SaveSummary
{
    qsizetype valid = 0;
    qsizetype errors = 0;
    qsizetype unknown = 0; // by verdict only
    qsizetype leftOut = 0; // rows without an outcome, in no file
};

// Writes the report's addresses into the two result files: stored code 0 to
// the valid file, any other code to the errors file, rows without an outcome
// to neither. Each line is the address's original bytes followed by CR LF, in
// report order. Each file is written to a temporary file and renamed into
// place only when both are complete, so a failure leaves the earlier files as
// they were. progress(p) is called whenever the whole-number percentage
// changes. Needs no window: the save command and the benchmark both use it.
//
// `byVerdict` sorts by the rows' verdicts instead and writes a third file:
// deliverable to the valid file, undeliverable to the errors file, risky and
// unknown to the unknown file. A row validated while verdicts were off is
// judged by its code alone.
//
// With the rows of a CSV list (rows->isCsv()) each file starts with the
// list's header and each row is its raw CSV record instead of the address.
std::optional<FileError> writeResultFiles(const IReport& report, const ResultFileNames& names,
                                          SaveSummary& summary,
                                          const std::function<void(int)>& progress,
                                          bool byVerdict = false, const ListRows* rows = nullptr);

// The Save command: writes the result files beside ListFile with the saving
// panel and percentage shown, then the "Saved" dialog. Does nothing without
// a list or records; a failure is shown as "ERROR #n: description". While
// the window reads reply codes, the files are sorted by verdict.
void SaveResults(RunContext& ctx);

} // namespace corvanta
