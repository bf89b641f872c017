#pragma once

#include <QString>

class QFileDevice;

namespace corvanta {

// A failed file operation as the user sees it: "ERROR #" number ": " description.
// The numbers are the classic run-time error numbers users of list tools know
// (53 file not found, 57 device I/O error, 61 disk full, 70 permission denied,
// 75 path/file access error, 76 path not found).
struct FileError
{
    int number = 0;
    QString description;

    QString text() const;
};

// The error of a file that could not be opened; path names the file.
FileError openError(const QFileDevice& file, const QString& path);
// The error of a failed read or write on an open file.
FileError ioError(const QFileDevice& file, const QString& path);
FileError fileNotFound(const QString& path);

} // namespace corvanta
