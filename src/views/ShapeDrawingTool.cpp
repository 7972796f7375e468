#include "ShapeDrawingTool.h"

#include "AnnotationCanvas.h"
#include "SymbolIcons.h"
#include "models/AnnotationShape.h"
#include "models/EdgeOptions.h"

ShapeDrawingTool::ShapeDrawingTool(const AnnotationShape &shape, QObject *parent)
    : CanvasTool(parent), m_shape(shape)
{}

QString ShapeDrawingTool::toolId() const
{
    return QStringLiteral("annotation.") + m_shape.kind();
}

QString ShapeDrawingTool::displayName() const
{
    return m_shape.displayName();
}

QIcon ShapeDrawingTool::icon() const
{
    return SymbolIcons::icon(m_shape.systemImage());
}

void ShapeDrawingTool::deactivated(AnnotationCanvas *canvas)
{
    m_gesture.release();
    m_drawn.reset();
    canvas->setDraft(std::nullopt);
}

void ShapeDrawingTool::pressed(AnnotationCanvas *, const CanvasPointer &pointer)
{
    if (pointer.button != Qt::LeftButton)
        return;
    m_gesture.press(pointer.widget);
    m_start = pointer.picture;
    m_drawn.reset();
}

void ShapeDrawingTool::moved(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (!m_gesture.move(pointer.widget))
        return;
    if (!m_drawn)
        m_drawn = m_shape.begin(m_start);
    m_shape.extend(*m_drawn, pointer.picture);
    // The style is given anew at every step, so the annotation takes the settings in force at the
    // last one.
    canvas->setDraft(styled(canvas, *m_drawn));
}

Annotation ShapeDrawingTool::styled(const AnnotationCanvas *canvas, Annotation annotation)
{
    const auto [r, g, b, a] = EdgeOptions::components(canvas->color());
    annotation.r = r;
    annotation.g = g;
    annotation.b = b;
    annotation.a = a;
    annotation.lineWidth = canvas->lineWidth();
    return annotation;
}

void ShapeDrawingTool::released(AnnotationCanvas *canvas, const CanvasPointer &)
{
    m_drawn.reset();
    const bool pressed = m_gesture.isPressed();
    if (!m_gesture.release()) {
        // A click makes one of a kind made by a click, where it was pressed.
        if (pressed && m_shape.madeByClick())
            canvas->addDrawn(styled(canvas, m_shape.begin(m_start)));
        return;
    }
    const std::optional<Annotation> drawn = canvas->draft();
    canvas->setDraft(std::nullopt);
    if (drawn)
        canvas->addDrawn(*drawn);
}
