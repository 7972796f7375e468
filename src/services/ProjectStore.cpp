#include "ProjectStore.h"

#include "persistence/ProjectFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace ProjectStore {

std::optional<QString> save(const ProjectFile &file, const QString &path)
{
    // QJsonDocument would write such a number as null, which no reader accepts as a number: the
    // saved project could not be opened again.
    const QString nonFinite = file.firstNonFiniteNumber();
    if (!nonFinite.isEmpty())
        return QStringLiteral("%1 is not a finite number").arg(nonFinite);

    const QByteArray bytes = file.toJson();
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), output.errorString());
    if (output.write(bytes) != bytes.size() || !output.commit())
        return QStringLiteral("cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), output.errorString());
    return std::nullopt;
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
