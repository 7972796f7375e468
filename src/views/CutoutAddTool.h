#pragma once

#include "CanvasTool.h"
#include "CutoutTarget.h"
#include "DragGesture.h"

#include <optional>

// "Ajouter un sujet": a click lifts the frame again around the point and adds the subject found
// under it; a drag draws a rough box around an object, which a graph cut then cuts out and adds.
// Both are worked out in the background; nothing found is said by the corrections' owner.
class CutoutAddTool : public CanvasTool
{
    Q_OBJECT

public:
    explicit CutoutAddTool(CutoutTarget target, QObject *parent = nullptr);

    QString toolId() const override { return QStringLiteral("cutout.add"); }
    QString displayName() const override;
    QIcon icon() const override;
    QCursor cursor() const override { return Qt::CrossCursor; }

    void deactivated(AnnotationCanvas *canvas) override;
    void pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void moved(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void released(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const override;

private:
    CutoutTarget m_target;
    DragGesture m_gesture{4.0};
    QPointF m_start; // normalised frame coordinates
    std::optional<QPointF> m_end;
};
