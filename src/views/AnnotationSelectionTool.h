#pragma once

#include "CanvasTool.h"
#include "DragGesture.h"
#include "models/Annotation.h"

#include <optional>

// Selects an annotation and drags it. A drag picks the annotation nearest to where it began (or
// clears the selection when none is near) and moves it by the pointer's offset from there; a click
// without movement changes nothing.
class AnnotationSelectionTool : public CanvasTool
{
    Q_OBJECT

public:
    explicit AnnotationSelectionTool(QObject *parent = nullptr);

    QString toolId() const override { return QStringLiteral("annotation.select"); }
    QString displayName() const override;
    QIcon icon() const override;

    void deactivated(AnnotationCanvas *canvas) override;
    void pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void moved(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void released(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;

private:
    DragGesture m_gesture;
    QPointF m_start;                      // where the drag began, on the picture
    bool m_hitTested = false;             // the drag has picked its annotation (or none)
    std::optional<Annotation> m_snapshot; // the dragged annotation as it was when the drag began
    bool m_moved = false;                 // the drag has moved its annotation already
};
