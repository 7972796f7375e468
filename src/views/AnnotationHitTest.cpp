#include "AnnotationHitTest.h"

#include "models/AnnotationShape.h"

#include <algorithm>

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

double AnnotationHitTest::distance(const Annotation &annotation, const QPointF &p)
{
    return annotation.shape().distance(annotation, p);
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
