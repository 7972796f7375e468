#include "ExtractRenderer.h"

#include "platform/ForegroundEstimation.h"
#include "services/EdgeProcessingService.h"
#include "services/ImageFilterService.h"

#include <QColor>

#include <algorithm>

QImage ExtractRenderer::render(const QImage &image, FilterStyle style, const EdgeOptions &params) const
{
    QImage result = image;
    if (params.cleanColors)
        result = ForegroundEstimation::cleanedEdgeColours(result);
    if (edge && params.needsClean())
        result = edge->cleanEdges(result, params.shrink, params.feather);
    if (filter)
        result = filter->apply(style, result);
    // No test on the width: an outline of width 0 still grows the canvas.
    if (edge && params.outline) {
        const auto unit = [](double component) { return std::clamp(component, 0.0, 1.0); };
        const RgbaColor &rgba = params.outlineColor;
        const QColor color = QColor::fromRgbF(float(unit(rgba.r)), float(unit(rgba.g)), float(unit(rgba.b)),
                                              float(unit(rgba.a)));
        result = edge->addOutline(result, params.outlineWidth, color);
    }
    return result;
}
