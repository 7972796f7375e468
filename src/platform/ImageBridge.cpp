#include "ImageBridge.h"

#include <QColorSpace>

#include <cstring>

namespace {

int matrixType(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGBA8888_Premultiplied:
        return CV_8UC4;
    case QImage::Format_Alpha8:
        return CV_8UC1;
    default:
        Q_ASSERT_X(false, "ImageBridge", "unsupported image format");
        return CV_8UC4;
    }
}

} // namespace

QImage ImageBridge::toPremultipliedRgba(const QImage &image)
{
    if (image.format() == QImage::Format_RGBA8888_Premultiplied)
        return image;
    return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

cv::Mat ImageBridge::view(const QImage &image)
{
    // constBits() keeps the shared data untouched; OpenCV only wants a non-const pointer type.
    return cv::Mat(image.height(), image.width(), matrixType(image.format()),
                   const_cast<uchar *>(image.constBits()), size_t(image.bytesPerLine()));
}

cv::Mat ImageBridge::mutableView(QImage &image)
{
    uchar *pixels = image.bits(); // detaches
    return cv::Mat(image.height(), image.width(), matrixType(image.format()), pixels,
                   size_t(image.bytesPerLine()));
}

QImage ImageBridge::toImage(const cv::Mat &rgba, const QColorSpace &colorSpace)
{
    Q_ASSERT(rgba.type() == CV_8UC4);
    QImage image(rgba.cols, rgba.rows, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return image;
    const size_t rowBytes = size_t(rgba.cols) * 4;
    for (int y = 0; y < rgba.rows; ++y)
        std::memcpy(image.scanLine(y), rgba.ptr(y), rowBytes);
    image.setColorSpace(colorSpace);
    return image;
}

cv::Mat ImageBridge::toRgb(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        return {};
    const cv::Mat shared(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
                         size_t(rgb.bytesPerLine()));
    return shared.clone();
}
