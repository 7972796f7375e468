#pragma once

#include "CanvasTool.h"
#include "DragGesture.h"

class AnnotationShape;

// Puts words on the picture: a click opens an editor in place where it was, in the colour and size
// the canvas gives to new annotations, or on the text under the pointer to edit it. The text is kept
// when the editing ends with words in it (AnnotationCanvas::editText).
class TextTool : public CanvasTool
{
    Q_OBJECT

public:
    // The tool of a kind made of typed words.
    explicit TextTool(const AnnotationShape &shape, QObject *parent = nullptr);

    QString toolId() const override;
    QString displayName() const override;
    QIcon icon() const override;
    QCursor cursor() const override { return Qt::IBeamCursor; }

    void deactivated(AnnotationCanvas *canvas) override;
    void pressed(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void moved(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;
    void released(AnnotationCanvas *canvas, const CanvasPointer &pointer) override;

private:
    const AnnotationShape &m_shape;
    DragGesture m_gesture;
};
