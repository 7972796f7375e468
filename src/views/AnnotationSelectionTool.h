#pragma once

#include "CanvasTool.h"
#include "DragGesture.h"
#include "models/Annotation.h"

#include <optional>

// Selects an annotation, drags it, and reshapes the selected one by its handles. A drag picks the
// annotation nearest to where it began (or clears the selection when none is near) and moves it by
// the pointer's offset from there; a drag that begins on a handle of the selected annotation takes
// that handle along instead. A click without movement changes nothing. The handles of the selected
// annotation are shown while the tool is in hand. The arrow keys move the selected annotation by one
// pixel of the picture, ten with Shift; the repeats of a held key make one step with its press. A
// double click on a text edits its words in place.
class AnnotationSelectionTool : public CanvasTool
{
    Q_OBJECT

public:
    // The side of a handle's square, and how near (in points) a press must be to take it.
    static constexpr double handleSize = 8.0;
    static constexpr double handleReach = 6.0;
    // The pixels of the picture an arrow key moves the selected annotation by, without and with Shift.
    static constexpr double nudgeStep = 1.0;
    static constexpr double largeNudgeStep = 10.0;

    explicit AnnotationSelectionTool(QObject *parent = nullptr);

    QString toolId() const override { return QStringLiteral("annotation.select"); }
    QString displayName() const override;
    QIcon icon() const override;

    // The handle of the selected annotation under `widgetPoint` (in the canvas's coordinates), the
    // nearest one when several are in reach.
    static std::optional<qsizetype> handleAt(const AnnotationCanvas *canvas, const QPointF &widgetPoint);

    void activated(AnnotationCanvas *canvas) override;
    void deactivated(AnnotationCanvas *canvas) override;
    void pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void moved(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void released(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void hovered(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    // On a text: opens its editor in place.
    void doubleClicked(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void paintOverlay(AnnotationCanvas *canvas, QPainter &painter) const override;
    bool wantsKey(const AnnotationCanvas *canvas, const QKeyEvent *event) const override;
    bool keyPressed(AnnotationCanvas *canvas, QKeyEvent *event) override;

private:
    // The offset on the picture, normalised, an arrow key moves the selection by; none for other keys.
    static std::optional<QPointF> nudge(const AnnotationCanvas *canvas, const QKeyEvent *event);

    DragGesture m_gesture;
    QPointF m_start;                      // where the drag began, on the picture
    bool m_hitTested = false;             // the drag has picked its annotation (or none)
    std::optional<Annotation> m_snapshot; // the dragged annotation as it was when the drag began
    std::optional<qsizetype> m_handle;    // the handle the drag took, when it began on one
    bool m_moved = false;                 // the drag has changed its annotation already
};
