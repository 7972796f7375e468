#pragma once

#include <array>

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>
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
// The grain of a camera added to `image`: every colour byte moved by up to `amplitude`, the same
// way every time.
void addGrain(QImage &image, int amplitude);

// The mean difference per channel (red, green, blue) between two pictures of the same size.
std::array<double, 3> meanDifference(const QImage &a, const QImage &b);

// A 960×540 frame whose lifting wants correcting, with grain: a large red ellipse and a blue
// square, which the model lifts; a small green square, which it leaves out at the frame's scale and
// finds when lifting around it; a pale pink figure of low contrast, which it does not lift at all.
struct CorrectionScene
{
    QImage frame;
    QRect ellipse;
    QRect square;
    QRect smallSquare;
    QPainterPath figure;
    QRect roughBoxAroundFigure;
};
CorrectionScene correctionScene();

} // namespace TestImages
