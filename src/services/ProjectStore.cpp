#include "ProjectStore.h"

#include "platform/CheckedFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

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

std::optional<QByteArray> makeBookmark(const QUrl &fileUrl)
{
    if (!fileUrl.isLocalFile())
        return std::nullopt;
    const QString path = fileUrl.toLocalFile();
    if (path.isEmpty())
        return std::nullopt;
    return QFileInfo(path).absoluteFilePath().toUtf8();
}

std::optional<QUrl> resolveBookmark(const QByteArray &bookmark)
{
    if (bookmark.isEmpty() || bookmark.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString path = decoder(bookmark);
    if (decoder.hasError() || QDir::isRelativePath(path) || !QFileInfo::exists(path))
        return std::nullopt;
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

} // namespace ProjectStore
