#include "VideoSource.h"

#include "FrameGrabber.h"
#include "FrameIndex.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

Result<VideoSource> VideoSource::open(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    Result<MediaProbe::Info> probe = MediaProbe::probe(path);
    if (!probe)
        return AppError::frameExtractionFailed(probe.error().errorDescription());
    if (probe.value().videoTracks.isEmpty())
        return AppError::noVideoTrack(fileName);

    Result<FrameIndex> built = FrameIndex::build(path);
    if (!built)
        return AppError::videoUnreadable(built.error().errorDescription());

    VideoSource source;
    source.path = path;
    source.info = std::move(probe).value();
    source.index = std::make_shared<const FrameIndex>(std::move(built).value());
    source.grabber = std::make_shared<FrameGrabber>(path, source.index);
    if (const std::optional<AppError> failure = source.grabber->decodeFirstPicture())
        return AppError::videoUnreadable(QStringLiteral("%1 : %2").arg(fileName, failure->detail()));
    return source;
}

QFuture<Result<VideoSource>> VideoSource::load(const QString &path)
{
    return QtConcurrent::run([path] { return open(path); });
}
