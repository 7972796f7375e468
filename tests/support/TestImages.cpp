#include "TestImages.h"

#include <QColorSpace>
#include <QLinearGradient>
#include <QPainter>

namespace {

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_RGBA8888_Premultiplied);
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}

} // namespace

QImage TestImages::gradient(QSize size)
{
    QImage image = blank(size);
    QPainter painter(&image);
    QLinearGradient fill(0, 0, size.width(), size.height());
    fill.setColorAt(0, QColor(184, 196, 212));
    fill.setColorAt(1, QColor(228, 232, 214));
    painter.fillRect(image.rect(), fill);
    return image;
}

QImage TestImages::shapesOnGradient(QSize size, const QList<Shape> &shapes)
{
    QImage image = gradient(size);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    for (const Shape &shape : shapes) {
        painter.setBrush(shape.color);
        if (shape.kind == Shape::Ellipse)
            painter.drawEllipse(shape.rect);
        else
            painter.drawRect(shape.rect);
    }
    return image;
}

QList<TestImages::Shape> TestImages::twoShapes()
{
    return {
        {Shape::Ellipse, QRect(100, 110, 280, 320), QColor(200, 30, 30)},
        {Shape::Rectangle, QRect(620, 180, 190, 190), QColor(30, 50, 180)},
    };
}

QImage TestImages::flat(QSize size, const QColor &color)
{
    QImage image = blank(size);
    image.fill(color);
    return image;
}
