#include "HoverPreview.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/FrameIndexer.h"

HoverPreview::HoverPreview(QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

HoverPreview::~HoverPreview()
{
    m_pool.waitForDone();
}

void HoverPreview::setVideo(const QString &path, std::shared_ptr<FrameIndexer> indexer)
{
    clear();
    if (!indexer)
        return;
    m_indexer = std::move(indexer);
    m_grabber = std::make_shared<FrameGrabber>(path, m_indexer);
    m_grabber->setMaximumSize(QSize(pictureSize, pictureSize));
    m_grabber->setFastDecoding(true);
}

void HoverPreview::clear()
{
    ++m_generation;
    m_grabber.reset();
    m_indexer.reset();
    m_pending.reset();
    m_lastMade.reset();
}

void HoverPreview::request(const MediaTime &time)
{
    if (!m_indexer)
        return;
    // A preview never waits for the reading of a long file: beyond the part indexed, none.
    std::shared_ptr<const FrameIndex> index = m_indexer->current();
    if (!index || index->isEmpty() || !index->covers(time))
        return;
    const int frame = index->frameAt(time);
    if (frame == m_lastMade && !m_busy)
        return;
    m_pending = Request{frame, std::move(index)};
    if (!m_busy)
        startNext();
}

void HoverPreview::startNext()
{
    if (!m_pending || !m_grabber)
        return;
    const Request next = *m_pending;
    m_pending.reset();
    m_busy = true;
    const std::uint64_t generation = m_generation;
    // The job may speak to this object until it ends: the destructor waits for it. It holds the
    // grabber and index it was given, which a new video does not take away from it.
    m_pool.start([this, generation, next, grabber = m_grabber] {
        const MediaTime frameStart = next.index->time(next.frame);
        const Result<QImage> picture = grabber->image(frameStart);
        const QImage made = picture.ok() ? picture.value() : QImage();
        QMetaObject::invokeMethod(
            this,
            [this, generation, frame = next.frame, frameStart, made] {
                finished(generation, frame, frameStart, made);
            },
            Qt::QueuedConnection);
    });
}

void HoverPreview::finished(std::uint64_t generation, int frame, const MediaTime &frameStart,
                            const QImage &picture)
{
    m_busy = false;
    if (generation == m_generation) {
        m_lastMade = frame;
        if (m_pending && m_pending->frame == frame)
            m_pending.reset();
        if (!picture.isNull())
            emit pictureReady(frameStart, picture);
    }
    startNext();
}
