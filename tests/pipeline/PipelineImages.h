#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

#include <array>

// Small cut-outs and pixel readers shared by the image pipeline tests.
namespace PipelineImages {

// A transparent image with `subject` filled with `color` (straight alpha, stored premultiplied).
inline QImage cutOut(QSize size, const QRect &subject, const QColor &color)
{
    QImage image(size, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::transparent);
    for (int y = subject.top(); y <= subject.bottom(); ++y) {
        for (int x = subject.left(); x <= subject.right(); ++x)
            image.setPixelColor(x, y, color);
    }
    return image;
}

// The stored bytes of a pixel: premultiplied red, green, blue, alpha.
inline std::array<int, 4> raw(const QImage &image, int x, int y)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const uchar *p = rgba.constScanLine(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

inline int alphaAt(const QImage &image, int x, int y)
{
    return raw(image, x, y)[3];
}

} // namespace PipelineImages
