#pragma once

#include "models/AnnotationShape.h"

// The box of opposite corners `start` and `end` (in either order): its outline stroked, or, when
// `filled`, its inside painted in the colour at its opacity.
class RectangleShape : public AnnotationShape
{
public:
    QString kind() const override { return QStringLiteral("rectangle"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("rectangle"); }

    QList<QPointF> handles(const Annotation &annotation) const override;
    void moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const override;
    // To the outline; a filled one is hit anywhere inside as well.
    double distance(const Annotation &annotation, const QPointF &p) const override;
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
    void paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
               const QColor &color) const override;
    void write(const Annotation &annotation, AnnotationMembers &members) const override;
    void read(JsonObjectReader &reader, Annotation &annotation) const override;
};
