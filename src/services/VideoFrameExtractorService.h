#pragma once

#include "support/MediaTime.h"
#include "support/Result.h"

#include <QFuture>
#include <QImage>
#include <QMutex>
#include <QThreadPool>

#include <memory>

class FrameGrabber;

// Turns a time of the loaded video into a full-resolution still. The grab runs on a worker thread
// of the service's own pool, against the grabber that was installed when it was asked for: a new
// video replacing the grabber does not disturb a request in flight. Callable from any thread.
class VideoFrameExtractorService
{
public:
    VideoFrameExtractorService();
    ~VideoFrameExtractorService();

    VideoFrameExtractorService(const VideoFrameExtractorService &) = delete;
    VideoFrameExtractorService &operator=(const VideoFrameExtractorService &) = delete;

    // Null means that no video is loaded.
    void setGenerator(std::shared_ptr<FrameGrabber> generator);
    std::shared_ptr<FrameGrabber> generator() const;

    // The still at `time`; fails at once with AppError::noVideoLoaded when there is no grabber.
    QFuture<Result<QImage>> image(const MediaTime &time) const;

private:
    mutable QMutex m_mutex;
    std::shared_ptr<FrameGrabber> m_generator;
    mutable QThreadPool m_pool;
};
