#include "LineShape.h"

#include "models/AnnotationGeometry.h"

#include <QCoreApplication>

QString LineShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Ligne");
}

double LineShape::distance(const Annotation &annotation, const QPointF &p) const
{
    return AnnotationGeometry::pointToSegment(p, annotation.start, annotation.end);
}

QPainterPath LineShape::path(const Annotation &annotation, const QSizeF &size) const
{
    QPainterPath path;
    path.moveTo(AnnotationGeometry::place(annotation.start, size));
    path.lineTo(AnnotationGeometry::place(annotation.end, size));
    return path;
}
