#include "VideoSource.h"

#include "FrameGrabber.h"
#include "FrameIndex.h"
#include "FrameIndexer.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

MediaTime VideoSource::duration() const
{
    if (index && (index->isComplete() || !info.duration.isNumeric()))
        return index->duration();
    return info.duration;
}

Result<VideoSource> VideoSource::open(const QString &path, const MediaTime &reach)
{
    const QString fileName = QFileInfo(path).fileName();
    Result<MediaProbe::Info> probe = MediaProbe::probe(path);
    if (!probe)
        return AppError::videoNotOpened(probe.error().errorDescription());
    if (probe.value().videoTracks.isEmpty())
        return AppError::noVideoTrack(fileName);

    auto indexer = std::make_shared<FrameIndexer>(path);
    if (!indexer->waitForFirstPart()) {
        const std::optional<AppError> failure = indexer->failure();
        return AppError::videoNotOpened(failure ? failure->errorDescription() : fileName);
    }

    VideoSource source;
    source.path = path;
    source.info = std::move(probe).value();
    source.indexer = indexer;
    source.grabber = std::make_shared<FrameGrabber>(path, indexer);
    if (const std::optional<AppError> failure = source.grabber->decodeFirstPicture())
        return AppError::videoNotOpened(QStringLiteral("%1 : %2").arg(fileName, failure->detail()));
    source.index = indexer->waitUntilCovers(reach);
    return source;
}

QFuture<Result<VideoSource>> VideoSource::load(const QString &path, const MediaTime &reach)
{
    return QtConcurrent::run([path, reach] { return open(path, reach); });
}
