#include "AnnotationRenderer.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

namespace {

// Qt hands the blending of a long list of spans to the threads of the global pool, unless it paints
// on one of them. An outline gives a span per row, a few pixels long each, and handing them over
// costs more than blending them: 20 wide strokes across a 1080p picture took 2.5 times as long on
// the main thread as on a pool thread. So the painting is done on a pool thread: at once when the
// caller is one (an export), else on a free one while the caller waits, and here when none is free.
template<typename Work>
void onPoolThread(const Work &work)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    if (pool->contains(QThread::currentThread())) {
        work();
        return;
    }
    QSemaphore done;
    if (!pool->tryStart([&work, &done] {
            work();
            done.release();
        })) {
        work();
        return;
    }
    done.acquire();
}

// `on` with the annotations painted on it, or a null image when nothing could be painted.
QImage painted(const QImage &on, const QList<Annotation> &annotations, const QRect &part, const QSizeF &whole)
{
    // Painted in the raster engine's own format, whose fills and blends have fast paths (in the
    // image's byte order every span goes through a conversion), then put back in the image's byte
    // order: both are the same premultiplied pixels, so nothing is lost either way.
    QImage canvas = on.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return {};
    // Annotation colours are sRGB; an image in another colour space gets them converted.
    const QColorSpace space = canvas.colorSpace();
    const bool convert = space.isValid() && space != QColorSpace(QColorSpace::SRgb);
    const QColorTransform toImage =
        convert ? QColorSpace(QColorSpace::SRgb).transformationToColorSpace(space) : QColorTransform();

    QPainter painter(&canvas);
    if (!painter.isActive())
        return {};
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-part.topLeft());
    const QList<int> ranks = AnnotationShapes::ranks(annotations);
    for (qsizetype i = 0; i < annotations.size(); ++i) {
        const Annotation &annotation = annotations.at(i);
        const QColor color = AnnotationGeometry::strokeColor(annotation);
        annotation.shape().paintRanked(painter, annotation, whole, convert ? toImage.map(color) : color,
                                       ranks.at(i));
    }
    if (!painter.end())
        return {};
    canvas.convertTo(QImage::Format_RGBA8888_Premultiplied);
    return canvas;
}

} // namespace

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
    QImage result;
    onPoolThread([&] { result = painted(on, annotations, part, whole); });
    return result.isNull() ? on : result;
}
