#include "FileBookmark.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace FileBookmark {

std::optional<QByteArray> make(const QUrl &fileUrl)
{
    if (!fileUrl.isLocalFile())
        return std::nullopt;
    const QString path = fileUrl.toLocalFile();
    if (path.isEmpty())
        return std::nullopt;
    return QFileInfo(path).absoluteFilePath().toUtf8();
}

std::optional<QUrl> resolve(const QByteArray &bookmark)
{
    if (bookmark.isEmpty() || bookmark.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString path = decoder(bookmark);
    if (decoder.hasError() || QDir::isRelativePath(path) || !QFileInfo::exists(path))
        return std::nullopt;
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

} // namespace FileBookmark
