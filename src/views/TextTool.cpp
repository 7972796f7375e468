#include "TextTool.h"

#include "AnnotationCanvas.h"
#include "InPlaceTextEditor.h"
#include "SymbolIcons.h"
#include "models/AnnotationShape.h"
#include "models/EdgeOptions.h"

TextTool::TextTool(const AnnotationShape &shape, QObject *parent) : CanvasTool(parent), m_shape(shape) {}

QString TextTool::toolId() const
{
    return QStringLiteral("annotation.") + m_shape.kind();
}

QString TextTool::displayName() const
{
    return m_shape.displayName();
}

QIcon TextTool::icon() const
{
    return SymbolIcons::icon(m_shape.systemImage());
}

void TextTool::deactivated(AnnotationCanvas *canvas)
{
    m_gesture.release();
    if (InPlaceTextEditor *editor = canvas->textEditor())
        editor->finish();
}

void TextTool::pressed(AnnotationCanvas *, const CanvasPointer &pointer)
{
    if (pointer.button == Qt::LeftButton)
        m_gesture.press(pointer.widget);
}

void TextTool::moved(AnnotationCanvas *, const CanvasPointer &pointer)
{
    m_gesture.move(pointer.widget);
}

void TextTool::released(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    const bool pressed = m_gesture.isPressed();
    if (m_gesture.release() || !pressed)
        return;
    // A click inside a text's box edits it (the one on top); elsewhere it begins a new one.
    const QList<Annotation> annotations = canvas->annotations();
    for (auto it = annotations.crbegin(); it != annotations.crend(); ++it) {
        if (it->kind == m_shape.kind() && m_shape.distance(*it, pointer.picture) == 0.0) {
            canvas->writeSelection(it->id);
            canvas->editText(*it);
            return;
        }
    }
    Annotation text = m_shape.begin(pointer.picture);
    const auto [r, g, b, a] = EdgeOptions::components(canvas->color());
    text.r = r;
    text.g = g;
    text.b = b;
    text.a = a;
    text.lineWidth = canvas->lineWidth();
    canvas->editText(text);
}
