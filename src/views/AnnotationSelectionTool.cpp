#include "AnnotationSelectionTool.h"

#include "AnnotationCanvas.h"
#include "AnnotationHitTest.h"
#include "SymbolIcons.h"
#include "models/AnnotationShape.h"

AnnotationSelectionTool::AnnotationSelectionTool(QObject *parent) : CanvasTool(parent) {}

QString AnnotationSelectionTool::displayName() const
{
    return tr("Sélection");
}

QIcon AnnotationSelectionTool::icon() const
{
    return SymbolIcons::icon(QStringLiteral("cursorarrow"));
}

void AnnotationSelectionTool::deactivated(AnnotationCanvas *)
{
    m_gesture.release();
    m_snapshot.reset();
}

void AnnotationSelectionTool::pressed(AnnotationCanvas *, const CanvasPointer &pointer)
{
    if (pointer.button != Qt::LeftButton)
        return;
    m_gesture.press(pointer.widget);
    m_start = pointer.picture;
    m_hitTested = false;
    m_snapshot.reset();
    m_moved = false;
}

void AnnotationSelectionTool::moved(AnnotationCanvas *canvas, const CanvasPointer &pointer)
{
    if (!m_gesture.move(pointer.widget))
        return;
    if (!m_hitTested) {
        m_hitTested = true;
        const QList<Annotation> annotations = canvas->annotations();
        const std::optional<qsizetype> hit = AnnotationHitTest::hitTest(annotations, m_start);
        if (hit)
            m_snapshot = annotations.at(*hit);
        canvas->writeSelection(hit ? m_snapshot->id : QUuid());
    }
    if (!m_snapshot)
        return;
    // Measured from the snapshot, not accumulated, and not clamped.
    Annotation moved = *m_snapshot;
    moved.shape().translate(moved, pointer.picture - m_start);
    canvas->moveAnnotation(moved, m_moved);
    m_moved = true;
}

void AnnotationSelectionTool::released(AnnotationCanvas *, const CanvasPointer &)
{
    m_gesture.release();
    m_snapshot.reset();
}
