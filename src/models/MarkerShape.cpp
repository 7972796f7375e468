#include "MarkerShape.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationMembers.h"
#include "models/JsonObjectReader.h"
#include "models/TextFont.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

QString MarkerShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Repère numéroté");
}

void MarkerShape::extend(Annotation &draft, const QPointF &to) const
{
    draft.start = to;
    draft.end = to;
}

QList<QPointF> MarkerShape::handles(const Annotation &) const
{
    return {};
}

void MarkerShape::moveHandle(Annotation &, qsizetype, const QPointF &) const {}

double MarkerShape::distance(const Annotation &annotation, const QPointF &p) const
{
    const double reach = std::max(0.0, annotation.lineWidth * radiusScale);
    return std::max(0.0, std::hypot(p.x() - annotation.start.x(), p.y() - annotation.start.y()) - reach);
}

double MarkerShape::radius(const Annotation &annotation, const QSizeF &size)
{
    const double r = annotation.lineWidth * radiusScale * size.width();
    return std::isfinite(r) ? std::max(smallestRadius, r) : smallestRadius;
}

QPainterPath MarkerShape::path(const Annotation &annotation, const QSizeF &size) const
{
    QPainterPath path;
    const double r = radius(annotation, size);
    path.addEllipse(AnnotationGeometry::place(annotation.start, size), r, r);
    return path;
}

void MarkerShape::paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                        const QColor &color) const
{
    paintRanked(painter, annotation, size, color, 1);
}

void MarkerShape::paintRanked(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                              const QColor &color, int rank) const
{
    painter.fillPath(path(annotation, size), color);
    const TextFont::Layout number = TextFont::layout(QString::number(rank));
    if (number.extent.isEmpty())
        return;
    // The number fits a square inside the disc, its digits as high as 1.1 radius at most.
    const double r = radius(annotation, size);
    const QRectF inked = number.outlines.boundingRect();
    const double scale =
        std::min(1.3 * r / std::max(1.0, inked.width()), 1.1 * r / std::max(1.0, inked.height()));
    const QPointF centre = AnnotationGeometry::place(annotation.start, size);
    QTransform placing;
    placing.translate(centre.x(), centre.y());
    placing.scale(scale, scale);
    placing.translate(-inked.center().x(), -inked.center().y());
    painter.fillPath(placing.map(number.outlines), AnnotationGeometry::inkOn(color));
}

void MarkerShape::write(const Annotation &annotation, AnnotationMembers &members) const
{
    writeStyle(annotation, members);
    members.add("start"_L1, annotation.start);
}

void MarkerShape::read(JsonObjectReader &reader, Annotation &annotation) const
{
    annotation.start = reader.point("start");
    annotation.end = annotation.start;
    readStyle(reader, annotation);
}
