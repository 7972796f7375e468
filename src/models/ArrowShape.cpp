#include "ArrowShape.h"

#include "models/AnnotationGeometry.h"

#include <QCoreApplication>

#include <cmath>
#include <numbers>

QString ArrowShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Flèche");
}

double ArrowShape::distance(const Annotation &annotation, const QPointF &p) const
{
    return AnnotationGeometry::pointToSegment(p, annotation.start, annotation.end);
}

QPainterPath ArrowShape::path(const Annotation &annotation, const QSizeF &size) const
{
    const QPointF start = AnnotationGeometry::place(annotation.start, size);
    const QPointF end = AnnotationGeometry::place(annotation.end, size);
    QPainterPath path;
    path.moveTo(start);
    path.lineTo(end);
    // Both sides of the head start at the tip and point back along the shaft.
    const double back = std::atan2(end.y() - start.y(), end.x() - start.x()) + std::numbers::pi;
    const double length = AnnotationGeometry::headLength(AnnotationGeometry::strokeWidth(annotation, size));
    for (const double side : {back - AnnotationGeometry::headAngle, back + AnnotationGeometry::headAngle}) {
        path.moveTo(end);
        path.lineTo(end + length * QPointF(std::cos(side), std::sin(side)));
    }
    return path;
}
