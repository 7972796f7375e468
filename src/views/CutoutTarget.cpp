#include "CutoutTarget.h"

#include "AnnotationCanvas.h"
#include "state/FrameImageStore.h"

namespace {

// The picture's margin around the frame on each side, in picture pixels.
QSizeF marginOf(const AnnotationCanvas *canvas, QSize frame)
{
    const QSize picture = canvas->pictureSize().isEmpty() ? frame : canvas->pictureSize();
    return QSizeF((picture.width() - frame.width()) / 2.0, (picture.height() - frame.height()) / 2.0);
}

} // namespace

QSize CutoutTarget::frameSize() const
{
    const QUuid frame = frameId ? frameId() : QUuid();
    if (frame.isNull() || !images)
        return {};
    const FrameImages shown = images->images(frame);
    return shown.hasSubject() ? shown.subject.size() : shown.still.size();
}

QPointF CutoutTarget::toFrame(const AnnotationCanvas *canvas, const QPointF &picture) const
{
    const QSize frame = frameSize();
    const QSize shown = canvas->pictureSize();
    if (frame.isEmpty() || shown.isEmpty())
        return picture;
    const QSizeF margin = marginOf(canvas, frame);
    return QPointF((picture.x() * shown.width() - margin.width()) / frame.width(),
                   (picture.y() * shown.height() - margin.height()) / frame.height());
}

QPointF CutoutTarget::toWidget(const AnnotationCanvas *canvas, const QPointF &frame) const
{
    const QSize size = frameSize();
    const QSize shown = canvas->pictureSize();
    if (size.isEmpty() || shown.isEmpty())
        return canvas->toWidget(frame);
    const QSizeF margin = marginOf(canvas, size);
    return canvas->toWidget(QPointF((frame.x() * size.width() + margin.width()) / shown.width(),
                                    (frame.y() * size.height() + margin.height()) / shown.height()));
}

double CutoutTarget::widgetLength(const AnnotationCanvas *canvas, double framePixels) const
{
    const QSize shown = canvas->pictureSize();
    if (shown.isEmpty())
        return framePixels;
    return framePixels * canvas->pictureRect().width() / shown.width();
}
