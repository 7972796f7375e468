#pragma once

#include "models/Annotation.h"

#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QSizeF>

// How an annotation lands on a surface of a given size: the one definition shared by the export
// renderer and the on-screen canvas, so both always draw the same shapes. Coordinates have their
// origin at the top-left corner, y downwards.
namespace AnnotationGeometry {

// The two sides of an arrow head open this many radians to either side of the reversed shaft.
constexpr double headAngle = 0.45;

// Where a normalised point lands on the surface.
QPointF place(const QPointF &normalised, const QSizeF &size);
// Stroke width on the surface: the relative width times the surface's width, at least 1.
double strokeWidth(const Annotation &annotation, const QSizeF &size);
// Length of each side of an arrow head for a stroke of width `width`.
double headLength(double width);
// The stroke colour: sRGB components with opacity.
QColor strokeColor(const Annotation &annotation);
// The pen the annotation is stroked with: its colour and width, round caps and joins.
QPen pen(const Annotation &annotation, const QSizeF &size);
// The outline to stroke: a segment, a segment with its open two-stroke head, or the ellipse
// inscribed in the box whose opposite corners are the two points (in either order).
QPainterPath shapePath(const Annotation &annotation, const QSizeF &size);

} // namespace AnnotationGeometry
