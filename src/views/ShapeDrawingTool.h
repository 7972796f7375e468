#pragma once

#include "CanvasTool.h"
#include "DragGesture.h"
#include "models/Annotation.h"

#include <optional>
class AnnotationShape;

// Draws one kind of annotation by a drag, as its kind makes one from the pointer's path, in the colour
// and line width the canvas gives to new annotations. A drag of at least two points makes an
// annotation, however short; a click makes nothing, but for a kind made by a click (a marker). The
// finished annotation goes on top and is selected.
class ShapeDrawingTool : public CanvasTool
{
    Q_OBJECT

public:
    // The tool of one of the registered kinds.
    explicit ShapeDrawingTool(const AnnotationShape &shape, QObject *parent = nullptr);

    const AnnotationShape &shape() const { return m_shape; }
    QString toolId() const override;
    QString displayName() const override;
    QIcon icon() const override;
    QCursor cursor() const override { return Qt::CrossCursor; }

    void deactivated(AnnotationCanvas *canvas) override;
    void pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void moved(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void released(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;

private:
    // `annotation` in the colour and width the canvas gives to new annotations.
    static Annotation styled(const AnnotationCanvas *canvas, Annotation annotation);

    const AnnotationShape &m_shape;
    DragGesture m_gesture;
    QPointF m_start;                   // where the drag began, on the picture
    std::optional<Annotation> m_drawn; // the shape drawn so far, before its style
};
