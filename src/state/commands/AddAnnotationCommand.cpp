#include "AddAnnotationCommand.h"

AddAnnotationCommand::AddAnnotationCommand(CaptureDocument *document, const QUuid &frameId,
                                           const Annotation &annotation)
    : DocumentCommand(document, tr("ajout de l'annotation"), tr("l'ajout de l'annotation"))
    , m_frameId(frameId)
    , m_annotation(annotation)
{}

void AddAnnotationCommand::redo()
{
    writeAnnotations(m_frameId, document()->frame(m_frameId)->annotations + QList<Annotation>{m_annotation});
}

void AddAnnotationCommand::undo()
{
    QList<Annotation> annotations = document()->frame(m_frameId)->annotations;
    annotations.removeIf([this](const Annotation &annotation) { return annotation.id == m_annotation.id; });
    writeAnnotations(m_frameId, annotations);
}
