#include "AnnotationShape.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationMembers.h"
#include "models/JsonObjectReader.h"

#include <QPainter>

using namespace Qt::Literals::StringLiterals;

Annotation AnnotationShape::begin(const QPointF &at) const
{
    Annotation annotation;
    annotation.kind = kind();
    annotation.start = at;
    annotation.end = at;
    return annotation;
}

void AnnotationShape::extend(Annotation &draft, const QPointF &to) const
{
    draft.end = to;
}

QList<QPointF> AnnotationShape::handles(const Annotation &annotation) const
{
    return {annotation.start, annotation.end};
}

void AnnotationShape::moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const
{
    if (index == 0)
        annotation.start = to;
    else if (index == 1)
        annotation.end = to;
}

void AnnotationShape::translate(Annotation &annotation, const QPointF &offset) const
{
    annotation.start += offset;
    annotation.end += offset;
    for (QPointF &point : annotation.points)
        point += offset;
}

void AnnotationShape::setLineWidth(Annotation &annotation, double lineWidth) const
{
    annotation.lineWidth = lineWidth;
}

void AnnotationShape::paintRanked(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                                  const QColor &color, int) const
{
    paint(painter, annotation, size, color);
}

void AnnotationShape::paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                            const QColor &color) const
{
    painter.strokePath(path(annotation, size), strokePen(annotation, size, color));
}

void AnnotationShape::paintHalo(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                                const QColor &accent) const
{
    QPen halo = strokePen(annotation, size, accent);
    halo.setWidthF(halo.widthF() + 4.0);
    painter.strokePath(path(annotation, size), halo);
}

void AnnotationShape::write(const Annotation &annotation, AnnotationMembers &members) const
{
    writeStyle(annotation, members);
    members.add("start"_L1, annotation.start);
    members.add("end"_L1, annotation.end);
}

void AnnotationShape::read(JsonObjectReader &reader, Annotation &annotation) const
{
    annotation.start = reader.point("start");
    annotation.end = reader.point("end");
    readStyle(reader, annotation);
}

QPen AnnotationShape::strokePen(const Annotation &annotation, const QSizeF &size, const QColor &color)
{
    QPen pen = AnnotationGeometry::pen(annotation, size);
    pen.setColor(color);
    return pen;
}

void AnnotationShape::writeStyle(const Annotation &annotation, AnnotationMembers &members)
{
    members.add("r"_L1, annotation.r);
    members.add("g"_L1, annotation.g);
    members.add("b"_L1, annotation.b);
    members.add("a"_L1, annotation.a);
    members.add("lineWidth"_L1, annotation.lineWidth);
}

void AnnotationShape::readStyle(JsonObjectReader &reader, Annotation &annotation)
{
    annotation.r = reader.number("r");
    annotation.g = reader.number("g");
    annotation.b = reader.number("b");
    annotation.a = reader.number("a");
    annotation.lineWidth = reader.number("lineWidth");
}

int AnnotationShape::bandEdgeNear(int row, const QSizeF &) const
{
    return row;
}
