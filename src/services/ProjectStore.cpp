#include "ProjectStore.h"

#include "platform/CheckedFile.h"

#include <QCoreApplication>

namespace ProjectStore {

Result<ProjectFile> open(const QString &path)
{
    const Result<QByteArray> bytes = CheckedFile::read(path, maxFileBytes);
    if (!bytes)
        return bytes.error();
    QString error;
    std::optional<ProjectFile> file = ProjectFile::fromJson(bytes.value(), &error);
    if (!file)
        return AppError::platformFailure(error);
    return std::move(*file);
}

std::optional<QString> save(const ProjectFile &file, const QString &path)
{
    // QJsonDocument would write such a number as null, which no reader accepts as a number: the
    // saved project could not be opened again.
    const QString nonFinite = file.firstNonFiniteNumber();
    if (!nonFinite.isEmpty())
        return QCoreApplication::translate("ProjectStore", "la valeur de « %1 » n'est pas un nombre fini")
            .arg(nonFinite);
    return CheckedFile::replace(path, file.toJson());
}

} // namespace ProjectStore
