#pragma once

#include "models/Annotation.h"

#include <QList>
#include <QPointF>

// Copies of annotations, as duplicating and pasting make them.
namespace AnnotationCopy {

// How far a copy is shifted from an annotation of the same shape in the same place, on the picture,
// normalised: down and to the right.
inline constexpr QPointF step{0.02, 0.02};

// Whether the two are the same shape in the same place: same kind and the same points.
bool sameShape(const Annotation &x, const Annotation &y);
// `annotation` as a new annotation of a frame that has `existing`: a new identifier, and shifted by
// `step` as many times as it takes for no annotation of the frame to lie exactly under it, so that a
// copy pasted where it came from shows beside its original.
Annotation placed(const Annotation &annotation, const QList<Annotation> &existing);

} // namespace AnnotationCopy
