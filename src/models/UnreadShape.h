#pragma once

#include "models/AnnotationShape.h"

// The behaviour of an annotation of a kind this version does not know: it is kept as it was read
// (Annotation::unread) and written back so, but neither drawn, nor picked, nor moved.
class UnreadShape : public AnnotationShape
{
public:
    QString kind() const override { return {}; }
    QString displayName() const override { return {}; }
    QString systemImage() const override { return {}; }

    QList<QPointF> handles(const Annotation &annotation) const override;
    void moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const override;
    void translate(Annotation &annotation, const QPointF &offset) const override;
    double distance(const Annotation &annotation, const QPointF &p) const override;
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
    void paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
               const QColor &color) const override;
    void paintHalo(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                   const QColor &accent) const override;
    // Nothing: its members are those it was read with.
    void write(const Annotation &annotation, AnnotationMembers &members) const override;
    void read(JsonObjectReader &reader, Annotation &annotation) const override;
};
