#pragma once

#include "MediaProbe.h"
#include "support/MediaTime.h"
#include "support/Result.h"

#include <QFuture>
#include <QString>

#include <memory>

class FrameGrabber;
class FrameIndex;
class FrameIndexer;

// A video file made ready to be shown and grabbed from: what the file says about itself, its frame
// index and its still grabber. The player and the grabber share the indexer, so the file is indexed
// once per opening. A video is ready once the first part of its index is built and its first picture
// decodes: files with a sample table (MP4, MOV) come with their complete index, long files of other
// kinds go on being indexed in the background.
//
// Opening refuses a file that cannot be read (AppError::frameExtractionFailed), holds no video track
// (AppError::noVideoTrack), or whose video has no frame that can be indexed or decoded
// (AppError::videoUnreadable).
struct VideoSource
{
    QString path;
    MediaProbe::Info info;
    std::shared_ptr<FrameIndexer> indexer;
    // The index as far as it was built when the video was ready: it covers at least the time the
    // opening was asked to reach.
    std::shared_ptr<const FrameIndex> index;
    std::shared_ptr<FrameGrabber> grabber;

    // How long the video plays: from the index once it is complete, from what the file says until then.
    MediaTime duration() const;

    // Opens the file now, on the calling thread, and waits until its index covers `reach`.
    static Result<VideoSource> open(const QString &path, const MediaTime &reach = MediaTime::zero());
    // The same on a worker thread of the global pool.
    static QFuture<Result<VideoSource>> load(const QString &path, const MediaTime &reach = MediaTime::zero());
};
