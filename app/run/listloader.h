#pragma once

#include "csvlist.h"
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

    // Open and Add do nothing while a list is being read, the results are
    // being written or a run is going: each would change the records under a
    // loop that is walking them.
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

    // No address is longer than 254 bytes; a line longer than this is not an
    // address list, and ends the load before anything changes.
    static constexpr qint64 kMaxLineBytes = 64 * 1024;

private:
    // Reads an open file through to its end; no value on success.
    std::optional<FileError> ReadListFile(QFile& file, const QString& path);
    bool refused() const;
    // Opens the file and reads it through once, with the loading panel shown;
    // on a failure reports it and returns false, having changed nothing.
    bool openChecked(QFile& file, const QString& path);
    // Shows the progress bar and the busy cursor for a read, and hides them.
    void beginRead();
    void endRead();

    // A CSV list read into memory and its layout (listloadercsv.cpp).
    struct CsvList
    {
        QByteArray data;
        CsvLayout layout;
    };
    // Opens and reads the file and finds its address column, asking the user
    // when needed, with the loading panel shown. No value when the user
    // cancels or the file fails (which is reported); nothing has changed then.
    std::optional<CsvList> openCsv(QFile& file, const QString& path);
    // Adds the CSV list's records; `opening` when it replaces the report.
    void ReadCsvList(const CsvList& list, bool opening);
    void openChosen(const QString& path);
    void fail(const FileError& error);
    void fail(const QString& message);
    // Tells the journal where the list's rows lie; after an Open of a list
    // with recorded outcomes asks whether to continue with them
    // (listloaderjournal.cpp).
    void offerJournal(const QString& path, qsizetype firstRow, bool opening);

    RunContext& m_ctx;
};

} // namespace corvanta
