#pragma once

#include "models/CutoutCorrection.h"
#include "platform/SubjectSegmenter.h"
#include "services/CutoutCorrector.h"
#include "state/FrameImageStore.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class CaptureDocument;
class SubjectExtractionService;
class VideoFrameExtractorService;

// Keeps every frame's cut-out in step with the corrections the document holds for it: whenever a
// frame's lifting or its corrections change, the corrections are applied in order to the lifting
// in the background, and the corrected mask and cut-out go to the image store (never through the
// undo stack). The two gestures that must look at the picture before they become a correction,
// adding a subject around a point or inside a box, run here too: they become a document edit only
// when they find something. Parts of a frame lifted again for an added subject are remembered, so
// that applying the correction again does not lift them again. Main thread only.
class CorrectedCutouts : public QObject
{
    Q_OBJECT

public:
    // `document`, `store` and `extractor` outlive this object; `lifter` lifts parts of a frame again.
    CorrectedCutouts(CaptureDocument *document, FrameImageStore *store,
                     const VideoFrameExtractorService *extractor,
                     std::shared_ptr<const SubjectExtractionService> lifter, QObject *parent = nullptr);
    ~CorrectedCutouts() override;

    // Looks for a subject the cut-out lacks around `point` (normalised) by lifting that part of the
    // frame again, and adds it as a correction; says `nothingFound` when there is none.
    void addSubjectAt(const QUuid &frameId, const QPointF &point);
    // Adds the figure a graph cut finds inside the box of these corners (normalised); says
    // `nothingFound` when it adds nothing.
    void addSubjectInBox(const QUuid &frameId, const QPointF &corner, const QPointF &oppositeCorner);
    // Whether a gesture that adds a subject to the frame is being worked out.
    bool isBusy(const QUuid &frameId) const;

    // The frame's mask as its cut-out shows it, corrections applied, for telling which subject lies
    // under the pointer; nothing until prepare() has made it.
    std::optional<SubjectMask> shownMask(const QUuid &frameId) const;
    // Makes the shown mask of the frame in the background, unless it is there or on its way.
    void prepare(const QUuid &frameId);

signals:
    void busyChanged(const QUuid &frameId);
    void shownMaskChanged(const QUuid &frameId);
    // A gesture found nothing to add, or could not be worked out; `message` says so.
    void nothingFound(const QUuid &frameId, const QString &message);

public:
    // What a job starts from (read on the main thread) and what it gives (made off it).
    struct Source;
    struct Applied;
    // A gesture worked out on the frame's corrected mask: the correction it makes, if any.
    using Gesture = std::function<Result<std::optional<CutoutCorrection>>(
        const SubjectMask &current, const CutoutCorrector::PartLifter &lift)>;

private:
    // Applies the document's corrections of the frame unless they are applied or being applied.
    void follow(const QUuid &frameId);
    // The job's starting point; nothing when the frame is not lifted.
    std::optional<Source> sourceOf(const QUuid &frameId) const;
    // Applies `corrections`, then `gesture` when there is one, to the frame's lifting in the
    // background; `done` gets the outcome on the main thread.
    void run(const Source &source, const QList<CutoutCorrection> &corrections, const Gesture &gesture,
             const std::function<void(const Applied &)> &done);
    void tryGesture(const QUuid &frameId, const Gesture &gesture);
    // Puts a job's outcome into the store, if it is still what the document asks for.
    void keep(const QUuid &frameId, FrameImageStore::Ticket ticket, const Applied &applied);
    void setBusy(const QUuid &frameId, int change);

    CaptureDocument *m_document;
    FrameImageStore *m_store;
    const VideoFrameExtractorService *m_extractor;
    std::shared_ptr<const SubjectExtractionService> m_lifter;
    // Per frame, the parts lifted again: SubjectMask::encoded() by window ("x,y,w,h" in pixels).
    QHash<QUuid, QHash<QString, QByteArray>> m_parts;
    // Per frame, the corrections being applied now.
    QHash<QUuid, QList<CutoutCorrection>> m_applying;
    QHash<QUuid, int> m_busy;
    // The mask last shown for one frame, with the corrections it has.
    struct Shown
    {
        QUuid frameId;
        QList<CutoutCorrection> corrections;
        quint64 lifting = 0; // the store's name of the lifting they were applied to
        std::optional<SubjectMask> mask;
    };
    Shown m_shown;
    QSet<QUuid> m_preparing;
    // One job after another: corrections of a frame apply in the order they were made.
    QThreadPool m_pool;
};
