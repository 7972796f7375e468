#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>

// Images for tests, drawn in code: plain shapes on a pale gradient, which the segmentation model lifts
// as separate subjects, and flat images, which have no subject.
namespace TestImages {

struct Shape
{
    enum Kind { Ellipse, Rectangle };
    Kind kind;
    QRect rect;
    QColor color;
};

// A pale, smooth gradient with no subject of its own (opaque, Format_RGBA8888_Premultiplied, sRGB).
QImage gradient(QSize size);
// The gradient with each shape filled on top, in order, without antialiasing.
QImage shapesOnGradient(QSize size, const QList<Shape> &shapes);
// Two well separated shapes in a 960×540 frame: a large red ellipse on the left (first) and a smaller
// blue square on the right (second).
QList<Shape> twoShapes();
// One colour everywhere.
QImage flat(QSize size, const QColor &color);

} // namespace TestImages
