#pragma once

#include "models/AnnotationShape.h"

// A segment from its tail `start` to its tip `end`, where an open two-stroke head is drawn.
class ArrowShape : public AnnotationShape
{
public:
    QString kind() const override { return QStringLiteral("arrow"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("arrow.up.right"); }

    // A press picks it by its shaft, not its head.
    double distance(const Annotation &annotation, const QPointF &p) const override;
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
};
