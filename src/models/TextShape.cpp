#include "TextShape.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationMembers.h"
#include "models/JsonObjectReader.h"
#include "models/TextFont.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRectF>
#include <QTransform>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// The words laid out with their margin around them, at the reference size.
struct Framed
{
    TextFont::Layout words;
    QSizeF extent; // the words with their margin
};

Framed framed(const QString &text)
{
    Framed laid{TextFont::layout(text), {}};
    const double pad = 2.0 * TextShape::margin * TextFont::referenceSize;
    laid.extent = QSizeF(laid.words.extent.width() + pad, laid.words.extent.height() + pad);
    return laid;
}

QRectF box(const Annotation &annotation)
{
    return QRectF(annotation.start, annotation.end).normalized();
}

} // namespace

QString TextShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Texte");
}

void TextShape::fit(Annotation &annotation, double aspect)
{
    const QSizeF extent = framed(annotation.text).extent;
    // Letters of pixel size lineWidth × letterScale × width: a reference unit is this fraction of
    // the width.
    const double unit = annotation.lineWidth * letterScale / TextFont::referenceSize;
    const double ratio = std::isfinite(aspect) && aspect > 0 ? aspect : 1.0;
    annotation.end = annotation.start + QPointF(extent.width() * unit, extent.height() * unit * ratio);
}

QList<QPointF> TextShape::handles(const Annotation &annotation) const
{
    return AnnotationGeometry::boxCorners(annotation);
}

void TextShape::moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const
{
    const QList<QPointF> corners = handles(annotation);
    if (index < 0 || index >= corners.size())
        return;
    const QPointF corner = corners.at(index);
    const QPointF fixed = corners.at((index + 2) % corners.size());
    const QPointF from = corner - fixed;
    if (from.x() == 0 || from.y() == 0)
        return;
    // The larger of the two stretches the pointer asks for, so the corner follows it out of the box.
    const double factor =
        std::max(std::abs((to.x() - fixed.x()) / from.x()), std::abs((to.y() - fixed.y()) / from.y()));
    if (!std::isfinite(factor) || factor <= 0)
        return;
    const auto scaled = [&](const QPointF &p) { return fixed + (p - fixed) * factor; };
    annotation.start = scaled(annotation.start);
    annotation.end = scaled(annotation.end);
    annotation.lineWidth *= factor;
}

void TextShape::setLineWidth(Annotation &annotation, double lineWidth) const
{
    if (annotation.lineWidth > 0 && std::isfinite(lineWidth / annotation.lineWidth)) {
        const double factor = lineWidth / annotation.lineWidth;
        const QRectF old = box(annotation);
        annotation.start = old.topLeft();
        annotation.end = old.topLeft() + QPointF(old.width() * factor, old.height() * factor);
    }
    annotation.lineWidth = lineWidth;
}

double TextShape::distance(const Annotation &annotation, const QPointF &p) const
{
    const QRectF area = box(annotation);
    const double dx = std::max({area.left() - p.x(), 0.0, p.x() - area.right()});
    const double dy = std::max({area.top() - p.y(), 0.0, p.y() - area.bottom()});
    return std::hypot(dx, dy);
}

QPainterPath TextShape::path(const Annotation &annotation, const QSizeF &size) const
{
    QPainterPath path;
    path.addRect(QRectF(AnnotationGeometry::place(annotation.start, size),
                        AnnotationGeometry::place(annotation.end, size))
                     .normalized());
    return path;
}

void TextShape::paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                      const QColor &color) const
{
    if (annotation.text.isEmpty())
        return;
    const Framed laid = framed(annotation.text);
    const QRectF area = path(annotation, size).boundingRect();
    if (laid.extent.isEmpty() || area.isEmpty())
        return;
    const double scale = std::min(area.width() / laid.extent.width(), area.height() / laid.extent.height());
    const double pad = margin * TextFont::referenceSize;
    QTransform placing;
    placing.translate(area.left(), area.top());
    placing.scale(scale, scale);
    if (annotation.filled)
        painter.fillRect(placing.mapRect(QRectF(QPointF(0, 0), laid.extent)), color);
    placing.translate(pad, pad);
    painter.fillPath(placing.map(laid.words.outlines),
                     annotation.filled ? AnnotationGeometry::inkOn(color) : color);
}

void TextShape::write(const Annotation &annotation, AnnotationMembers &members) const
{
    AnnotationShape::write(annotation, members);
    members.add("filled"_L1, annotation.filled);
    members.add("text"_L1, annotation.text);
}

void TextShape::read(JsonObjectReader &reader, Annotation &annotation) const
{
    AnnotationShape::read(reader, annotation);
    annotation.filled = reader.boolean("filled");
    annotation.text = reader.string("text");
}
