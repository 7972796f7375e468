#include "AnnotationGeometry.h"

#include <QRectF>

#include <algorithm>
#include <cmath>
#include <numbers>

QPointF AnnotationGeometry::place(const QPointF &normalised, const QSizeF &size)
{
    return QPointF(normalised.x() * size.width(), normalised.y() * size.height());
}

double AnnotationGeometry::strokeWidth(const Annotation &annotation, const QSizeF &size)
{
    const double width = annotation.lineWidth * size.width();
    return std::isfinite(width) ? std::max(1.0, width) : 1.0;
}

double AnnotationGeometry::headLength(double width)
{
    return std::max(8.0, 3.5 * width);
}

QColor AnnotationGeometry::strokeColor(const Annotation &annotation)
{
    const auto unit = [](double component) { return float(std::clamp(component, 0.0, 1.0)); };
    return QColor::fromRgbF(unit(annotation.r), unit(annotation.g), unit(annotation.b), unit(annotation.a));
}

QPen AnnotationGeometry::pen(const Annotation &annotation, const QSizeF &size)
{
    QPen pen(strokeColor(annotation), strokeWidth(annotation, size), Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    return pen;
}

QPainterPath AnnotationGeometry::shapePath(const Annotation &annotation, const QSizeF &size)
{
    const QPointF start = place(annotation.start, size);
    const QPointF end = place(annotation.end, size);
    QPainterPath path;
    switch (annotation.kind) {
    case AnnotationKind::Line:
        path.moveTo(start);
        path.lineTo(end);
        break;
    case AnnotationKind::Arrow: {
        path.moveTo(start);
        path.lineTo(end);
        // Both sides of the head start at the tip and point back along the shaft.
        const double back = std::atan2(end.y() - start.y(), end.x() - start.x()) + std::numbers::pi;
        const double length = headLength(strokeWidth(annotation, size));
        for (const double side : {back - headAngle, back + headAngle}) {
            path.moveTo(end);
            path.lineTo(end + length * QPointF(std::cos(side), std::sin(side)));
        }
        break;
    }
    case AnnotationKind::Circle:
        path.addEllipse(QRectF(start, end).normalized());
        break;
    }
    return path;
}
