#include "RectangleShape.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationMembers.h"
#include "models/JsonObjectReader.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRectF>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

QString RectangleShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Rectangle");
}

QList<QPointF> RectangleShape::handles(const Annotation &annotation) const
{
    return AnnotationGeometry::boxCorners(annotation);
}

void RectangleShape::moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const
{
    AnnotationGeometry::moveBoxCorner(annotation, index, to);
}

double RectangleShape::distance(const Annotation &annotation, const QPointF &p) const
{
    const QRectF box = QRectF(annotation.start, annotation.end).normalized();
    if (annotation.filled && p.x() >= box.left() && p.x() <= box.right() && p.y() >= box.top() &&
        p.y() <= box.bottom())
        return 0.0;
    const QList<QPointF> corners = AnnotationGeometry::boxCorners(annotation);
    double nearest = INFINITY;
    for (qsizetype i = 0; i < corners.size(); ++i)
        nearest = std::min(nearest, AnnotationGeometry::pointToSegment(p, corners.at(i),
                                                                       corners.at((i + 1) % corners.size())));
    return nearest;
}

QPainterPath RectangleShape::path(const Annotation &annotation, const QSizeF &size) const
{
    QPainterPath path;
    path.addRect(QRectF(AnnotationGeometry::place(annotation.start, size),
                        AnnotationGeometry::place(annotation.end, size))
                     .normalized());
    return path;
}

void RectangleShape::paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                           const QColor &color) const
{
    if (annotation.filled)
        painter.fillPath(path(annotation, size), color);
    else
        AnnotationShape::paint(painter, annotation, size, color);
}

void RectangleShape::write(const Annotation &annotation, AnnotationMembers &members) const
{
    AnnotationShape::write(annotation, members);
    members.add("filled"_L1, annotation.filled);
}

void RectangleShape::read(JsonObjectReader &reader, Annotation &annotation) const
{
    AnnotationShape::read(reader, annotation);
    annotation.filled = reader.boolean("filled");
}
