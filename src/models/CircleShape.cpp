#include "CircleShape.h"

#include "models/AnnotationGeometry.h"

#include <QCoreApplication>
#include <QRectF>

#include <cmath>

QString CircleShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Cercle");
}

QList<QPointF> CircleShape::handles(const Annotation &annotation) const
{
    return AnnotationGeometry::boxCorners(annotation);
}

void CircleShape::moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const
{
    AnnotationGeometry::moveBoxCorner(annotation, index, to);
}

double CircleShape::distance(const Annotation &annotation, const QPointF &p) const
{
    const QPointF centre((annotation.start.x() + annotation.end.x()) / 2,
                         (annotation.start.y() + annotation.end.y()) / 2);
    const double radius = (std::abs(annotation.end.x() - annotation.start.x()) * 0.5 +
                           std::abs(annotation.end.y() - annotation.start.y()) * 0.5) *
                          0.5;
    return std::abs(std::hypot(p.x() - centre.x(), p.y() - centre.y()) - radius);
}

QPainterPath CircleShape::path(const Annotation &annotation, const QSizeF &size) const
{
    QPainterPath path;
    path.addEllipse(QRectF(AnnotationGeometry::place(annotation.start, size),
                           AnnotationGeometry::place(annotation.end, size))
                        .normalized());
    return path;
}
