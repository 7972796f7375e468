#pragma once

#include <QImage>

// Trimming of cut-outs to what they show.
namespace ImageCrop {

// The smallest part of `image` holding every pixel whose alpha is strictly above `threshold`. The part
// shares the input's pixels where its format allows. The input itself when nothing is above the
// threshold, or when there is nothing to trim.
QImage trimmedToContent(const QImage &image, quint8 threshold);

} // namespace ImageCrop
