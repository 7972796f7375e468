#include "EdgeProcessingService.h"

#include "platform/ImageOperations.h"

#include <QColorSpace>

#include <cmath>

namespace {

// 256 mebipixels: a 1 GiB colour canvas, sixteen times a 4K frame.
constexpr double MaxOutlinedPixels = 256.0 * 1024 * 1024;

} // namespace

QImage EdgeProcessingService::cleanEdges(const QImage &image, double shrink, double feather) const
{
    if (image.isNull())
        return image;
    QImage current = image;
    if (shrink > 0)
        current = maskColor(image, ImageOperations::erode(ImageOperations::coverage(image), shrink));
    // Feathering softens what the shrinking left.
    if (feather > 0)
        current = maskColor(current, ImageOperations::blur(ImageOperations::coverage(current), feather));
    return current.isNull() ? image : current;
}

QImage EdgeProcessingService::addOutline(const QImage &image, double width, const QColor &color) const
{
    if (image.isNull())
        return image;
    // A negative width draws no ring; a fractional one grows the canvas to the next whole pixel.
    const double reach = width > 0 ? width : 0.0;
    // A ring whose canvas would pass MaxOutlinedPixels is not drawn: the width is none the controls
    // or a project file can give, and such a canvas would take gigabytes and minutes to fill.
    const double side = 2.0 * (reach + 2.0);
    if (!std::isfinite(reach) || (image.width() + side) * (image.height() + side) > MaxOutlinedPixels)
        return image;
    const int margin = int(std::ceil(reach + 2.0 - 1e-9));
    QImage ring = ImageOperations::silhouette(
        ImageOperations::dilate(ImageOperations::coverage(image), reach, margin), color, image.colorSpace());
    if (ring.isNull())
        return image;
    const QImage result = ImageOperations::drawnOver(image, std::move(ring), QPoint(margin, margin));
    return result.isNull() ? image : result;
}

QImage EdgeProcessingService::maskColor(const QImage &color, const QImage &mask) const
{
    const QImage coverage = mask.format() == QImage::Format_Alpha8 ? mask : ImageOperations::coverage(mask);
    const QImage result = ImageOperations::scaledByCoverage(color, coverage);
    return result.isNull() ? color : result;
}
