#pragma once

#include "models/AnnotationShape.h"

// The ellipse inscribed in the box of opposite corners `start` and `end` (in either order), round
// only when that box is square in pixels.
class CircleShape : public AnnotationShape
{
public:
    QString kind() const override { return QStringLiteral("circle"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("circle"); }

    QList<QPointF> handles(const Annotation &annotation) const override;
    void moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const override;
    // To a circle of the mean of the two half-axes, not to the true ellipse.
    double distance(const Annotation &annotation, const QPointF &p) const override;
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
};
