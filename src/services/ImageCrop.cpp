#include "ImageCrop.h"

#include <QColorSpace>
#include <QRect>

#include <algorithm>
#include <memory>

namespace {

// The rectangle of `image` as an image of its own that reads the input's pixels (kept alive by a
// reference held until the part goes away); writing to it detaches a copy. A copy when the format
// does not start pixels on byte boundaries.
QImage sharedPart(const QImage &image, const QRect &rect)
{
    if (image.depth() % 8 != 0 || image.format() == QImage::Format_Indexed8)
        return image.copy(rect);
    auto owner = std::make_unique<QImage>(image);
    const uchar *first = owner->constScanLine(rect.y()) + qsizetype(rect.x()) * (owner->depth() / 8);
    QImage part(
        first, rect.width(), rect.height(), owner->bytesPerLine(), owner->format(),
        [](void *info) { delete static_cast<QImage *>(info); }, owner.get());
    if (part.isNull())
        return image.copy(rect);
    static_cast<void>(owner.release()); // now held by the part
    part.setColorSpace(image.colorSpace());
    part.setDotsPerMeterX(image.dotsPerMeterX());
    part.setDotsPerMeterY(image.dotsPerMeterY());
    return part;
}

} // namespace

QImage ImageCrop::trimmedToContent(const QImage &image, quint8 threshold)
{
    if (image.width() < 1 || image.height() < 1 || !image.hasAlphaChannel())
        return image;
    const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
    if (alpha.isNull())
        return image;

    const int w = alpha.width();
    const int h = alpha.height();
    int minX = w, maxX = -1, minY = h, maxY = -1;
    for (int y = 0; y < h; ++y) {
        const uchar *row = alpha.constScanLine(y);
        int first = -1, last = -1;
        for (int x = 0; x < w; ++x) {
            if (row[x] > threshold) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        if (first < 0)
            continue;
        minX = std::min(minX, first);
        maxX = std::max(maxX, last);
        minY = std::min(minY, y);
        maxY = y;
    }
    if (maxX < minX || maxY < minY)
        return image;
    const QRect content(QPoint(minX, minY), QPoint(maxX, maxY));
    if (content == image.rect())
        return image;
    const QImage part = sharedPart(image, content);
    return part.isNull() ? image : part;
}
