#include "AnnotationHitTest.h"

#include <algorithm>
#include <cmath>

namespace {

double length(const QPointF &v)
{
    return std::hypot(v.x(), v.y());
}

} // namespace

QPointF AnnotationHitTest::normalize(const QPointF &point, const QSizeF &size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return {0, 0};
    return {std::clamp(point.x() / size.width(), 0.0, 1.0), std::clamp(point.y() / size.height(), 0.0, 1.0)};
}

QPointF AnnotationHitTest::denormalize(const QPointF &point, const QSizeF &size)
{
    return {point.x() * size.width(), point.y() * size.height()};
}

double AnnotationHitTest::pointToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF v = b - a;
    const double lengthSquared = v.x() * v.x() + v.y() * v.y();
    if (lengthSquared == 0)
        return length(p - a);
    const QPointF w = p - a;
    const double t = std::clamp((w.x() * v.x() + w.y() * v.y()) / lengthSquared, 0.0, 1.0);
    return length(p - (a + t * v));
}

double AnnotationHitTest::distance(const Annotation &annotation, const QPointF &p)
{
    switch (annotation.kind) {
    case AnnotationKind::Circle: {
        const QPointF centre((annotation.start.x() + annotation.end.x()) / 2,
                             (annotation.start.y() + annotation.end.y()) / 2);
        const double radius = (std::abs(annotation.end.x() - annotation.start.x()) * 0.5 +
                               std::abs(annotation.end.y() - annotation.start.y()) * 0.5) *
                              0.5;
        return std::abs(length(p - centre) - radius);
    }
    case AnnotationKind::Arrow:
    case AnnotationKind::Line:
        return pointToSegment(p, annotation.start, annotation.end);
    }
    return INFINITY;
}

std::optional<qsizetype> AnnotationHitTest::hitTest(const QList<Annotation> &annotations, const QPointF &p)
{
    std::optional<qsizetype> best;
    double bestDistance = tolerance;
    for (qsizetype i = 0; i < annotations.size(); ++i) {
        const double d = distance(annotations.at(i), p);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}
