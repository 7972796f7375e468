#pragma once

#include "models/AnnotationShape.h"

// A disc of its colour centred on `start`, showing its number in white or black: the markers of a
// frame count 1, 2, 3… in its drawing order, so deleting or reordering one renumbers the others.
// Its radius is `radiusScale` × the width setting of the picture's width. Made by a click (a drag
// carries it along); it has no handles.
class MarkerShape : public AnnotationShape
{
public:
    static constexpr double radiusScale = 3.0;
    // The smallest radius in pixels, so that its number stays a mark on a small preview.
    static constexpr double smallestRadius = 5.0;

    QString kind() const override { return QStringLiteral("marker"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("number.circle"); }
    bool madeByClick() const override { return true; }

    // The disc follows the pointer.
    void extend(Annotation &draft, const QPointF &to) const override;
    QList<QPointF> handles(const Annotation &annotation) const override;
    void moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const override;
    // Hit anywhere on its disc (measured in widths of the picture).
    double distance(const Annotation &annotation, const QPointF &p) const override;
    // Its disc.
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
    // The first marker's look, numbered 1.
    void paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
               const QColor &color) const override;
    void paintRanked(QPainter &painter, const Annotation &annotation, const QSizeF &size, const QColor &color,
                     int rank) const override;
    // Colour, width and "start" (its centre).
    void write(const Annotation &annotation, AnnotationMembers &members) const override;
    void read(JsonObjectReader &reader, Annotation &annotation) const override;

private:
    static double radius(const Annotation &annotation, const QSizeF &size);
};
