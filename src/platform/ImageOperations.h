#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>

// Image processing for cut-outs, in the application's terms, done with OpenCV.
//
// Colour images are Format_RGBA8888_Premultiplied (other formats are converted first); a coverage
// map is a Format_Alpha8 image holding one alpha value per pixel. Results keep the colour image's
// colour space. Every operation is a pure function of its arguments, so several threads may call
// them at once. The work is confined to the covered part of an image plus what an operation can
// reach from it: elsewhere a cut-out is transparent, and stays so.
namespace ImageOperations {

// Smallest rectangle holding every pixel whose alpha is not zero; empty for a blank image.
QRect coveredRect(const QImage &image);

// The alpha of a colour image as a coverage map of the same size.
QImage coverage(const QImage &image);

// Grey-level erosion of a coverage map by a disk of `radius` pixels (a pixel keeps the least
// coverage found within that distance). What lies beyond the image counts as uncovered.
QImage erode(const QImage &coverage, double radius);

// Grey-level dilation of a coverage map by a disk of `radius` pixels, onto a canvas larger than
// the map by `margin` pixels on every side.
QImage dilate(const QImage &coverage, double radius, int margin);

// Gaussian blur of a coverage map with standard deviation `sigma`. Beyond the image its border
// pixels repeat, so the border itself is not faded.
QImage blur(const QImage &coverage, double sigma);

// Each pixel of `image` scaled by the coverage at the same place: the colours stay, the coverage
// changes. Returns `image` when the sizes differ.
QImage scaledByCoverage(const QImage &image, const QImage &coverage);

// A silhouette: `color` (sRGB, with its own alpha) wherever the map is covered, scaled by the
// coverage, in the colour space `colorSpace`.
QImage silhouette(const QImage &coverage, const QColor &color, const QColorSpace &colorSpace);

// `top` drawn source-over onto `bottom`, with top's origin at `offset` in bottom. Hand `bottom`
// over with std::move when it is not needed afterwards: it is then drawn on in place.
QImage drawnOver(const QImage &top, QImage bottom, QPoint offset);

// Dark lines along the edges of the picture on a transparent background.
struct LineOverlayParameters
{
    float noiseLevel = 0.07f;   // differences below this are noise and are smoothed away
    float sharpness = 0.71f;    // amount of sharpening after the noise reduction
    float edgeIntensity = 1.0f; // gain of the edge detector
    float threshold = 0.1f;     // edge strength below which nothing is drawn
    float contrast = 50.0f;     // steepness of the ramp from no line to a full line
};
QImage lineOverlay(const QImage &image, const LineOverlayParameters &parameters);

// A comic-book look: flattened colours with a halftone dot screen in the shadows, edges in black.
// Opaque where the image is covered, transparent elsewhere.
QImage comic(const QImage &image);

// Each colour channel quantised to `levels` flat, equally wide bands. Opaque where the image is
// covered, transparent elsewhere.
QImage posterize(const QImage &image, int levels);

} // namespace ImageOperations
