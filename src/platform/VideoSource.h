#pragma once

#include "MediaProbe.h"
#include "support/Result.h"

#include <QFuture>
#include <QString>

#include <memory>

class FrameGrabber;
class FrameIndex;

// A video file made ready to be shown and grabbed from: what the file says about itself, its frame
// index and its still grabber, from one reading of its packets. The player and the grabber share the
// index, so the file is indexed once per opening.
//
// Opening refuses a file that cannot be read (AppError::frameExtractionFailed), holds no video track
// (AppError::noVideoTrack), or whose video has no frame that can be indexed or decoded
// (AppError::videoUnreadable).
struct VideoSource
{
    QString path;
    MediaProbe::Info info;
    std::shared_ptr<const FrameIndex> index;
    std::shared_ptr<FrameGrabber> grabber;

    // Opens the file now, on the calling thread.
    static Result<VideoSource> open(const QString &path);
    // The same on a worker thread of the global pool.
    static QFuture<Result<VideoSource>> load(const QString &path);
};
