#include "ExtractRenderer.h"

#include "platform/ForegroundEstimation.h"
#include "services/EdgeProcessingService.h"
#include "services/ImageFilterService.h"

#include <QColor>

#include <algorithm>

QImage ExtractRenderer::render(const QImage &image, FilterStyle style, const EdgeParams &params) const
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
        const QColor color = QColor::fromRgbF(float(unit(params.r)), float(unit(params.g)),
                                              float(unit(params.b)), float(unit(params.a)));
        result = edge->addOutline(result, params.outlineWidth, color);
    }
    return result;
}
