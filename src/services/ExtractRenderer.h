#pragma once

#include "models/EdgeOptions.h"
#include "models/FilterStyle.h"

#include <QImage>

class EdgeProcessingService;
class ImageFilterService;

// Turns a cut-out into the finished picture of a frame: edge colours, edge clean-up, style, outline,
// always in that order, so the style sees the cleaned edge and the outline is never stylised. A small value
// made from the window's services wherever needed; runs on the calling thread.
class ExtractRenderer
{
public:
    const ImageFilterService *filter = nullptr;
    const EdgeProcessingService *edge = nullptr;

    QImage render(const QImage &image, FilterStyle style, const EdgeOptions &params) const;
};
