#include "PixelateShape.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationMembers.h"
#include "models/JsonObjectReader.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// The side of the blocks on a surface of `size` pixels, and where the `index`-th row or column of
// blocks starts.
double blockSize(const QSizeF &size)
{
    return std::max(1.0, size.width() / PixelateShape::blocksAcross);
}

int blockEdge(int index, double block)
{
    return int(std::lround(index * block));
}

// The mean of the samples of `area` (premultiplied pixels) taken every `step` pixels, as a colour.
QColor meanOf(const QImage &picture, const QRect &area, int step)
{
    quint64 sums[4] = {0, 0, 0, 0};
    quint64 count = 0;
    for (int y = area.top() + (area.height() % step) / 2; y <= area.bottom(); y += step) {
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        for (int x = area.left() + (area.width() % step) / 2; x <= area.right(); x += step) {
            const QRgb pixel = line[x];
            sums[0] += quint64(qRed(pixel));
            sums[1] += quint64(qGreen(pixel));
            sums[2] += quint64(qBlue(pixel));
            sums[3] += quint64(qAlpha(pixel));
            ++count;
        }
    }
    if (count == 0)
        return Qt::transparent;
    const auto mean = [count](quint64 sum) { return int((sum + count / 2) / count); };
    return QColor::fromRgba(
        qUnpremultiply(qRgba(mean(sums[0]), mean(sums[1]), mean(sums[2]), mean(sums[3]))));
}

} // namespace

QString PixelateShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Pixeliser");
}

QList<QPointF> PixelateShape::handles(const Annotation &annotation) const
{
    return AnnotationGeometry::boxCorners(annotation);
}

void PixelateShape::moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const
{
    AnnotationGeometry::moveBoxCorner(annotation, index, to);
}

double PixelateShape::distance(const Annotation &annotation, const QPointF &p) const
{
    const QRectF box = QRectF(annotation.start, annotation.end).normalized();
    const double dx = std::max({box.left() - p.x(), 0.0, p.x() - box.right()});
    const double dy = std::max({box.top() - p.y(), 0.0, p.y() - box.bottom()});
    return std::hypot(dx, dy);
}

QPainterPath PixelateShape::path(const Annotation &annotation, const QSizeF &size) const
{
    QPainterPath path;
    path.addRect(QRectF(AnnotationGeometry::place(annotation.start, size),
                        AnnotationGeometry::place(annotation.end, size))
                     .normalized());
    return path;
}

void PixelateShape::paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                          const QColor &) const
{
    QPaintDevice *device = painter.device();
    if (!device || device->devType() != QInternal::Image || size.width() <= 0)
        return;
    const QTransform shift = painter.worldTransform();
    if (shift.type() > QTransform::TxTranslate)
        return;
    // Read where it is painted; in another format, from a copy taken before the blocks (which are
    // apart from each other, so each is read before it is filled).
    const QImage &onDevice = *static_cast<const QImage *>(device);
    QImage converted;
    if (onDevice.format() != QImage::Format_ARGB32_Premultiplied)
        converted = onDevice.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage &picture = converted.isNull() ? onDevice : converted;
    const QPoint origin(int(std::lround(shift.dx())), int(std::lround(shift.dy())));

    // The box on the surface, on whole pixels.
    const QRectF placed = path(annotation, size).boundingRect();
    if (!std::isfinite(placed.left()) || !std::isfinite(placed.right()) || !std::isfinite(placed.top()) ||
        !std::isfinite(placed.bottom()))
        return;
    // Cut to the surface before rounding, so that a box moved far away stays in range.
    const QRectF onSurface = placed.intersected(QRectF(QPointF(0, 0), size));
    if (onSurface.isEmpty())
        return;
    const QRect box =
        QRect(QPoint(int(std::lround(onSurface.left())), int(std::lround(onSurface.top()))),
              QPoint(int(std::lround(onSurface.right())) - 1, int(std::lround(onSurface.bottom())) - 1))
            .intersected(picture.rect().translated(-origin));
    if (box.isEmpty())
        return;

    const double block = blockSize(size);
    const int step = std::max(1, int(block) / samplesAcross);
    const auto edge = [block](int index) { return blockEdge(index, block); };
    const int firstColumn = int(std::floor(box.left() / block));
    const int firstRow = int(std::floor(box.top() / block));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int row = firstRow; edge(row) <= box.bottom(); ++row) {
        for (int column = firstColumn; edge(column) <= box.right(); ++column) {
            const QRect cell =
                QRect(QPoint(edge(column), edge(row)), QPoint(edge(column + 1) - 1, edge(row + 1) - 1))
                    .intersected(box);
            if (cell.isEmpty())
                continue;
            painter.fillRect(cell, meanOf(picture, cell.translated(origin), step));
        }
    }
    painter.restore();
}

int PixelateShape::bandEdgeNear(int row, const QSizeF &size) const
{
    const double block = blockSize(size);
    return blockEdge(int(std::lround(row / block)), block);
}
