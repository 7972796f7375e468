#include "RecoveryStore.h"

#include "platform/CheckedFile.h"
#include "services/ProjectStore.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace RecoveryStore {

std::optional<QString> write(const RecoveryFile &file, const QString &path)
{
    // Such a number would be written as null, and the file could not be read back.
    const QString nonFinite = file.project.firstNonFiniteNumber();
    if (!nonFinite.isEmpty())
        return QCoreApplication::translate("ProjectStore", "la valeur de « %1 » n'est pas un nombre fini")
            .arg(nonFinite);
    if (std::optional<QString> error = CheckedFile::makeFolders(QFileInfo(path).absolutePath()))
        return error;
    return CheckedFile::replace(path, file.toJson());
}

Result<RecoveryFile> read(const QString &path)
{
    const Result<QByteArray> bytes = CheckedFile::read(path, ProjectStore::maxFileBytes);
    if (!bytes)
        return bytes.error();
    QString error;
    std::optional<RecoveryFile> file = RecoveryFile::fromJson(bytes.value(), &error);
    if (!file)
        return AppError::platformFailure(error);
    return std::move(*file);
}

} // namespace RecoveryStore
