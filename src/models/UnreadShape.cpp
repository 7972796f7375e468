#include "UnreadShape.h"

#include <cmath>

QList<QPointF> UnreadShape::handles(const Annotation &) const
{
    return {};
}

void UnreadShape::moveHandle(Annotation &, qsizetype, const QPointF &) const {}

void UnreadShape::translate(Annotation &, const QPointF &) const {}

double UnreadShape::distance(const Annotation &, const QPointF &) const
{
    return INFINITY;
}

QPainterPath UnreadShape::path(const Annotation &, const QSizeF &) const
{
    return {};
}

void UnreadShape::paint(QPainter &, const Annotation &, const QSizeF &, const QColor &) const {}

void UnreadShape::paintHalo(QPainter &, const Annotation &, const QSizeF &, const QColor &) const {}

void UnreadShape::write(const Annotation &, AnnotationMembers &) const {}

void UnreadShape::read(JsonObjectReader &, Annotation &) const {}
