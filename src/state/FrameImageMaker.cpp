#include "FrameImageMaker.h"

#include "models/ExportMode.h"
#include "platform/FrameGrabber.h"
#include "platform/SubjectSegmenter.h"
#include "services/KeptMask.h"
#include "services/LiftedFrame.h"
#include "services/LiftedFrameCache.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"
#include "support/ContinueOn.h"

#include <QCoreApplication>
#include <QtConcurrent/QtConcurrentRun>

#include <optional>

namespace {

// What a cache lookup found.
struct Lookup
{
    QByteArray key;
    std::optional<LiftedFrame> frame;
};

// A still and its thumbnail, made off the main thread.
struct Grabbed
{
    Result<QImage> still;
    QImage thumbnail;
};

// What a lifting leaves, made off the main thread: the record to keep and the full-size cut-out.
struct Lifting
{
    std::optional<AppError> error; // a failure other than finding no subject
    LiftedFrame lifted;
    QImage cutOut; // null without subject
};

Lifting keptLifting(const QImage &still, const Result<SubjectMask> &mask)
{
    if (!mask)
        return {mask.error(), {}, {}};
    QImage cutOut;
    if (mask.value().instanceCount() > 0) {
        const Result<QList<QImage>> images =
            SubjectExtractionService::images(mask.value(), ExportMode::Merged, false);
        if (!images)
            return {images.error(), {}, {}};
        cutOut = images.value().first();
    }
    return {std::nullopt, LiftedFrame::of(still, mask.value(), cutOut), cutOut};
}

Lifting liftingOf(const QImage &still, const Result<SubjectMask> &mask)
{
    try {
        return keptLifting(still, mask);
    } catch (const std::bad_alloc &) {
        return {AppError::platformFailure(QCoreApplication::translate(
                    "FrameImageMaker", "Échec du détourage : mémoire insuffisante.")),
                {},
                {}};
    } catch (const std::exception &exception) {
        qWarning("Keeping a lifting failed: %s", exception.what());
        return {AppError::platformFailure(QCoreApplication::translate(
                    "FrameImageMaker", "Échec du détourage : le masque n'a pas pu être conservé.")),
                {},
                {}};
    }
}

// The full-size pictures of a lifted frame made again from its still and mask.
struct Remade
{
    Result<QImage> still;
    bool maskFits = false; // false: the mask is not this still's, the frame is lifted again
    QImage cutOut;
};

Remade remadeFrom(const Result<QImage> &still, const QByteArray &mask)
{
    Remade remade{still, false, {}};
    if (!still)
        return remade;
    const Result<SubjectMask> decoded = SubjectMask::decoded(mask, still.value());
    if (!decoded)
        return remade;
    remade.maskFits = true;
    if (decoded.value().instanceCount() > 0) {
        const Result<QList<QImage>> images =
            SubjectExtractionService::images(decoded.value(), ExportMode::Merged, false);
        remade.maskFits = bool(images);
        if (images)
            remade.cutOut = images.value().first();
    }
    return remade;
}

} // namespace

FrameImageMaker::FrameImageMaker(const VideoFrameExtractorService *extractor, FrameImageStore *store,
                                 QObject *parent)
    : QObject(parent)
    , m_extractor(extractor)
    , m_store(store)
    , m_subjectExtractor(std::make_shared<SubjectExtractionService>())
    , m_cache(LiftedFrameCache::standard())
{
    m_diskPool.setMaxThreadCount(1);
    connect(m_store, &FrameImageStore::picturesWanted, this, &FrameImageMaker::remake);
    connect(m_store, &FrameImageStore::imagesChanged, this, [this](const QUuid &frameId) {
        if (!m_store->isTracked(frameId))
            drop(frameId);
    });
    connect(m_store, &FrameImageStore::thumbnailsWanted, this, [this](const QUuid &frameId) {
        if (m_work.contains(frameId) && !m_work.value(frameId).cacheKey.isEmpty()) {
            m_thumbnailReads.add(frameId);
            schedule();
        }
    });
    connect(m_store, &FrameImageStore::framesInViewChanged, this, [this] {
        // Rows shown that wait for their lifting get their small pictures from a grab meanwhile.
        for (const QUuid &frameId : m_store->visibleFrames()) {
            if (m_liftLine.contains(frameId) && !m_store->images(frameId).hasThumbnail())
                m_grabLine.add(frameId);
        }
        schedule();
    });
}

FrameImageMaker::~FrameImageMaker()
{
    m_diskPool.waitForDone();
}

void FrameImageMaker::drop(const QUuid &frameId)
{
    m_work.remove(frameId);
    m_lookups.remove(frameId);
    m_thumbnailReads.remove(frameId);
    m_grabLine.remove(frameId);
    m_liftLine.remove(frameId);
}

void FrameImageMaker::setSelectedFrames(const QSet<QUuid> &frames)
{
    m_selected = frames;
    schedule();
}

qsizetype FrameImageMaker::waitingCount() const
{
    return m_lookups.size() + m_thumbnailReads.size() + m_grabLine.size() + m_liftLine.size();
}

FrameWorkQueue::Attention FrameImageMaker::attention() const
{
    return {m_store->visibleFrames(), m_selected, m_store->nearbyFrames()};
}

void FrameImageMaker::make(const QUuid &frameId, const MediaTime &time)
{
    const FrameImageStore::Ticket ticket = m_store->track(frameId);
    const std::shared_ptr<FrameGrabber> grabber = m_extractor->generator();
    drop(frameId);
    m_work.insert(frameId, Work{time, grabber ? grabber->path() : QString(), {}, ticket});
    if (!m_cache || m_work.value(frameId).videoPath.isEmpty())
        m_grabLine.add(frameId);
    else
        m_lookups.add(frameId);
    schedule();
}

void FrameImageMaker::schedule()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &FrameImageMaker::startWork, Qt::QueuedConnection);
}

void FrameImageMaker::startWork()
{
    m_scheduled = false;
    const FrameWorkQueue::Attention seen = attention();
    while (m_diskReads < DiskReadsAtOnce) {
        // Small pictures asked for come before lookups; those of frames that have left the rows
        // near those shown are no longer wanted.
        QUuid frameId = m_thumbnailReads.take(seen);
        while (!frameId.isNull() && !m_store->isNearView(frameId))
            frameId = m_thumbnailReads.take(seen);
        if (!frameId.isNull()) {
            readThumbnails(frameId);
            continue;
        }
        frameId = m_lookups.take(seen);
        if (frameId.isNull())
            break;
        look(frameId);
    }
    while (m_grabs < GrabsAtOnce) {
        const QUuid frameId = m_grabLine.take(seen);
        if (frameId.isNull())
            break;
        // A frame whose small pictures would not be held is grabbed when its lifting comes.
        if (m_store->wouldHoldThumbnails(frameId) || m_store->images(frameId).isFinished())
            grab(frameId);
        else
            lift(frameId);
    }
    liftNext();
}

void FrameImageMaker::look(const QUuid &frameId)
{
    const Work work = m_work.value(frameId);
    const LiftedFrameCache::Contents contents = m_store->wouldHoldThumbnails(frameId)
                                                    ? LiftedFrameCache::Contents::Everything
                                                    : LiftedFrameCache::Contents::Mask;
    ++m_diskReads;
    continueOn(this,
               QtConcurrent::run(&m_diskPool,
                                 [cache = m_cache, path = work.videoPath, time = work.time,
                                  model = m_subjectExtractor->modelPath(), contents] {
                                     Lookup lookup{cache->key(path, time, model), std::nullopt};
                                     lookup.frame = cache->load(lookup.key, contents);
                                     return lookup;
                                 }),
               [this, frameId, ticket = work.ticket](const Lookup &lookup) {
                   --m_diskReads;
                   schedule();
                   if (!m_store->isCurrent(frameId, ticket) || !m_work.contains(frameId))
                       return;
                   m_work[frameId].cacheKey = lookup.key;
                   if (lookup.frame) {
                       m_store->setLifted(frameId, ticket, *lookup.frame);
                       m_store->setMaskKept(frameId, ticket, m_cache, lookup.key);
                   } else {
                       m_grabLine.add(frameId);
                   }
               });
}

void FrameImageMaker::readThumbnails(const QUuid &frameId)
{
    const Work work = m_work.value(frameId);
    ++m_diskReads;
    continueOn(
        this,
        QtConcurrent::run(&m_diskPool, [cache = m_cache, key = work.cacheKey] { return cache->load(key); }),
        [this, frameId, ticket = work.ticket](const std::optional<LiftedFrame> &lifted) {
            --m_diskReads;
            schedule();
            if (!m_store->isCurrent(frameId, ticket))
                return;
            if (lifted) {
                m_store->setThumbnails(frameId, ticket, lifted->thumbnail, lifted->subjectThumbnail);
            } else if (m_store->keptMask(frameId).isInMemory()) {
                // The cache has lost the entry: the mask held makes the pictures again.
                remake(frameId);
            } else {
                // The cache has lost the entry and the mask with it: the frame is lifted again.
                lift(frameId);
            }
        });
}

void FrameImageMaker::grab(const QUuid &frameId)
{
    const Work work = m_work.value(frameId);
    ++m_grabs;
    const QFuture<Grabbed> grabbed =
        m_extractor->image(work.time).then(QtFuture::Launch::Async, [](const Result<QImage> &still) {
            return Grabbed{still, still ? LiftedFrame::thumbnailOf(still.value()) : QImage()};
        });
    continueOn(this, grabbed, [this, frameId, ticket = work.ticket](const Grabbed &grabbed) {
        --m_grabs;
        schedule();
        if (!m_store->isCurrent(frameId, ticket))
            return;
        if (!grabbed.still) {
            m_store->setFailed(frameId, ticket, grabbed.still.error().errorDescription());
            emit stillFailed(frameId, grabbed.still.error().errorDescription());
            return;
        }
        m_store->setStill(frameId, ticket, grabbed.still.value(), grabbed.thumbnail);
        if (!m_store->images(frameId).isFinished())
            lift(frameId);
    });
}

void FrameImageMaker::lift(const QUuid &frameId)
{
    m_liftLine.add(frameId);
    schedule();
}

void FrameImageMaker::liftNext()
{
    if (m_lifting)
        return;
    const QUuid frameId = m_liftLine.take(attention());
    if (frameId.isNull())
        return;
    const Work work = m_work.value(frameId);
    m_lifting = true;
    const QImage held = m_store->images(frameId).still;
    if (!held.isNull()) {
        startLifting(frameId, work.ticket, held);
        return;
    }
    // The still was let go while the frame waited, or never grabbed: grabbing it now costs far less
    // than keeping every waiting frame's still in memory.
    continueOn(this, m_extractor->image(work.time),
               [this, frameId, ticket = work.ticket](const Result<QImage> &still) {
                   if (!m_store->isCurrent(frameId, ticket) || !still) {
                       if (!still) {
                           m_store->setFailed(frameId, ticket, still.error().errorDescription());
                           if (m_store->isCurrent(frameId, ticket))
                               emit stillFailed(frameId, still.error().errorDescription());
                       }
                       m_lifting = false;
                       schedule();
                       return;
                   }
                   startLifting(frameId, ticket, still.value());
               });
}

void FrameImageMaker::startLifting(const QUuid &frameId, FrameImageStore::Ticket ticket, const QImage &still)
{
    const QFuture<Lifting> lifting = m_subjectExtractor->liftAsync(still).then(
        QtFuture::Launch::Async, [still](const Result<SubjectMask> &mask) { return liftingOf(still, mask); });
    continueOn(this, lifting, [this, frameId, ticket](const Lifting &lifting) {
        m_lifting = false;
        schedule();
        if (!m_store->isCurrent(frameId, ticket))
            return;
        if (lifting.error) {
            m_store->setFailed(frameId, ticket, lifting.error->errorDescription());
            return;
        }
        m_store->setLifted(frameId, ticket, lifting.lifted);
        if (lifting.lifted.hasSubject)
            m_store->setSubject(frameId, ticket, lifting.cutOut);
        storeInCache(frameId, ticket, lifting.lifted);
    });
}

void FrameImageMaker::adopt(const QUuid &frameId, const QImage &still, const QByteArray &mask)
{
    const FrameImageStore::Ticket ticket = m_store->ticket(frameId);
    if (!ticket || m_store->images(frameId).isFinished())
        return;
    const QFuture<Lifting> lifting =
        QtConcurrent::run([still, mask] { return liftingOf(still, SubjectMask::decoded(mask, still)); });
    continueOn(this, lifting, [this, frameId, ticket, still](const Lifting &lifting) {
        // The frame's own work may have ended meanwhile: its result stands.
        if (!m_store->isCurrent(frameId, ticket) || m_store->images(frameId).isFinished() || lifting.error)
            return;
        if (!m_store->images(frameId).hasStill())
            m_store->setStill(frameId, ticket, still, lifting.lifted.thumbnail);
        m_store->setLifted(frameId, ticket, lifting.lifted);
        if (lifting.lifted.hasSubject)
            m_store->setSubject(frameId, ticket, lifting.cutOut);
        m_liftLine.remove(frameId);
        storeInCache(frameId, ticket, lifting.lifted);
    });
}

void FrameImageMaker::remake(const QUuid &frameId)
{
    const FrameImageStore::Ticket ticket = m_store->ticket(frameId);
    const FrameImages images = m_store->images(frameId);
    if (!ticket || !m_work.contains(frameId))
        return;
    const KeptMask mask =
        images.correctedMask.isEmpty() ? m_store->keptMask(frameId) : KeptMask(images.correctedMask);
    QFuture<Remade> remade;
    if (images.hasStill()) {
        remade = QtConcurrent::run([still = images.still, mask] { return remadeFrom(still, mask.bytes()); });
    } else {
        remade = m_extractor->image(m_work.value(frameId).time)
                     .then(QtFuture::Launch::Async,
                           [mask](const Result<QImage> &still) { return remadeFrom(still, mask.bytes()); });
    }
    continueOn(this, remade, [this, frameId, ticket](const Remade &remade) {
        if (!m_store->isCurrent(frameId, ticket))
            return;
        if (!remade.still) {
            m_store->setFailed(frameId, ticket, remade.still.error().errorDescription());
            return;
        }
        m_store->setStill(frameId, ticket, remade.still.value());
        if (!remade.maskFits) {
            // The mask kept is not this frame's (its video changed under the same name, say), or
            // the disk cache has lost it.
            lift(frameId);
            return;
        }
        if (!remade.cutOut.isNull())
            m_store->setSubject(frameId, ticket, remade.cutOut);
        if (m_store->images(frameId).thumbnailsLetGo)
            m_store->setThumbnails(frameId, ticket, LiftedFrame::thumbnailOf(remade.still.value()),
                                   LiftedFrame::thumbnailOf(remade.cutOut));
    });
}

void FrameImageMaker::storeInCache(const QUuid &frameId, FrameImageStore::Ticket ticket,
                                   const LiftedFrame &lifted)
{
    if (!m_cache)
        return;
    const Work work = m_work.value(frameId);
    if (work.videoPath.isEmpty())
        return;
    const QFuture<QByteArray> stored = QtConcurrent::run(
        &m_diskPool, [cache = m_cache, work, lifted, model = m_subjectExtractor->modelPath()] {
            QByteArray key =
                work.cacheKey.isEmpty() ? cache->key(work.videoPath, work.time, model) : work.cacheKey;
            if (const std::optional<QString> problem = cache->store(key, lifted)) {
                qWarning("A lifted frame was not kept in the cache: %s", qPrintable(*problem));
                return QByteArray();
            }
            return key;
        });
    // Once on the disk, the mask and small pictures need not stay in memory.
    continueOn(this, stored,
               [this, frameId, ticket, lifting = m_store->images(frameId).lifting](const QByteArray &key) {
                   if (key.isEmpty() || !m_store->isCurrent(frameId, ticket) ||
                       m_store->images(frameId).lifting != lifting)
                       return;
                   if (m_work.contains(frameId))
                       m_work[frameId].cacheKey = key;
                   m_store->setMaskKept(frameId, ticket, m_cache, key);
               });
}
