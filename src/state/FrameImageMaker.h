#pragma once

#include "state/FrameImageStore.h"
#include "state/FrameWorkQueue.h"
#include "support/MediaTime.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <QUuid>

#include <memory>

class LiftedFrameCache;
struct LiftedFrame;
class SubjectExtractionService;
class VideoFrameExtractorService;

// Makes the pictures of captured frames in the background and puts every result into the image
// store under the frame's identifier as it arrives. A frame lifted before, in this session or an
// earlier one, comes from the disk cache: its thumbnails and mask, without grabbing or lifting.
// Any other frame has its still grabbed, then its subjects lifted, each off the main thread, and
// what the lifting gives goes to the cache. When a view wants the full-size pictures of a frame the
// store has let go, they are made again from the video and the mask. A frame the store has
// forgotten meanwhile gets no more work. Results that arrive after the maker is gone are dropped.
//
// Work follows what is seen: frames wait by identifier in one line per kind of work (disk reads,
// grabs, liftings), and a few of each kind run at a time, those of the rows the list shows first,
// then the selected frames, then those near the rows shown, then the others in list order. A frame
// far from the rows shown is read from the disk without its small pictures, and is grabbed only
// when its lifting comes; a request for small pictures let go is dropped once its frame has left the
// rows near those shown. So the main thread takes a handful of results per turn at most, and
// waiting costs no memory.
class FrameImageMaker : public QObject
{
    Q_OBJECT

public:
    // `extractor` grabs the stills of the window's video; both it and `store` outlive the maker.
    // Liftings are kept in the user's cache folder.
    FrameImageMaker(const VideoFrameExtractorService *extractor, FrameImageStore *store,
                    QObject *parent = nullptr);
    ~FrameImageMaker() override;

    // Shared, so that an export run in flight keeps it alive after the window has gone.
    std::shared_ptr<SubjectExtractionService> subjectExtractor() const { return m_subjectExtractor; }
    // Where liftings are kept between sessions; null keeps none.
    void setCache(std::shared_ptr<LiftedFrameCache> cache) { m_cache = std::move(cache); }
    std::shared_ptr<LiftedFrameCache> cache() const { return m_cache; }

    // At most this many disk reads and still grabs are going on at a time (liftings: one).
    static constexpr int DiskReadsAtOnce = 2;
    static constexpr int GrabsAtOnce = 2;

    // Starts a fresh entry for the frame in the store and fills it in the background.
    void make(const QUuid &frameId, const MediaTime &time);
    // The frames the user has selected: they come right after the rows shown.
    void setSelectedFrames(const QSet<QUuid> &frames);
    // How many frames wait for some work, and how many pieces of work are going on.
    qsizetype waitingCount() const;
    int runningCount() const { return m_diskReads + m_grabs + int(m_lifting); }
    // A lifting of the frame made by other work (an export), with the still it was made from:
    // taken for a frame whose own lifting has not ended yet, and kept in the cache.
    void adopt(const QUuid &frameId, const QImage &still, const QByteArray &mask);

signals:
    // The still of a frame that is still wanted could not be made; its entry is marked failed.
    void stillFailed(const QUuid &frameId, const QString &message);

private:
    // What the maker knows of a frame it works for.
    struct Work
    {
        MediaTime time;
        QString videoPath;
        QByteArray cacheKey; // empty until known, or without cache
        FrameImageStore::Ticket ticket = 0;
    };

    // Starts what the lines allow, once the events of this turn are handled.
    void schedule();
    void startWork();
    FrameWorkQueue::Attention attention() const;
    // Looks the frame up in the disk cache, with its small pictures when they would be held.
    void look(const QUuid &frameId);
    // Reads back the small pictures the store let go of.
    void readThumbnails(const QUuid &frameId);
    void grab(const QUuid &frameId);
    // Puts the frame in line for lifting.
    void lift(const QUuid &frameId);
    // Lifts the next frame in line that is still wanted, grabbing its still again if the store has
    // let it go meanwhile.
    void liftNext();
    void startLifting(const QUuid &frameId, FrameImageStore::Ticket ticket, const QImage &still);
    // Drops every wait of a frame the store has forgotten.
    void drop(const QUuid &frameId);
    // Makes the full-size still and cut-out of a lifted frame again (the store asked for them).
    void remake(const QUuid &frameId);
    // Puts a lifting's outcome into the store and the cache.
    void keep(const QUuid &frameId, FrameImageStore::Ticket ticket, const QByteArray &mask,
              const QImage &still);
    void storeInCache(const QUuid &frameId, FrameImageStore::Ticket ticket, const LiftedFrame &lifted);

    const VideoFrameExtractorService *m_extractor;
    FrameImageStore *m_store;
    std::shared_ptr<SubjectExtractionService> m_subjectExtractor;
    std::shared_ptr<LiftedFrameCache> m_cache;
    QHash<QUuid, Work> m_work;
    QSet<QUuid> m_selected;
    FrameWorkQueue m_lookups;
    FrameWorkQueue m_thumbnailReads;
    FrameWorkQueue m_grabLine;
    // Frames waiting for the lifting, one lifted at a time: a waiting frame holds no still of its
    // own, so that a burst of captures takes no more memory than the store's budget.
    FrameWorkQueue m_liftLine;
    int m_diskReads = 0;
    int m_grabs = 0;
    bool m_lifting = false;
    bool m_scheduled = false;
    // Reads and writes the disk cache one entry after another, in the order asked.
    QThreadPool m_diskPool;
};
