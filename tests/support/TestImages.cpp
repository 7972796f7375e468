#include "TestImages.h"

#include <QColorSpace>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

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

void TestImages::addGrain(QImage &image, int amplitude)
{
    image = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    quint32 seed = 7;
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < 4 * image.width(); ++x) {
            if (x % 4 == 3)
                continue;
            seed = seed * 1664525u + 1013904223u;
            const int grain = int((seed >> 24) % quint32(2 * amplitude + 1)) - amplitude;
            row[x] = uchar(std::clamp(row[x] + grain, 0, 255));
        }
    }
}

TestImages::CorrectionScene TestImages::correctionScene()
{
    CorrectionScene scene;
    scene.ellipse = QRect(100, 110, 280, 320);
    scene.square = QRect(620, 120, 160, 160);
    scene.smallSquare = QRect(880, 470, 20, 20);
    QPainterPath figure;
    figure.addEllipse(QRectF(465, 200, 44, 48));              // head
    figure.addRoundedRect(QRectF(448, 244, 78, 130), 14, 14); // body
    figure.addRoundedRect(QRectF(452, 368, 30, 150), 9, 9);   // legs
    figure.addRoundedRect(QRectF(492, 368, 30, 150), 9, 9);
    figure.addRoundedRect(QRectF(430, 250, 18, 110), 8, 8); // arms
    figure.addRoundedRect(QRectF(526, 250, 18, 110), 8, 8);
    scene.figure = figure.simplified();
    scene.roughBoxAroundFigure = QRect(QPoint(405, 180), QPoint(570, 530));

    scene.frame = gradient(QSize(960, 540));
    QPainter painter(&scene.frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(scene.ellipse);
    painter.setBrush(QColor(30, 50, 180));
    painter.drawRect(scene.square);
    painter.setBrush(QColor(20, 140, 60));
    painter.drawRect(scene.smallSquare);
    painter.fillPath(scene.figure, QColor(215, 200, 200));
    painter.end();
    addGrain(scene.frame, 20);
    return scene;
}

std::array<double, 3> TestImages::meanDifference(const QImage &a, const QImage &b)
{
    std::array<double, 3> sum{};
    const QImage first = a.convertToFormat(QImage::Format_RGB32);
    const QImage second = b.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < first.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(first.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(second.constScanLine(y));
        for (int x = 0; x < first.width(); ++x) {
            sum[0] += std::abs(qRed(p[x]) - qRed(q[x]));
            sum[1] += std::abs(qGreen(p[x]) - qGreen(q[x]));
            sum[2] += std::abs(qBlue(p[x]) - qBlue(q[x]));
        }
    }
    const double count = double(first.width()) * first.height();
    return {sum[0] / count, sum[1] / count, sum[2] / count};
}
