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

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace {

// Pictures from this many pixels on are painted in two bands at once, a thread each.
constexpr qint64 bandedArea = qint64(1024) * 768;

// A band of rows of the surface, `top` the first.
struct Band
{
    int top = 0;
    int height = 0;
};

// Qt hands the blending of a long list of spans to the threads of the global pool, unless it paints
// on one of them. An outline gives a span per row, a few pixels long each, and handing them over
// costs more than blending them: 20 wide strokes across a 1080p picture took 2.5 times as long on
// the main thread as on a pool thread. So each work is done on a pool thread: all of them here
// when the caller is one (an export), else each on a free one while the caller waits, and here
// those that find none free.
void onPoolThreads(const std::vector<std::function<void()>> &works)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    if (pool->contains(QThread::currentThread())) {
        for (const std::function<void()> &work : works)
            work();
        return;
    }
    QSemaphore done;
    int started = 0;
    for (const std::function<void()> &work : works) {
        if (pool->tryStart([&work, &done] {
                work();
                done.release();
            }))
            ++started;
        else
            work();
    }
    done.acquire(started);
}

// The bands a surface of `height` rows is painted in: two halves when `apart`, cut where no
// annotation that reads the picture under it would have a block across the cut, else one.
std::vector<Band> bandsOf(int height, const QList<Annotation> &annotations, const QRect &part,
                          const QSizeF &whole, bool apart)
{
    if (!apart)
        return {{0, height}};
    std::optional<int> cut; // in the rows of the whole picture
    for (const Annotation &annotation : annotations) {
        if (!annotation.shape().readsPicture())
            continue;
        const int edge = annotation.shape().bandEdgeNear(part.top() + height / 2, whole);
        if (cut && *cut != edge)
            return {{0, height}};
        cut = edge;
    }
    const int rows = cut ? *cut - part.top() : height / 2;
    if (rows <= 0 || rows >= height)
        return {{0, height}};
    return {{0, rows}, {rows, height - rows}};
}

// Paints the annotations on `band`, the rows from `top` of the surface that is the part `part` of
// a picture of `whole` pixels; false when the painting could not be done.
bool paintBand(QImage &band, int top, const QList<Annotation> &annotations, const QList<int> &ranks,
               const QRect &part, const QSizeF &whole, const QColorTransform *toImage)
{
    QPainter painter(&band);
    if (!painter.isActive())
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-part.left(), -(part.top() + top));
    for (qsizetype i = 0; i < annotations.size(); ++i) {
        const Annotation &annotation = annotations.at(i);
        const QColor color = AnnotationGeometry::strokeColor(annotation);
        annotation.shape().paintRanked(painter, annotation, whole, toImage ? toImage->map(color) : color,
                                       ranks.at(i));
    }
    return painter.end();
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
    const QList<int> ranks = AnnotationShapes::ranks(annotations);

    // Two bands at once only from the main thread: exports already paint several frames at once.
    const bool apart = !QThreadPool::globalInstance()->contains(QThread::currentThread()) &&
                       qint64(canvas.width()) * canvas.height() >= bandedArea;
    const std::vector<Band> bands = bandsOf(canvas.height(), annotations, part, whole, apart);
    // The bands paint on the canvas's own rows, so it owns them before they start.
    uchar *bits = canvas.bits();
    const qsizetype rowBytes = canvas.bytesPerLine();
    std::vector<char> painted(bands.size(), 0);
    std::vector<std::function<void()>> works;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        works.emplace_back([&, b] {
            const Band &band = bands.at(b);
            QImage rows(bits + band.top * rowBytes, canvas.width(), band.height, rowBytes, canvas.format());
            painted[b] =
                paintBand(rows, band.top, annotations, ranks, part, whole, convert ? &toImage : nullptr);
        });
    }
    onPoolThreads(works);
    if (std::find(painted.cbegin(), painted.cend(), 0) != painted.cend())
        return on;
    canvas.convertTo(QImage::Format_RGBA8888_Premultiplied);
    return canvas;
}
