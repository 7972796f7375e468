#include "HoverPreview.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"

HoverPreview::HoverPreview(QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

HoverPreview::~HoverPreview()
{
    m_pool.waitForDone();
}

void HoverPreview::setVideo(const QString &path, std::shared_ptr<const FrameIndex> index)
{
    clear();
    if (!index || index->isEmpty())
        return;
    m_index = std::move(index);
    m_grabber = std::make_shared<FrameGrabber>(path, m_index);
    m_grabber->setMaximumSize(QSize(pictureSize, pictureSize));
    m_grabber->setFastDecoding(true);
}

void HoverPreview::clear()
{
    ++m_generation;
    m_grabber.reset();
    m_index.reset();
    m_pending.reset();
    m_lastMade.reset();
}

void HoverPreview::request(const MediaTime &time)
{
    if (!m_index)
        return;
    const int frame = m_index->frameAt(time);
    if (frame == m_lastMade && !m_busy)
        return;
    m_pending = frame;
    if (!m_busy)
        startNext();
}

void HoverPreview::startNext()
{
    if (!m_pending || !m_grabber)
        return;
    const int frame = *m_pending;
    m_pending.reset();
    m_busy = true;
    const std::uint64_t generation = m_generation;
    // The job may speak to this object until it ends: the destructor waits for it. It holds the
    // grabber and index it was given, which a new video does not take away from it.
    m_pool.start([this, generation, frame, grabber = m_grabber, index = m_index] {
        const Result<QImage> picture = grabber->image(index->time(frame));
        const QImage made = picture.ok() ? picture.value() : QImage();
        QMetaObject::invokeMethod(
            this, [this, generation, frame, made] { finished(generation, frame, made); },
            Qt::QueuedConnection);
    });
}

void HoverPreview::finished(std::uint64_t generation, int frame, const QImage &picture)
{
    m_busy = false;
    if (generation == m_generation) {
        m_lastMade = frame;
        if (m_pending == frame)
            m_pending.reset();
        if (!picture.isNull())
            emit pictureReady(m_index->time(frame), picture);
    }
    startNext();
}
