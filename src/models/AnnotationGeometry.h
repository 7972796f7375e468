#pragma once

#include "models/Annotation.h"

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QSizeF>

// How an annotation lands on a surface of a given size, the rules every kind of shape paints by, so
// that the export renderer and the on-screen canvas always draw the same shapes. Coordinates have
// their origin at the top-left corner, y downwards.
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
// Black or white, whichever reads better on `color`, at its opacity: words on a box or a disc.
QColor inkOn(const QColor &color);
// The pen the annotation is stroked with: its colour and width, round caps and joins.
QPen pen(const Annotation &annotation, const QSizeF &size);
// Distance from `p` to the segment a–b, and to a line through `points` (to its one point when
// there is one).
double pointToSegment(const QPointF &p, const QPointF &a, const QPointF &b);
double pointToPolyline(const QPointF &p, const QList<QPointF> &points);

// The corners of the box of opposite corners `start` and `end`, going round from `start`; moving
// one of them keeps the opposite corner in place.
QList<QPointF> boxCorners(const Annotation &annotation);
void moveBoxCorner(Annotation &annotation, qsizetype index, const QPointF &to);

} // namespace AnnotationGeometry
