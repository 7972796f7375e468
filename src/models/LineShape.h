#pragma once

#include "models/AnnotationShape.h"

// A straight segment from `start` to `end`.
class LineShape : public AnnotationShape
{
public:
    QString kind() const override { return QStringLiteral("line"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("line.diagonal"); }

    double distance(const Annotation &annotation, const QPointF &p) const override;
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
};
