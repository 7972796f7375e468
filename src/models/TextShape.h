#pragma once

#include "models/AnnotationShape.h"

// Words on the picture, one line or several, in its colour, optionally on a box of its colour (the
// words then in white or black, whichever reads better on it). Its box runs from `start` (top-left)
// to `end` (bottom-right); the words are scaled to fill it, keeping their proportions, and its
// letters are `letterScale` × the width setting of the picture's width high when the box fits them
// (fitted()). Made by typing in place, not by a drag.
class TextShape : public AnnotationShape
{
public:
    // The letters' pixel size, in widths of a stroke: 0.006 of the width gives letters 2.4 % of it.
    static constexpr double letterScale = 4.0;
    // The margin around the words inside the box, in letter sizes.
    static constexpr double margin = 0.15;

    QString kind() const override { return QStringLiteral("text"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("textformat"); }
    bool holdsText() const override { return true; }

    // Its box fitted to its words at its width setting, its top-left corner kept, on a picture of
    // `aspect` = width / height.
    static void fit(Annotation &annotation, double aspect);

    // Taking a corner scales the words, keeping their proportions, while the opposite corner stays.
    QList<QPointF> handles(const Annotation &annotation) const override;
    void moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const override;
    // The box scales with the width, about its top-left corner.
    void setLineWidth(Annotation &annotation, double lineWidth) const override;
    // Hit anywhere in its box.
    double distance(const Annotation &annotation, const QPointF &p) const override;
    // Its box.
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
    void paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
               const QColor &color) const override;
    // Colour, width, box, "filled" and "text".
    void write(const Annotation &annotation, AnnotationMembers &members) const override;
    void read(JsonObjectReader &reader, Annotation &annotation) const override;
};
