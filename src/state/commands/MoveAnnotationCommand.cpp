#include "MoveAnnotationCommand.h"

MoveAnnotationCommand::MoveAnnotationCommand(CaptureDocument *document, const QUuid &frameId,
                                             const Annotation &before, const QPointF &start,
                                             const QPointF &end, bool continuing)
    : DocumentCommand(document, tr("déplacement de l'annotation"), tr("le déplacement de l'annotation"))
    , m_frameId(frameId)
    , m_annotationId(before.id)
    , m_startBefore(before.start)
    , m_endBefore(before.end)
    , m_start(start)
    , m_end(end)
    , m_continuing(continuing)
{}

void MoveAnnotationCommand::redo()
{
    updateAnnotation(m_frameId, m_annotationId, [this](Annotation &annotation) {
        annotation.start = m_start;
        annotation.end = m_end;
    });
}

void MoveAnnotationCommand::undo()
{
    updateAnnotation(m_frameId, m_annotationId, [this](Annotation &annotation) {
        annotation.start = m_startBefore;
        annotation.end = m_endBefore;
    });
}

bool MoveAnnotationCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const MoveAnnotationCommand *>(other);
    if (!next->m_continuing || next->m_frameId != m_frameId || next->m_annotationId != m_annotationId)
        return false;
    m_start = next->m_start;
    m_end = next->m_end;
    // Dragged back to where it was: no step at all.
    setObsolete(m_start == m_startBefore && m_end == m_endBefore);
    return true;
}
