#include "AnnotationRenderer.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QPainter>

QImage AnnotationRenderer::draw(const QImage &on, const QList<Annotation> &annotations)
{
    return drawOnPart(on, annotations, QRect(QPoint(0, 0), on.size()), on.size());
}

QList<Annotation> AnnotationRenderer::hiding(const QList<Annotation> &annotations)
{
    QList<Annotation> hidden;
    for (const Annotation &annotation : annotations) {
        if (annotation.shape().readsPicture())
            hidden << annotation;
    }
    return hidden;
}

QImage AnnotationRenderer::drawOnPart(const QImage &on, const QList<Annotation> &annotations,
                                      const QRect &part, const QSize &whole)
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
    painter.translate(-part.topLeft());
    const QSizeF size = whole;
    const QList<int> ranks = AnnotationShapes::ranks(annotations);
    for (qsizetype i = 0; i < annotations.size(); ++i) {
        const Annotation &annotation = annotations.at(i);
        const QColor color = AnnotationGeometry::strokeColor(annotation);
        annotation.shape().paintRanked(painter, annotation, size, convert ? toImage.map(color) : color,
                                       ranks.at(i));
    }
    painter.end();
    canvas.convertTo(QImage::Format_RGBA8888_Premultiplied);
    return canvas;
}
