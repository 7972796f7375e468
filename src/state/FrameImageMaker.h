#pragma once

#include "state/FrameImageStore.h"
#include "support/MediaTime.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QQueue>
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

    // Starts a fresh entry for the frame in the store and fills it in the background.
    void make(const QUuid &frameId, const MediaTime &time);
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
    };

    void grab(const QUuid &frameId, FrameImageStore::Ticket ticket);
    // Puts the frame, whose still the store has received, in line for lifting.
    void lift(const QUuid &frameId, FrameImageStore::Ticket ticket);
    // Lifts the next frame in line that is still wanted, unless a lifting is going on.
    void liftNext();
    void startLifting(const QUuid &frameId, FrameImageStore::Ticket ticket, const QImage &still);
    // Makes the full-size still and cut-out of a lifted frame again (the store asked for them).
    void remake(const QUuid &frameId);
    // Puts a lifting's outcome into the store and the cache.
    void keep(const QUuid &frameId, FrameImageStore::Ticket ticket, const QByteArray &mask,
              const QImage &still);
    void storeInCache(const QUuid &frameId, const LiftedFrame &lifted);

    const VideoFrameExtractorService *m_extractor;
    FrameImageStore *m_store;
    std::shared_ptr<SubjectExtractionService> m_subjectExtractor;
    std::shared_ptr<LiftedFrameCache> m_cache;
    QHash<QUuid, Work> m_work;
    // Frames waiting for the lifting, one lifted at a time: a waiting frame holds no still of its
    // own, so that a burst of captures takes no more memory than the store's budget.
    struct Queued
    {
        QUuid frameId;
        FrameImageStore::Ticket ticket;
    };
    QQueue<Queued> m_liftQueue;
    bool m_lifting = false;
    // Reads and writes the disk cache one entry after another, in the order asked.
    QThreadPool m_diskPool;
};
