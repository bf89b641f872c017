#pragma once

#include "fileerror.h"
#include "runcontext.h"

#include <optional>

class QFile;

namespace corvanta {

// Loads mail lists into the report: one record per non-empty line, kept as
// its raw bytes. A carriage return, a line feed or both end a line, so lists
// written on any system load the same.
//
// Runs on the GUI thread and yields to the event loop whenever the loading
// percentage changes (at most about a hundred times per file), so that the
// window stays responsive without slowing a large load down.
class ListLoader final
{
public:
    explicit ListLoader(RunContext& ctx);

    // Open and Add do nothing while a list is being read or a run is going:
    // both would change the records under a loop that is walking them.
    //
    // The Open command: the file dialog, then the chosen list replaces the
    // report's records and the statistics are reset.
    void OpenList();
    // The Add command: the chosen list's records follow the existing ones.
    // On an empty report this is OpenList().
    void AddList();
    // Opens the list at path as OpenList() does after its dialog; used for a
    // list named on the command line. A path that names no file is reported.
    void OpenListFile(const QString& path);

    static QString fileFilter();

private:
    // Reads an open file through to its end; no value on success.
    std::optional<FileError> ReadListFile(QFile& file, const QString& path);
    void openChosen(const QString& path);
    void fail(const FileError& error);

    RunContext& m_ctx;
    // Set while a file is read: the loader yields to the event loop, and an
    // Open or Add arriving then must not start a second read into the same
    // report.
    bool m_loading = false;
};

} // namespace corvanta
