#include "ShotScan.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/FrameIndexer.h"
#include "platform/ThreadPriority.h"
#include "services/ShotBoundaryDetector.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace {

// How often the scan reports how far it has come when it finds no cut.
constexpr int reportEveryMilliseconds = 250;
// How often the scan looks for more frames while the index is being built.
constexpr int indexPollMilliseconds = 100;

} // namespace

ShotScan::ShotScan(QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

ShotScan::~ShotScan()
{
    stop();
    m_pool.waitForDone();
}

int ShotScan::frameCount() const
{
    return m_index ? m_index->count() : 0;
}

QList<MediaTime> ShotScan::cutTimes() const
{
    QList<MediaTime> times;
    times.reserve(m_cuts.size());
    for (int cut : m_cuts)
        times << m_index->time(cut);
    return times;
}

std::optional<int> ShotScan::nextShotStart(int frame) const
{
    const auto next = std::upper_bound(m_cuts.cbegin(), m_cuts.cend(), frame);
    if (next == m_cuts.cend())
        return std::nullopt;
    return *next;
}

std::optional<int> ShotScan::previousShotStart(int frame) const
{
    if (frame <= 0)
        return std::nullopt;
    const auto after = std::lower_bound(m_cuts.cbegin(), m_cuts.cend(), frame);
    return after == m_cuts.cbegin() ? 0 : *std::prev(after);
}

void ShotScan::stop()
{
    if (m_cancelled)
        m_cancelled->store(true);
    m_cancelled.reset();
    ++m_generation;
    m_index.reset();
    const bool hadCuts = !m_cuts.isEmpty();
    m_cuts.clear();
    m_scanned = 0;
    m_finished = false;
    if (hadCuts)
        emit cutsChanged();
    emit progressChanged();
}

void ShotScan::start(const QString &path, std::shared_ptr<FrameIndexer> indexer)
{
    stop();
    if (!indexer)
        return;
    m_index = indexer->current();
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    const std::uint64_t generation = m_generation;
    // The job may speak to this object until it ends: the destructor waits for it.
    auto job = [this, generation, path, indexer = std::move(indexer), cancelled = m_cancelled] {
        // Below the liftings too, which run at the background's priority: the cuts can wait.
        ThreadPriority::lowerCurrentThread(ThreadPriority::idleNiceness);
        FrameGrabber grabber(path, indexer);
        grabber.setFastDecoding(true);
        grabber.setMaximumSize(QSize(ShotBoundaryDetector::pictureSize, ShotBoundaryDetector::pictureSize));
        ShotBoundaryDetector detector;
        QList<int> found;
        std::shared_ptr<const FrameIndex> index = indexer->current();
        QElapsedTimer sinceReport;
        sinceReport.start();
        const auto report = [&](int scanned, bool finished) {
            // The scan owns no window state: what it found goes to the main thread, where a newer
            // scan's generation drops it.
            QMetaObject::invokeMethod(
                this,
                [this, generation, index, found, scanned, finished] {
                    receive(generation, index, found, scanned, finished);
                },
                Qt::QueuedConnection);
            found.clear();
            sinceReport.restart();
        };
        int frame = 0;
        for (;;) {
            if (cancelled->load())
                return;
            if (!index || frame >= index->count()) {
                if ((index && index->isComplete()) || indexer->failure())
                    break;
                // The frames beyond come with a later part of the index. It is looked for now and
                // then rather than waited for, so that a new video stops this scan at once.
                QThread::msleep(indexPollMilliseconds);
                index = indexer->current();
                continue;
            }
            const Result<QImage> picture = grabber.image(index->time(frame));
            found += detector.add(picture.ok() ? picture.value() : QImage());
            ++frame;
            if (!found.isEmpty() || sinceReport.elapsed() >= reportEveryMilliseconds)
                report(frame, false);
        }
        found += detector.finish();
        report(frame, true);
    };
    m_pool.start(std::move(job));
}

void ShotScan::receive(std::uint64_t generation, const std::shared_ptr<const FrameIndex> &index,
                       const QList<int> &cuts, int scanned, bool finished)
{
    if (generation != m_generation)
        return;
    if (index)
        m_index = index;
    m_scanned = scanned;
    m_finished = finished;
    if (!cuts.isEmpty()) {
        m_cuts += cuts;
        emit cutsChanged();
    }
    emit progressChanged();
}
