#include "DeleteAnnotationCommand.h"

DeleteAnnotationCommand::DeleteAnnotationCommand(CaptureDocument *document, const QUuid &frameId,
                                                 const QUuid &annotationId)
    : DocumentCommand(document, tr("suppression de l'annotation"), tr("la suppression de l'annotation"))
    , m_frameId(frameId)
    , m_annotationId(annotationId)
{}

void DeleteAnnotationCommand::redo()
{
    QList<Annotation> annotations = document()->frame(m_frameId)->annotations;
    for (qsizetype i = 0; i < annotations.size(); ++i) {
        if (annotations.at(i).id == m_annotationId) {
            m_position = i;
            m_removed = annotations.takeAt(i);
            writeAnnotations(m_frameId, annotations);
            return;
        }
    }
}

void DeleteAnnotationCommand::undo()
{
    QList<Annotation> annotations = document()->frame(m_frameId)->annotations;
    annotations.insert(std::min(m_position, annotations.size()), m_removed);
    writeAnnotations(m_frameId, annotations);
}
