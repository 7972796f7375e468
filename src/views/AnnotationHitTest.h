#pragma once

#include "models/Annotation.h"

#include <QList>
#include <QPointF>
#include <QSizeF>

#include <optional>

// Pointer geometry of the annotation canvas, in normalised image coordinates (widget-free).
namespace AnnotationHitTest {

// A press closer than this (strictly) to an annotation's outline hits it.
constexpr double tolerance = 0.04;

// A canvas point in normalised coordinates, clamped to [0, 1]; (0, 0) on an empty canvas.
QPointF normalize(const QPointF &point, const QSizeF &size);
// A normalised point in canvas coordinates, unclamped.
QPointF denormalize(const QPointF &point, const QSizeF &size);

// Distance from `p` to what picks the annotation, as its kind measures it (AnnotationShape).
double distance(const Annotation &annotation, const QPointF &p);
// Position of the annotation nearest to `p` within the tolerance; the earliest one wins a tie.
std::optional<qsizetype> hitTest(const QList<Annotation> &annotations, const QPointF &p);

} // namespace AnnotationHitTest
