#include "AnnotationRenderer.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationShape.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QPainter>

QImage AnnotationRenderer::draw(const QImage &on, const QList<Annotation> &annotations)
{
    if (annotations.isEmpty() || on.isNull())
        return on;
    // Painted in the raster engine's own format, whose fills and blends have fast paths (in the
    // image's byte order every span goes through a conversion), then put back in the image's byte
    // order: both are the same premultiplied pixels, so nothing is lost either way.
    QImage canvas = on.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return on;
    // Annotation colours are sRGB; an image in another colour space gets them converted.
    const QColorSpace space = canvas.colorSpace();
    const bool convert = space.isValid() && space != QColorSpace(QColorSpace::SRgb);
    const QColorTransform toImage =
        convert ? QColorSpace(QColorSpace::SRgb).transformationToColorSpace(space) : QColorTransform();

    QPainter painter(&canvas);
    if (!painter.isActive())
        return on;
    painter.setRenderHint(QPainter::Antialiasing);
    const QSizeF size = canvas.size();
    for (const Annotation &annotation : annotations) {
        const QColor color = AnnotationGeometry::strokeColor(annotation);
        annotation.shape().paint(painter, annotation, size, convert ? toImage.map(color) : color);
    }
    painter.end();
    canvas.convertTo(QImage::Format_RGBA8888_Premultiplied);
    return canvas;
}
