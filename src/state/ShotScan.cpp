#include "ShotScan.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/ThreadPriority.h"
#include "services/ShotBoundaryDetector.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

// How often the scan reports how far it has come when it finds no cut.
constexpr int reportEveryMilliseconds = 250;

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

void ShotScan::start(const QString &path, std::shared_ptr<const FrameIndex> index)
{
    stop();
    if (!index || index->isEmpty())
        return;
    m_index = index;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    const std::uint64_t generation = m_generation;
    // The job may speak to this object until it ends: the destructor waits for it.
    auto job = [this, generation, path, index = std::move(index), cancelled = m_cancelled] {
        // Below the liftings too, which run at the background's priority: the cuts can wait.
        ThreadPriority::lowerCurrentThread(ThreadPriority::idleNiceness);
        FrameGrabber grabber(path, index);
        grabber.setFastDecoding(true);
        grabber.setMaximumSize(QSize(ShotBoundaryDetector::pictureSize, ShotBoundaryDetector::pictureSize));
        ShotBoundaryDetector detector;
        QList<int> found;
        QElapsedTimer sinceReport;
        sinceReport.start();
        const auto report = [&](int scanned, bool finished) {
            // The scan owns no window state: what it found goes to the main thread, where a newer
            // scan's generation drops it.
            QMetaObject::invokeMethod(
                this,
                [this, generation, found, scanned, finished] {
                    receive(generation, found, scanned, finished);
                },
                Qt::QueuedConnection);
            found.clear();
            sinceReport.restart();
        };
        for (int frame = 0; frame < index->count(); ++frame) {
            if (cancelled->load())
                return;
            const Result<QImage> picture = grabber.image(index->time(frame));
            found += detector.add(picture.ok() ? picture.value() : QImage());
            if (!found.isEmpty() || sinceReport.elapsed() >= reportEveryMilliseconds)
                report(frame + 1, false);
        }
        found += detector.finish();
        report(index->count(), true);
    };
    m_pool.start(std::move(job));
}

void ShotScan::receive(std::uint64_t generation, const QList<int> &cuts, int scanned, bool finished)
{
    if (generation != m_generation)
        return;
    m_scanned = scanned;
    m_finished = finished;
    if (!cuts.isEmpty()) {
        m_cuts += cuts;
        emit cutsChanged();
    }
    emit progressChanged();
}
