#pragma once

#include "models/FilterStyle.h"

#include <QImage>

// Gives a cut-out one of the drawing styles. The stylised picture keeps the coverage of the image
// it was made from, so a cut-out stays a cut-out. Keeps no state: one instance may serve several
// threads at once.
class ImageFilterService
{
public:
    // The image in `style`, of the same size. `None` returns the very image given; so does any
    // style that cannot be produced.
    QImage apply(FilterStyle style, const QImage &image) const;

private:
    // The style's picture before the input's coverage is applied again; null when not produced.
    QImage stylizedColor(const QImage &image, FilterStyle style) const;
};
