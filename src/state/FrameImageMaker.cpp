#include "FrameImageMaker.h"

#include "models/ExportMode.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"
#include "support/ContinueOn.h"

FrameImageMaker::FrameImageMaker(const VideoFrameExtractorService *extractor, FrameImageStore *store,
                                 QObject *parent)
    : QObject(parent)
    , m_extractor(extractor)
    , m_store(store)
    , m_subjectExtractor(std::make_shared<SubjectExtractionService>())
{}

FrameImageMaker::~FrameImageMaker() = default;

void FrameImageMaker::make(const QUuid &frameId, const MediaTime &time)
{
    const FrameImageStore::Ticket ticket = m_store->track(frameId);
    continueOn(this, m_extractor->image(time), [this, frameId, ticket](const Result<QImage> &still) {
        if (!still) {
            if (!m_store->isCurrent(frameId, ticket))
                return;
            m_store->setFailed(frameId, ticket, still.error().errorDescription());
            emit stillFailed(frameId, still.error().errorDescription());
            return;
        }
        m_store->setStill(frameId, ticket, still.value());
        lift(frameId, ticket, still.value());
    });
}

void FrameImageMaker::lift(const QUuid &frameId, FrameImageStore::Ticket ticket, const QImage &still)
{
    // A frame deleted while its still was made: lifting it would be seconds of work for nothing.
    if (!m_store->isCurrent(frameId, ticket))
        return;
    continueOn(this, m_subjectExtractor->extractAsync(still, ExportMode::Merged, false),
               [this, frameId, ticket](const Result<QList<QImage>> &subjects) {
                   if (subjects && !subjects.value().isEmpty())
                       m_store->setSubject(frameId, ticket, subjects.value().first());
                   else if (!subjects && subjects.error().kind() != AppError::Kind::NoSubjectFound)
                       m_store->setFailed(frameId, ticket, subjects.error().errorDescription());
                   else
                       m_store->setNoSubject(frameId, ticket);
               });
}
