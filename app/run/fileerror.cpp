#include "fileerror.h"

#include <QDir>
#include <QFileDevice>
#include <QFileInfo>

namespace corvanta {

namespace {

FileError make(int number, const char* what, const QString& path, const QString& detail)
{
    QString description =
        QString::fromLatin1(what) + QStringLiteral(" (") + QDir::toNativeSeparators(path);
    if (!detail.isEmpty())
        description += QStringLiteral(": ") + detail;
    description += QLatin1Char(')');
    return {number, description};
}

} // namespace

QString FileError::text() const
{
    return QStringLiteral("ERROR #") + QString::number(number) + QStringLiteral(": ") + description;
}

FileError openError(const QFileDevice& file, const QString& path)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return make(76, "Path not found", path, QString());
    if (file.error() == QFileDevice::PermissionsError)
        return make(70, "Permission denied", path, QString());
    return make(75, "Path/File access error", path, file.errorString());
}

FileError ioError(const QFileDevice& file, const QString& path)
{
    if (file.error() == QFileDevice::ResourceError)
        return make(61, "Disk full", path, file.errorString());
    return make(57, "Device I/O error", path, file.errorString());
}

FileError fileNotFound(const QString& path)
{
    return make(53, "File not found", path, QString());
}

} // namespace corvanta
