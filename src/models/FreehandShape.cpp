#include "FreehandShape.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationMembers.h"
#include "models/JsonObjectReader.h"

using namespace Qt::Literals::StringLiterals;

Annotation FreehandShape::begin(const QPointF &at) const
{
    Annotation annotation;
    annotation.kind = kind();
    annotation.points = {at};
    return annotation;
}

void FreehandShape::extend(Annotation &draft, const QPointF &to) const
{
    if (draft.points.isEmpty() || draft.points.last() != to)
        draft.points.append(to);
}

QList<QPointF> FreehandShape::handles(const Annotation &) const
{
    return {};
}

void FreehandShape::moveHandle(Annotation &, qsizetype, const QPointF &) const {}

void FreehandShape::translate(Annotation &annotation, const QPointF &offset) const
{
    for (QPointF &point : annotation.points)
        point += offset;
}

double FreehandShape::distance(const Annotation &annotation, const QPointF &p) const
{
    return AnnotationGeometry::pointToPolyline(p, annotation.points);
}

QPainterPath FreehandShape::path(const Annotation &annotation, const QSizeF &size) const
{
    QPainterPath path;
    const QList<QPointF> &points = annotation.points;
    if (points.isEmpty())
        return path;
    path.moveTo(AnnotationGeometry::place(points.first(), size));
    if (points.size() == 1) {
        // A dot: the round caps of a stroke of no length.
        path.lineTo(AnnotationGeometry::place(points.first(), size));
        return path;
    }
    // Each recorded point steers a curve between the middles of the segments beside it, so the
    // corners of the pointer's path round off while the curve stays near it.
    for (qsizetype i = 1; i + 1 < points.size(); ++i) {
        const QPointF control = AnnotationGeometry::place(points.at(i), size);
        const QPointF next = AnnotationGeometry::place(points.at(i + 1), size);
        path.quadTo(control, (control + next) / 2);
    }
    path.lineTo(AnnotationGeometry::place(points.last(), size));
    return path;
}

void FreehandShape::write(const Annotation &annotation, AnnotationMembers &members) const
{
    writeStyle(annotation, members);
    members.add("points"_L1, annotation.points);
}

void FreehandShape::read(JsonObjectReader &reader, Annotation &annotation) const
{
    annotation.points = reader.points("points");
    readStyle(reader, annotation);
}
