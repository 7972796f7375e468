#include "ImageFilterService.h"

#include "platform/ImageOperations.h"

QImage ImageFilterService::apply(FilterStyle style, const QImage &image) const
{
    if (style == FilterStyle::None || image.isNull())
        return image;
    const QImage stylized = stylizedColor(image, style);
    if (stylized.isNull() || stylized.size() != image.size())
        return image;
    // Whatever the style put around the subject goes; partly covered edge pixels stay partly covered.
    const QImage result = ImageOperations::scaledByCoverage(stylized, ImageOperations::coverage(image));
    return result.isNull() ? image : result;
}

QImage ImageFilterService::stylizedColor(const QImage &image, FilterStyle style) const
{
    switch (style) {
    case FilterStyle::None:
        return image;
    case FilterStyle::Sketch: {
        ImageOperations::LineOverlayParameters lines;
        lines.noiseLevel = 0.07f;
        lines.sharpness = 0.71f;
        lines.edgeIntensity = 1.0f;
        lines.threshold = 0.1f;
        lines.contrast = 50.0f;
        return ImageOperations::lineOverlay(image, lines);
    }
    case FilterStyle::Comic:
        return ImageOperations::comic(image);
    case FilterStyle::Poster:
        return ImageOperations::posterize(image, 6);
    }
    return {};
}
