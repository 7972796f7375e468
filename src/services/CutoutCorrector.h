#pragma once

#include "models/CutoutCorrection.h"
#include "platform/SubjectSegmenter.h"
#include "support/Result.h"

#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <functional>
#include <optional>

// Gives a frame's cut-out its corrections: applies them in order, at the frame's full resolution,
// to the mask its lifting gave, so that the same lifting and the same corrections give the same
// cut-out every time. Stateless; safe on any thread.
namespace CutoutCorrector {

// The mask of the model run again on a square part of the frame (frame pixels). A correction that
// adds a subject found that way asks for its square again; where the answer comes from (memory,
// the disk cache, the model) is the caller's choice, as long as it is the model's output.
using PartLifter = std::function<Result<SubjectMask>(const QRect &window)>;

// `lifted` with `corrections` applied after one another. A correction that finds nothing changes
// nothing; one whose part of the frame cannot be lifted again fails the whole with the reason.
Result<SubjectMask> corrected(const SubjectMask &lifted, const QList<CutoutCorrection> &corrections,
                              const PartLifter &lift);

// A subject added by lifting the frame again around `point` (frame pixels): the square lifted and
// the lifting of it, whose subject under the point is the one to add.
struct FoundPart
{
    QRect window;
    SubjectMask mask;
};

// Lifts the frame again in a square around `point` and looks for a subject there that `current`
// (the frame's corrected mask) lacks: first in a square a few times the height of the subject
// nearest in height of frame, then in one twice as large. Nothing when neither holds one.
Result<std::optional<FoundPart>> findSubjectAt(const SubjectMask &current, QPoint point,
                                               const PartLifter &lift);

// The square lifted again around `point` on the first (0) or second (1) attempt, inside the frame.
QRect liftingWindow(const SubjectMask &current, QPoint point, int attempt);

// Between normalised coordinates and the pixels of a frame of `size`.
QPoint pixelOf(const QPointF &normalised, QSize size);
QPointF pixelPointOf(const QPointF &normalised, QSize size);
QPointF normalisedOf(const QPointF &pixel, QSize size);
QRect windowInPixels(const QRectF &normalised, QSize size);
QRectF normalisedWindow(const QRect &window, QSize size);

} // namespace CutoutCorrector
