#include "AnnotationGeometry.h"

#include <algorithm>
#include <cmath>

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

QColor AnnotationGeometry::inkOn(const QColor &color)
{
    const double luminance = 0.2126 * color.redF() + 0.7152 * color.greenF() + 0.0722 * color.blueF();
    QColor ink = luminance > 0.55 ? QColor(Qt::black) : QColor(Qt::white);
    ink.setAlphaF(color.alphaF());
    return ink;
}

QPen AnnotationGeometry::pen(const Annotation &annotation, const QSizeF &size)
{
    QPen pen(strokeColor(annotation), strokeWidth(annotation, size), Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    return pen;
}

double AnnotationGeometry::pointToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF v = b - a;
    const double lengthSquared = v.x() * v.x() + v.y() * v.y();
    if (lengthSquared == 0)
        return std::hypot(p.x() - a.x(), p.y() - a.y());
    const QPointF w = p - a;
    const double t = std::clamp((w.x() * v.x() + w.y() * v.y()) / lengthSquared, 0.0, 1.0);
    const QPointF nearest = a + t * v;
    return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

double AnnotationGeometry::pointToPolyline(const QPointF &p, const QList<QPointF> &points)
{
    if (points.isEmpty())
        return INFINITY;
    double nearest = pointToSegment(p, points.first(), points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        nearest = std::min(nearest, pointToSegment(p, points.at(i - 1), points.at(i)));
    return nearest;
}

QList<QPointF> AnnotationGeometry::boxCorners(const Annotation &annotation)
{
    const QPointF &s = annotation.start;
    const QPointF &e = annotation.end;
    return {s, QPointF(e.x(), s.y()), e, QPointF(s.x(), e.y())};
}

void AnnotationGeometry::moveBoxCorner(Annotation &annotation, qsizetype index, const QPointF &to)
{
    switch (index) {
    case 0:
        annotation.start = to;
        break;
    case 1:
        annotation.end.setX(to.x());
        annotation.start.setY(to.y());
        break;
    case 2:
        annotation.end = to;
        break;
    case 3:
        annotation.start.setX(to.x());
        annotation.end.setY(to.y());
        break;
    default:
        break;
    }
}
