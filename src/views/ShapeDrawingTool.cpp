#include "ShapeDrawingTool.h"

#include "AnnotationCanvas.h"
#include "SymbolIcons.h"
#include "models/EdgeOptions.h"

ShapeDrawingTool::ShapeDrawingTool(AnnotationTool tool, QObject *parent) : CanvasTool(parent), m_tool(tool) {}

QString ShapeDrawingTool::toolId() const
{
    return QStringLiteral("annotation.") + AnnotationKinds::rawValue(*AnnotationTools::kind(m_tool));
}

QString ShapeDrawingTool::displayName() const
{
    return AnnotationTools::displayName(m_tool);
}

QIcon ShapeDrawingTool::icon() const
{
    return SymbolIcons::icon(AnnotationTools::systemImage(m_tool));
}

void ShapeDrawingTool::deactivated(AnnotationCanvas *canvas)
{
    m_gesture.release();
    canvas->setDraft(std::nullopt);
}

void ShapeDrawingTool::pressed(AnnotationCanvas *, const CanvasPointer &pointer)
{
    if (pointer.button != Qt::LeftButton)
        return;
    m_gesture.press(pointer.widget);
    m_start = pointer.picture;
}

void ShapeDrawingTool::moved(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (!m_gesture.move(pointer.widget))
        return;
    // Made anew at every step, so the annotation takes the settings in force at the last one.
    Annotation draft;
    draft.kind = *AnnotationTools::kind(m_tool);
    draft.start = m_start;
    draft.end = pointer.picture;
    const auto [r, g, b, a] = EdgeOptions::components(canvas->color());
    draft.r = r;
    draft.g = g;
    draft.b = b;
    draft.a = a;
    draft.lineWidth = canvas->lineWidth();
    canvas->setDraft(draft);
}

void ShapeDrawingTool::released(AnnotationCanvas *canvas, const CanvasPointer &)
{
    if (!m_gesture.release())
        return;
    const std::optional<Annotation> drawn = canvas->draft();
    canvas->setDraft(std::nullopt);
    if (drawn)
        canvas->addDrawn(*drawn);
}
