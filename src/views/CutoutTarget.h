#pragma once

#include <QPointF>
#include <QSize>
#include <QUuid>

#include <functional>

class AnnotationCanvas;
class CaptureDocument;
class CorrectedCutouts;
class FrameImageStore;

// What the cut-out correction tools work on: the frame a canvas shows, the document that records
// their corrections and what works out the gestures that look at the picture. The canvas shows the
// rendered cut-out, which an outline grows by the same margin on every side; the tools' points are
// in the frame's own normalised coordinates.
struct CutoutTarget
{
    CaptureDocument *document = nullptr;
    FrameImageStore *images = nullptr;
    CorrectedCutouts *corrections = nullptr;
    // The frame shown; null without one.
    std::function<QUuid()> frameId;

    // The frame's size in pixels; empty when its cut-out is not at hand.
    QSize frameSize() const;
    // A point of the canvas's picture (normalised) in the frame's normalised coordinates.
    QPointF toFrame(const AnnotationCanvas *canvas, const QPointF &picture) const;
    // A point of the frame (normalised) in the canvas's own coordinates.
    QPointF toWidget(const AnnotationCanvas *canvas, const QPointF &frame) const;
    // A length in frame pixels in canvas coordinates.
    double widgetLength(const AnnotationCanvas *canvas, double framePixels) const;
};
