#pragma once

#include <QImage>

#include <opencv2/core/mat.hpp>

// Moves pixels between Qt images and OpenCV matrices. Inside the platform layer images are
// 8-bit RGBA with premultiplied alpha, as QImage::Format_RGBA8888_Premultiplied stores them, and
// coverage maps are 8-bit single-channel images (QImage::Format_Alpha8).
namespace ImageBridge {

// The image in Format_RGBA8888_Premultiplied (shared, not copied, when it already is).
QImage toPremultipliedRgba(const QImage &image);

// A view of the image's pixels, without copying: CV_8UC4 for Format_RGBA8888_Premultiplied,
// CV_8UC1 for Format_Alpha8. The image must outlive the view; the view must not be written to.
cv::Mat view(const QImage &image);

// A new CV_8UC3 matrix holding the image's colours in RGB order, not premultiplied (a copy).
cv::Mat toRgb(const QImage &image);

// A writable view of the image's pixels (same formats as view()). The image is detached first,
// so writing through the view never touches another image sharing its data.
cv::Mat mutableView(QImage &image);

// A new image holding a copy of a CV_8UC4 premultiplied RGBA matrix, tagged with `colorSpace`.
QImage toImage(const cv::Mat &rgba, const QColorSpace &colorSpace);

} // namespace ImageBridge
