#pragma once

#include <QImage>

// The colours of a cut-out's soft edge without the background's colour in them.
//
// Where a cut-out is partly transparent (hair, a blurred contour) each pixel of the frame mixes the
// subject's colour with the background's: laid on another background, the edge keeps a fringe of
// the old one. The subject's own colour is estimated again there by multilevel foreground
// estimation (Germer, Uelwer, Conrad and Harmeling, 2020): for every pixel, the foreground and
// background colours that mix into the observed one with the pixel's alpha, pulled towards those
// of the neighbours wherever alpha changes, solved from a one-pixel picture up to the full size.
// The frame's colours are read back from the cut-out itself (premultiplied: colour = pixel / alpha);
// where the cut-out is transparent nothing is known of them and only the neighbours count.
namespace ForegroundEstimation {

// `cutOut` with each pixel whose alpha lies strictly between 0 and 255 given the estimated
// foreground colour at the same alpha. Fully opaque and fully transparent pixels keep their exact
// bytes. Deterministic and safe to call from several threads at once; returns the input when it
// has no soft edge or nothing can be computed.
QImage cleanedEdgeColours(const QImage &cutOut);

} // namespace ForegroundEstimation
