#pragma once

#include "support/MediaTime.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

class FrameIndex;
class FrameIndexer;

// The shots of the video shown, found by a scan of all its frames in the background: small pictures
// decoded in order on a thread below the interface's priority, compared by ShotBoundaryDetector. The
// cuts found so far are usable while the scan goes on. A new video, or none, stops the scan under
// way. Lives on the main thread.
class ShotScan : public QObject
{
    Q_OBJECT

public:
    explicit ShotScan(QObject *parent = nullptr);
    // Stops a scan under way and waits for its thread.
    ~ShotScan() override;

    // Scans the video at `path`, whose frames `indexer` lists; forgets the cuts of the previous video.
    // While the index is being built, the scan follows it and waits for the frames not yet indexed.
    void start(const QString &path, std::shared_ptr<FrameIndexer> indexer);
    // No video: the scan under way stops, the cuts are forgotten.
    void stop();

    // The first frames of new shots found so far, in order (the video's first frame is none).
    const QList<int> &cuts() const { return m_cuts; }
    QList<MediaTime> cutTimes() const;
    // Frames scanned so far, and of how many are indexed so far.
    int scannedFrames() const { return m_scanned; }
    int frameCount() const;
    bool isFinished() const { return m_finished; }

    // The first frame of the shot after the one holding `frame`; none in the last shot found so far.
    std::optional<int> nextShotStart(int frame) const;
    // The first frame of the shot holding `frame` when `frame` lies after it, otherwise the first
    // frame of the shot before; none on the video's first frame.
    std::optional<int> previousShotStart(int frame) const;

signals:
    // New cuts were found, or the cuts were forgotten.
    void cutsChanged();
    // The scan went on, or ended (isFinished).
    void progressChanged();

private:
    // Results of the scan of generation `generation`, on the main thread.
    void receive(std::uint64_t generation, const std::shared_ptr<const FrameIndex> &index,
                 const QList<int> &cuts, int scanned, bool finished);

    QThreadPool m_pool;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    std::uint64_t m_generation = 0;
    // The index as far as it was built when the scan last reported.
    std::shared_ptr<const FrameIndex> m_index;
    QList<int> m_cuts;
    int m_scanned = 0;
    bool m_finished = false;
};
