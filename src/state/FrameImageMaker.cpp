#include "FrameImageMaker.h"

#include "models/ExportMode.h"
#include "platform/FrameGrabber.h"
#include "platform/SubjectSegmenter.h"
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
            m_work.remove(frameId);
    });
}

FrameImageMaker::~FrameImageMaker()
{
    m_diskPool.waitForDone();
}

void FrameImageMaker::make(const QUuid &frameId, const MediaTime &time)
{
    const FrameImageStore::Ticket ticket = m_store->track(frameId);
    const std::shared_ptr<FrameGrabber> grabber = m_extractor->generator();
    Work &work = m_work[frameId];
    work = Work{time, grabber ? grabber->path() : QString(), {}};
    if (!m_cache || work.videoPath.isEmpty()) {
        grab(frameId, ticket);
        return;
    }
    continueOn(this,
               QtConcurrent::run(
                   &m_diskPool,
                   [cache = m_cache, path = work.videoPath, time, model = m_subjectExtractor->modelPath()] {
                       Lookup lookup{cache->key(path, time, model), std::nullopt};
                       lookup.frame = cache->load(lookup.key);
                       return lookup;
                   }),
               [this, frameId, ticket](const Lookup &lookup) {
                   if (!m_store->isCurrent(frameId, ticket))
                       return;
                   m_work[frameId].cacheKey = lookup.key;
                   if (lookup.frame)
                       m_store->setLifted(frameId, ticket, *lookup.frame);
                   else
                       grab(frameId, ticket);
               });
}

void FrameImageMaker::grab(const QUuid &frameId, FrameImageStore::Ticket ticket)
{
    const QFuture<Grabbed> grabbed =
        m_extractor->image(m_work.value(frameId).time)
            .then(QtFuture::Launch::Async, [](const Result<QImage> &still) {
                return Grabbed{still, still ? LiftedFrame::thumbnailOf(still.value()) : QImage()};
            });
    continueOn(this, grabbed, [this, frameId, ticket](const Grabbed &grabbed) {
        if (!m_store->isCurrent(frameId, ticket))
            return;
        if (!grabbed.still) {
            m_store->setFailed(frameId, ticket, grabbed.still.error().errorDescription());
            emit stillFailed(frameId, grabbed.still.error().errorDescription());
            return;
        }
        m_store->setStill(frameId, ticket, grabbed.still.value(), grabbed.thumbnail);
        lift(frameId, ticket);
    });
}

void FrameImageMaker::lift(const QUuid &frameId, FrameImageStore::Ticket ticket)
{
    m_liftQueue.enqueue({frameId, ticket});
    liftNext();
}

void FrameImageMaker::liftNext()
{
    if (m_lifting)
        return;
    // Frames deleted while they waited: lifting them would be seconds of work for nothing.
    while (!m_liftQueue.isEmpty() &&
           !m_store->isCurrent(m_liftQueue.head().frameId, m_liftQueue.head().ticket))
        m_liftQueue.dequeue();
    if (m_liftQueue.isEmpty())
        return;
    const Queued next = m_liftQueue.dequeue();
    m_lifting = true;
    const QImage held = m_store->images(next.frameId).still;
    if (!held.isNull()) {
        startLifting(next.frameId, next.ticket, held);
        return;
    }
    // The still was let go while the frame waited: grabbing it again costs far less than keeping
    // every waiting frame's still in memory.
    continueOn(this, m_extractor->image(m_work.value(next.frameId).time),
               [this, next](const Result<QImage> &still) {
                   if (!m_store->isCurrent(next.frameId, next.ticket) || !still) {
                       if (!still)
                           m_store->setFailed(next.frameId, next.ticket, still.error().errorDescription());
                       m_lifting = false;
                       liftNext();
                       return;
                   }
                   startLifting(next.frameId, next.ticket, still.value());
               });
}

void FrameImageMaker::startLifting(const QUuid &frameId, FrameImageStore::Ticket ticket, const QImage &still)
{
    const QFuture<Lifting> lifting = m_subjectExtractor->liftAsync(still).then(
        QtFuture::Launch::Async, [still](const Result<SubjectMask> &mask) { return liftingOf(still, mask); });
    continueOn(this, lifting, [this, frameId, ticket](const Lifting &lifting) {
        m_lifting = false;
        if (m_store->isCurrent(frameId, ticket)) {
            if (lifting.error) {
                m_store->setFailed(frameId, ticket, lifting.error->errorDescription());
            } else {
                m_store->setLifted(frameId, ticket, lifting.lifted);
                if (lifting.lifted.hasSubject)
                    m_store->setSubject(frameId, ticket, lifting.cutOut);
                storeInCache(frameId, lifting.lifted);
            }
        }
        liftNext();
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
        storeInCache(frameId, lifting.lifted);
    });
}

void FrameImageMaker::remake(const QUuid &frameId)
{
    const FrameImageStore::Ticket ticket = m_store->ticket(frameId);
    const FrameImages images = m_store->images(frameId);
    if (!ticket || !m_work.contains(frameId))
        return;
    QFuture<Remade> remade;
    if (images.hasStill()) {
        remade = QtConcurrent::run(
            [still = images.still, mask = images.cutOutMask()] { return remadeFrom(still, mask); });
    } else {
        remade =
            m_extractor->image(m_work.value(frameId).time)
                .then(QtFuture::Launch::Async, [mask = images.cutOutMask()](const Result<QImage> &still) {
                    return remadeFrom(still, mask);
                });
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
            // The mask kept is not this frame's (its video changed under the same name, say).
            lift(frameId, ticket);
            return;
        }
        if (!remade.cutOut.isNull())
            m_store->setSubject(frameId, ticket, remade.cutOut);
    });
}

void FrameImageMaker::storeInCache(const QUuid &frameId, const LiftedFrame &lifted)
{
    if (!m_cache)
        return;
    const Work work = m_work.value(frameId);
    if (work.videoPath.isEmpty())
        return;
    m_diskPool.start([cache = m_cache, work, lifted, model = m_subjectExtractor->modelPath()] {
        const QByteArray key =
            work.cacheKey.isEmpty() ? cache->key(work.videoPath, work.time, model) : work.cacheKey;
        if (const std::optional<QString> problem = cache->store(key, lifted))
            qWarning("A lifted frame was not kept in the cache: %s", qPrintable(*problem));
    });
}
