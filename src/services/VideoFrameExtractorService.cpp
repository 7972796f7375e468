#include "VideoFrameExtractorService.h"

#include "platform/FrameGrabber.h"

#include <QMutexLocker>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

VideoFrameExtractorService::VideoFrameExtractorService()
{
    // Grabs of one video are served one at a time; a second thread lets a new video's grab start
    // while an old one finishes.
    m_pool.setMaxThreadCount(2);
}

// The pool waits for the grabs in flight, so every future handed out completes.
VideoFrameExtractorService::~VideoFrameExtractorService() = default;

void VideoFrameExtractorService::setGenerator(std::shared_ptr<FrameGrabber> generator)
{
    QMutexLocker locker(&m_mutex);
    m_generator = std::move(generator);
}

std::shared_ptr<FrameGrabber> VideoFrameExtractorService::generator() const
{
    QMutexLocker locker(&m_mutex);
    return m_generator;
}

QFuture<Result<QImage>> VideoFrameExtractorService::image(const MediaTime &time) const
{
    std::shared_ptr<FrameGrabber> grabber = generator();
    if (!grabber) {
        QPromise<Result<QImage>> promise;
        promise.start();
        promise.addResult(Result<QImage>(AppError::noVideoLoaded()));
        promise.finish();
        return promise.future();
    }
    return QtConcurrent::run(&m_pool, [grabber = std::move(grabber), time] { return grabber->image(time); });
}
