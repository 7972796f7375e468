#include "CorrectedCutouts.h"

#include "models/ExportMode.h"
#include "services/SubjectExtractionService.h"
#include "services/VideoFrameExtractorService.h"
#include "state/CaptureDocument.h"
#include "support/ContinueOn.h"

#include <QCoreApplication>
#include <QtConcurrent/QtConcurrentRun>

namespace {

QString windowKey(const QRect &window)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(window.x())
        .arg(window.y())
        .arg(window.width())
        .arg(window.height());
}

QString tr(const char *text)
{
    return QCoreApplication::translate("CorrectedCutouts", text);
}

} // namespace

struct CorrectedCutouts::Source
{
    QUuid frameId;
    FrameImageStore::Ticket ticket = 0;
    MediaTime time;
    QImage still;        // null: grabbed again
    KeptMask liftedMask; // read on the worker: it may be on the disk only
    quint64 lifting = 0;
    QHash<QString, QByteArray> parts;
};

struct CorrectedCutouts::Applied
{
    std::optional<AppError> error;
    QList<CutoutCorrection> corrections; // those applied, the gesture's included
    QByteArray liftedMask;
    quint64 lifting = 0; // the store's name of the lifting they were applied to
    QByteArray mask;     // encoded
    std::optional<SubjectMask> shown;
    QImage cutOut; // null without subject
    QHash<QString, QByteArray> newParts;
    bool gestureFoundNothing = false;
};

namespace {

using Applied = CorrectedCutouts::Applied;

void applyTo(Applied &applied, const QImage &still, const QHash<QString, QByteArray> &parts,
             const std::shared_ptr<const SubjectExtractionService> &lifter,
             const CorrectedCutouts::Gesture &gesture)
{
    const Result<SubjectMask> lifted = SubjectMask::decoded(applied.liftedMask, still);
    if (!lifted) {
        applied.error = lifted.error();
        return;
    }
    const CutoutCorrector::PartLifter lift = [&](const QRect &window) -> Result<SubjectMask> {
        const QString key = windowKey(window);
        const QImage part = still.copy(window);
        const QByteArray known = applied.newParts.value(key, parts.value(key));
        if (!known.isEmpty()) {
            if (Result<SubjectMask> decoded = SubjectMask::decoded(known, part))
                return decoded;
        }
        Result<SubjectMask> found = lifter->lift(part);
        if (found)
            applied.newParts.insert(key, found.value().encoded());
        return found;
    };
    Result<SubjectMask> corrected = CutoutCorrector::corrected(lifted.value(), applied.corrections, lift);
    if (!corrected) {
        applied.error = corrected.error();
        return;
    }
    if (gesture) {
        const Result<std::optional<CutoutCorrection>> made = gesture(corrected.value(), lift);
        if (!made) {
            applied.error = made.error();
            return;
        }
        if (!made.value()) {
            applied.gestureFoundNothing = true;
            return;
        }
        const Result<SubjectMask> added =
            CutoutCorrector::corrected(corrected.value(), {*made.value()}, lift);
        if (!added) {
            applied.error = added.error();
            return;
        }
        // Nothing found: the gesture adds no subject.
        if (added.value().instanceCount() <= corrected.value().instanceCount() &&
            added.value().encoded() == corrected.value().encoded()) {
            applied.gestureFoundNothing = true;
            return;
        }
        applied.corrections << *made.value();
        corrected = added;
    }
    applied.mask = corrected.value().encoded();
    if (corrected.value().instanceCount() > 0) {
        const Result<QList<QImage>> images =
            SubjectExtractionService::images(corrected.value(), ExportMode::Merged, false);
        if (!images) {
            applied.error = images.error();
            return;
        }
        applied.cutOut = images.value().first();
    }
    applied.shown = std::move(corrected).value();
}

Applied appliedTo(const Result<QImage> &still, const KeptMask &liftedMask, quint64 lifting,
                  const QList<CutoutCorrection> &corrections, const QHash<QString, QByteArray> &parts,
                  const std::shared_ptr<const SubjectExtractionService> &lifter,
                  const CorrectedCutouts::Gesture &gesture)
{
    Applied applied;
    applied.corrections = corrections;
    applied.liftedMask = liftedMask.bytes();
    applied.lifting = lifting;
    if (!still) {
        applied.error = still.error();
        return applied;
    }
    try {
        applyTo(applied, still.value(), parts, lifter, gesture);
    } catch (const std::exception &exception) {
        qWarning("Correcting a cut-out failed: %s", exception.what());
        applied.error =
            AppError::platformFailure(tr("Échec de la correction du détourage : erreur inattendue."));
    }
    return applied;
}

} // namespace

CorrectedCutouts::CorrectedCutouts(CaptureDocument *document, FrameImageStore *store,
                                   const VideoFrameExtractorService *extractor,
                                   std::shared_ptr<const SubjectExtractionService> lifter, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_store(store)
    , m_extractor(extractor)
    , m_lifter(std::move(lifter))
{
    m_pool.setMaxThreadCount(1);
    connect(m_document, &CaptureDocument::correctionsChanged, this, &CorrectedCutouts::follow);
    connect(m_store, &FrameImageStore::imagesChanged, this, [this](const QUuid &frameId) {
        if (!m_store->isTracked(frameId)) {
            m_parts.remove(frameId);
            if (m_shown.frameId == frameId)
                m_shown = Shown();
            return;
        }
        follow(frameId);
    });
}

CorrectedCutouts::~CorrectedCutouts()
{
    m_pool.waitForDone();
}

std::optional<CorrectedCutouts::Source> CorrectedCutouts::sourceOf(const QUuid &frameId) const
{
    const std::optional<CapturedFrame> frame = m_document->frame(frameId);
    const FrameImages images = m_store->images(frameId);
    if (!frame || !images.hasMask() || images.hasFailed())
        return std::nullopt;
    return Source{
        frameId,        m_store->ticket(frameId), frame->time, images.still, m_store->keptMask(frameId),
        images.lifting, m_parts.value(frameId)};
}

void CorrectedCutouts::follow(const QUuid &frameId)
{
    // The store first: most changes are of frames not lifted yet, and finding a frame in the
    // document means going through its groups.
    const FrameImages images = m_store->images(frameId);
    if (!images.hasMask() || images.hasFailed())
        return;
    const std::optional<CapturedFrame> frame = m_document->frame(frameId);
    if (!frame)
        return;
    if (images.corrections == frame->corrections)
        return;
    if (const auto applying = m_applying.constFind(frameId);
        applying != m_applying.cend() && *applying == frame->corrections)
        return;
    const std::optional<Source> source = sourceOf(frameId);
    if (!source)
        return;
    m_applying.insert(frameId, frame->corrections);
    run(*source, frame->corrections, {}, [this, frameId, ticket = source->ticket](const Applied &applied) {
        if (m_applying.value(frameId) == applied.corrections)
            m_applying.remove(frameId);
        keep(frameId, ticket, applied);
        follow(frameId);
    });
}

void CorrectedCutouts::run(const Source &source, const QList<CutoutCorrection> &corrections,
                           const Gesture &gesture, const std::function<void(const Applied &)> &done)
{
    QFuture<Applied> job;
    const auto work = [lifted = source.liftedMask, lifting = source.lifting, corrections,
                       parts = source.parts, lifter = m_lifter, gesture](const Result<QImage> &still) {
        return appliedTo(still, lifted, lifting, corrections, parts, lifter, gesture);
    };
    if (!source.still.isNull())
        job = QtConcurrent::run(&m_pool, [work, still = source.still] { return work(still); });
    else
        job = m_extractor->image(source.time).then(&m_pool, work);
    continueOn(this, job, done);
}

void CorrectedCutouts::keep(const QUuid &frameId, FrameImageStore::Ticket ticket, const Applied &applied)
{
    if (!m_store->isCurrent(frameId, ticket))
        return;
    auto &parts = m_parts[frameId];
    for (auto it = applied.newParts.cbegin(); it != applied.newParts.cend(); ++it)
        parts.insert(it.key(), it.value());
    const std::optional<CapturedFrame> frame = m_document->frame(frameId);
    if (!frame || applied.error || applied.gestureFoundNothing)
        return;
    if (m_store->images(frameId).lifting != applied.lifting)
        return;
    m_shown = Shown{frameId, applied.corrections, applied.lifting, applied.shown};
    emit shownMaskChanged(frameId);
    if (frame->corrections == applied.corrections)
        m_store->setCorrected(frameId, ticket, applied.corrections, applied.mask, applied.cutOut);
}

void CorrectedCutouts::tryGesture(const QUuid &frameId, const Gesture &gesture)
{
    const std::optional<CapturedFrame> frame = m_document->frame(frameId);
    const std::optional<Source> source = sourceOf(frameId);
    if (!frame || !source)
        return;
    setBusy(frameId, +1);
    run(*source, frame->corrections, gesture,
        [this, frameId, ticket = source->ticket, before = frame->corrections](const Applied &applied) {
            setBusy(frameId, -1);
            const std::optional<CapturedFrame> now = m_document->frame(frameId);
            if (!now || !m_store->isCurrent(frameId, ticket))
                return;
            if (applied.error) {
                emit nothingFound(frameId, applied.error->errorDescription());
                return;
            }
            if (applied.gestureFoundNothing) {
                keep(frameId, ticket, applied);
                emit nothingFound(frameId, tr("Aucun sujet trouvé à cet endroit"));
                return;
            }
            // The frame was corrected meanwhile: the gesture was worked out on what it showed then.
            if (now->corrections != before)
                return;
            keep(frameId, ticket, applied);
            m_applying.insert(frameId, applied.corrections);
            m_document->addCorrection(frameId, applied.corrections.last());
            m_applying.remove(frameId);
            m_store->setCorrected(frameId, ticket, applied.corrections, applied.mask, applied.cutOut);
        });
}

void CorrectedCutouts::addSubjectAt(const QUuid &frameId, const QPointF &point)
{
    tryGesture(frameId,
               [point](const SubjectMask &current,
                       const CutoutCorrector::PartLifter &lift) -> Result<std::optional<CutoutCorrection>> {
                   const QSize size = current.frameSize();
                   const QPoint pixel = CutoutCorrector::pixelOf(point, size);
                   const Result<std::optional<CutoutCorrector::FoundPart>> found =
                       CutoutCorrector::findSubjectAt(current, pixel, lift);
                   if (!found)
                       return found.error();
                   if (!found.value())
                       return std::optional<CutoutCorrection>();
                   return std::optional<CutoutCorrection>(CutoutCorrection::addSubject(
                       point, CutoutCorrector::normalisedWindow(found.value()->window, size)));
               });
}

void CorrectedCutouts::addSubjectInBox(const QUuid &frameId, const QPointF &corner,
                                       const QPointF &oppositeCorner)
{
    tryGesture(frameId,
               [corner, oppositeCorner](const SubjectMask &, const CutoutCorrector::PartLifter &)
                   -> Result<std::optional<CutoutCorrection>> {
                   return std::optional<CutoutCorrection>(
                       CutoutCorrection::addSubjectInBox(corner, oppositeCorner));
               });
}

bool CorrectedCutouts::isBusy(const QUuid &frameId) const
{
    return m_busy.value(frameId) > 0;
}

void CorrectedCutouts::setBusy(const QUuid &frameId, int change)
{
    const bool was = isBusy(frameId);
    const int count = m_busy.value(frameId) + change;
    if (count > 0)
        m_busy.insert(frameId, count);
    else
        m_busy.remove(frameId);
    if (was != isBusy(frameId))
        emit busyChanged(frameId);
}

std::optional<SubjectMask> CorrectedCutouts::shownMask(const QUuid &frameId) const
{
    const std::optional<CapturedFrame> frame = m_document->frame(frameId);
    if (!frame || m_shown.frameId != frameId || m_shown.corrections != frame->corrections ||
        m_shown.lifting != m_store->images(frameId).lifting)
        return std::nullopt;
    return m_shown.mask;
}

void CorrectedCutouts::prepare(const QUuid &frameId)
{
    const std::optional<CapturedFrame> frame = m_document->frame(frameId);
    if (!frame || shownMask(frameId) || m_applying.contains(frameId))
        return;
    const std::optional<Source> source = sourceOf(frameId);
    if (!source)
        return;
    m_applying.insert(frameId, frame->corrections);
    run(*source, frame->corrections, {}, [this, frameId, ticket = source->ticket](const Applied &applied) {
        if (m_applying.value(frameId) == applied.corrections)
            m_applying.remove(frameId);
        keep(frameId, ticket, applied);
        follow(frameId);
    });
}
