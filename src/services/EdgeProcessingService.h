#pragma once

#include <QColor>
#include <QImage>

// Refines the edge of a cut-out (a premultiplied RGBA image whose background is transparent):
// pulls the covered area in, softens its border, draws a coloured outline around it.
// Keeps no state: one instance may serve several threads at once.
class EdgeProcessingService
{
public:
    // Shrinks the coverage by `shrink` pixels (when above 0), then feathers the border with a
    // Gaussian of standard deviation `feather` (when above 0). Colours stay, only the coverage
    // changes; the size stays. Returns the input when there is nothing to do or it cannot be done.
    QImage cleanEdges(const QImage &image, double shrink, double feather) const;

    // The image on a canvas grown by `width` + 2 pixels (rounded up) on every side, over a
    // silhouette of itself dilated by `width` and filled with `color` (sRGB, its alpha kept).
    // Returns the input when it cannot be done.
    QImage addOutline(const QImage &image, double width, const QColor &color) const;

    // The colours of `color` with the coverage taken from the alpha of `mask`, a same-sized image:
    // each pixel is the colour pixel scaled by the mask's alpha there. Returns `color` when the
    // sizes differ or the result cannot be made.
    QImage maskColor(const QImage &color, const QImage &mask) const;
};
