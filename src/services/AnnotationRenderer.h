#pragma once

#include "models/Annotation.h"

#include <QImage>
#include <QList>

// Burns a frame's annotations into an image.
namespace AnnotationRenderer {

// The image with the annotations painted on it, each as its kind paints it, in list order (later ones over
// earlier ones), antialiased, clipped to the image. Same size and colour space as `on`; `on` itself when the
// list is empty or nothing can be drawn.
QImage draw(const QImage &on, const QList<Annotation> &annotations);

} // namespace AnnotationRenderer
