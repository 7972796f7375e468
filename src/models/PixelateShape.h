#pragma once

#include "models/AnnotationShape.h"

// The box of opposite corners `start` and `end` whose content is replaced by blocks of one colour
// each, the mean of the picture under the block, so that what lies there (words, a face) cannot be
// read. The blocks are squares of 1/`blocksAcross` of the picture's width on a grid that starts at
// its top-left corner, so that a picture drawn at any size is cut into the same blocks. It reads
// what is painted under it, the cut-out in its style and the annotations drawn before it, and so
// paints only on an image.
class PixelateShape : public AnnotationShape
{
public:
    static constexpr double blocksAcross = 40.0;
    // At most this many samples a side are averaged in each block.
    static constexpr int samplesAcross = 12;

    QString kind() const override { return QStringLiteral("pixelate"); }
    QString displayName() const override;
    QString systemImage() const override { return QStringLiteral("checkerboard.rectangle"); }
    bool readsPicture() const override { return true; }
    // The edge of a row of blocks nearest `row`.
    int bandEdgeNear(int row, const QSizeF &size) const override;

    QList<QPointF> handles(const Annotation &annotation) const override;
    void moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const override;
    // Hit anywhere in its box.
    double distance(const Annotation &annotation, const QPointF &p) const override;
    QPainterPath path(const Annotation &annotation, const QSizeF &size) const override;
    // On an image, under a painter that at most shifts what it paints; else nothing.
    void paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
               const QColor &color) const override;
};
