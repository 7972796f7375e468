#pragma once

#include "CanvasTool.h"
#include "DragGesture.h"
#include "models/AnnotationTool.h"

// Draws one kind of annotation by dragging from one point to another, in the colour and line width the
// canvas gives to new annotations. A drag of at least two points makes an annotation, however short;
// a click makes nothing. The finished annotation goes on top and is selected.
class ShapeDrawingTool : public CanvasTool
{
    Q_OBJECT

public:
    // `tool` is one of the drawing tools (not the selection).
    explicit ShapeDrawingTool(AnnotationTool tool, QObject *parent = nullptr);

    AnnotationTool annotationTool() const { return m_tool; }
    QString toolId() const override;
    QString displayName() const override;
    QIcon icon() const override;
    QCursor cursor() const override { return Qt::CrossCursor; }

    void deactivated(AnnotationCanvas *canvas) override;
    void pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void moved(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void released(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;

private:
    AnnotationTool m_tool;
    DragGesture m_gesture;
    QPointF m_start; // where the drag began, on the picture
};
