#pragma once

#include <QImage>

// How sharp a picture looks: the variance of the Laplacian of its brightness. Blur, from motion or
// from focus, takes the fine detail away and lowers it; among frames of one shot, the highest is the
// sharpest. Only comparable between pictures of the same size and content.
namespace FocusMeasure {

double of(const QImage &picture);

} // namespace FocusMeasure
