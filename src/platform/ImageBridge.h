#pragma once

#include <QImage>

#include <opencv2/core/mat.hpp>

// Moves pixels between Qt images and OpenCV matrices. Inside the platform layer images are
// 8-bit RGBA with premultiplied alpha, as QImage::Format_RGBA8888_Premultiplied stores them.
namespace ImageBridge {

// The image in Format_RGBA8888_Premultiplied (shared, not copied, when it already is).
QImage toPremultipliedRgba(const QImage &image);

// A CV_8UC4 view of the image's pixels, without copying. The image must be in
// Format_RGBA8888_Premultiplied and must outlive the view; the view must not be written to.
cv::Mat view(const QImage &image);

// A new CV_8UC3 matrix holding the image's colours in RGB order, not premultiplied (a copy).
cv::Mat toRgb(const QImage &image);

// A new image holding a copy of a CV_8UC4 premultiplied RGBA matrix, tagged with `colorSpace`.
QImage toImage(const cv::Mat &rgba, const QColorSpace &colorSpace);

} // namespace ImageBridge
