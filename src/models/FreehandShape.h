#pragma once

#include "models/AnnotationShape.h"

// A stroke along the pointer's path (`points`), drawn as a smooth curve through the middles of its
// segments. The kinds of pen differ in how they lay their ink.
class FreehandShape : public AnnotationShape
{
public:
    Annotation begin(const QPointF &at) const override;
    // Adds the point, unless it is where the stroke already is.
    void extend(Annotation &draft, const QPointF &to) const override;
    // The corners of the box around the stroke, going round from its top-left one; taking one scales
    // the stroke while the opposite corner stays. None for a dot.
    QList<QPointF> handles(const Annotation &annotation) const override;
    void moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const override;
    void translate(Annotation &annotation, const QPointF &offset) const override;
    double distance(const Annotation &annotation, const QPointF &p) const override;
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
    // Colour, width and "points".
    void write(const Annotation &annotation, AnnotationMembers &members) const override;
    void read(JsonObjectReader &reader, Annotation &annotation) const override;
};
