#pragma once

#include "models/Annotation.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>

// Burns a frame's annotations into an image.
namespace AnnotationRenderer {

// The image with the annotations painted on it, each as its kind paints it, in list order (later ones over
// earlier ones), antialiased, clipped to the image. Same size and colour space as `on`; `on` itself when the
// list is empty or nothing can be drawn.
QImage draw(const QImage &on, const QList<Annotation> &annotations);
// The same on a part of the picture the annotations belong to: `on` is the rectangle `part` of a
// picture of `whole` pixels (one subject cut out of its frame), and gets what falls on it.
QImage drawOnPart(const QImage &on, const QList<Annotation> &annotations, const QRect &part,
                  const QSize &whole);
// The annotations that hide what lies under them (pixelated boxes): those drawn on every picture of a
// frame, its subjects taken apart as well.
QList<Annotation> hiding(const QList<Annotation> &annotations);

} // namespace AnnotationRenderer
