#include "FreehandShape.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationMembers.h"
#include "models/JsonObjectReader.h"

#include <QRectF>

#include <algorithm>

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

namespace {

// The box around the stroke's points.
QRectF bounds(const QList<QPointF> &points)
{
    if (points.isEmpty())
        return {};
    double left = points.first().x();
    double right = left;
    double top = points.first().y();
    double bottom = top;
    for (const QPointF &point : points) {
        left = std::min(left, point.x());
        right = std::max(right, point.x());
        top = std::min(top, point.y());
        bottom = std::max(bottom, point.y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

} // namespace

QList<QPointF> FreehandShape::handles(const Annotation &annotation) const
{
    if (annotation.points.size() < 2)
        return {};
    const QRectF box = bounds(annotation.points);
    return {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()};
}

void FreehandShape::moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const
{
    const QList<QPointF> corners = handles(annotation);
    if (index < 0 || index >= corners.size())
        return;
    // The stroke is scaled so that the taken corner lands at `to` while the opposite one stays; along
    // a side of no length (a straight stroke) it keeps its place.
    const QPointF corner = corners.at(index);
    const QPointF fixed = corners.at((index + 2) % corners.size());
    const auto factor = [](double from, double to, double origin) {
        return from == origin ? 1.0 : (to - origin) / (from - origin);
    };
    const double sx = factor(corner.x(), to.x(), fixed.x());
    const double sy = factor(corner.y(), to.y(), fixed.y());
    for (QPointF &point : annotation.points)
        point = QPointF(fixed.x() + (point.x() - fixed.x()) * sx, fixed.y() + (point.y() - fixed.y()) * sy);
}

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
