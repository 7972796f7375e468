#include "AnnotationWidthCommand.h"

AnnotationWidthCommand::AnnotationWidthCommand(CaptureDocument *document, const QUuid &frameId,
                                               const Annotation &before, double lineWidth, bool continuing)
    : DocumentCommand(document, tr("épaisseur de l'annotation"), tr("l'épaisseur de l'annotation"))
    , m_frameId(frameId)
    , m_annotationId(before.id)
    , m_before(before.lineWidth)
    , m_after(lineWidth)
    , m_continuing(continuing)
{}

void AnnotationWidthCommand::redo()
{
    write(m_after);
}

void AnnotationWidthCommand::undo()
{
    write(m_before);
}

bool AnnotationWidthCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const AnnotationWidthCommand *>(other);
    if (!next->m_continuing || next->m_frameId != m_frameId || next->m_annotationId != m_annotationId)
        return false;
    m_after = next->m_after;
    setObsolete(m_after == m_before);
    return true;
}

void AnnotationWidthCommand::write(double lineWidth) const
{
    updateAnnotation(m_frameId, m_annotationId,
                     [lineWidth](Annotation &annotation) { annotation.lineWidth = lineWidth; });
}
