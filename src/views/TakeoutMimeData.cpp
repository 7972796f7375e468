#include "TakeoutMimeData.h"

#include "services/ImageExportService.h"
#include "state/FrameTakeout.h"

#include <QUrl>

namespace {

constexpr QLatin1StringView uriList("text/uri-list");
constexpr QLatin1StringView pngType("image/png");
constexpr QLatin1StringView imageType("application/x-qt-image");

} // namespace

TakeoutMimeData::TakeoutMimeData(QList<Picture> pictures, bool withFiles)
    : m_pictures(std::move(pictures)), m_withFiles(withFiles), m_made(m_pictures.size())
{}

TakeoutMimeData *TakeoutMimeData::forFrames(const FrameTakeout &takeout, const QList<QUuid> &frameIds,
                                            bool withFiles)
{
    QList<Picture> pictures;
    for (const QUuid &frameId : frameIds) {
        if (!takeout.refusal(frameId))
            pictures << Picture{takeout.imageMaker(frameId), takeout.fileName(frameId)};
    }
    return new TakeoutMimeData(std::move(pictures), withFiles);
}

QStringList TakeoutMimeData::formats() const
{
    QStringList formats = QMimeData::formats();
    if (m_pictures.isEmpty())
        return formats;
    if (m_withFiles)
        formats << uriList;
    formats << pngType << imageType;
    return formats;
}

Result<QImage> TakeoutMimeData::made(int index) const
{
    std::optional<Result<QImage>> &made = m_made[index];
    if (!made)
        made = m_pictures.at(index).make();
    return *made;
}

QImage TakeoutMimeData::picture() const
{
    if (m_pictures.isEmpty())
        return {};
    const Result<QImage> image = made(0);
    return image ? image.value() : QImage();
}

QList<QUrl> TakeoutMimeData::files() const
{
    if (!m_withFiles)
        return {};
    if (!m_files) {
        QList<QUrl> files;
        for (int index = 0; index < m_pictures.size(); ++index) {
            const Result<QImage> image = made(index);
            if (!image)
                continue;
            const Result<QString> path =
                FrameTakeout::writeFile(image.value(), m_pictures.at(index).fileName);
            if (path)
                files << QUrl::fromLocalFile(path.value());
            else
                qWarning("A picture was not written for a drop: %s",
                         qPrintable(path.error().errorDescription()));
        }
        m_files = files;
    }
    return *m_files;
}

QVariant TakeoutMimeData::retrieveData(const QString &mimeType, QMetaType type) const
{
    if (m_pictures.isEmpty())
        return QMimeData::retrieveData(mimeType, type);
    if (mimeType == uriList && m_withFiles) {
        QVariantList urls;
        for (const QUrl &url : files())
            urls << url;
        return urls.isEmpty() ? QVariant() : QVariant(urls);
    }
    if (mimeType == pngType) {
        if (!m_png) {
            const QImage image = picture();
            m_png =
                image.isNull() ? QByteArray() : ImageExportService::encodedPNG(image).value_or(QByteArray());
        }
        return m_png->isEmpty() ? QVariant() : QVariant(*m_png);
    }
    if (mimeType == imageType) {
        const QImage image = picture();
        return image.isNull() ? QVariant() : QVariant(image);
    }
    return QMimeData::retrieveData(mimeType, type);
}
