#include "ReorderAnnotationCommand.h"

namespace {

QString orderText(CaptureDocument::AnnotationOrder order)
{
    return order == CaptureDocument::AnnotationOrder::Front
               ? ReorderAnnotationCommand::tr("mise au premier plan de l'annotation")
               : ReorderAnnotationCommand::tr("mise à l'arrière-plan de l'annotation");
}

QString orderActionText(CaptureDocument::AnnotationOrder order)
{
    return order == CaptureDocument::AnnotationOrder::Front
               ? ReorderAnnotationCommand::tr("la mise au premier plan de l'annotation")
               : ReorderAnnotationCommand::tr("la mise à l'arrière-plan de l'annotation");
}

} // namespace

ReorderAnnotationCommand::ReorderAnnotationCommand(CaptureDocument *document, const QUuid &frameId,
                                                   const QUuid &annotationId,
                                                   CaptureDocument::AnnotationOrder order)
    : DocumentCommand(document, orderText(order), orderActionText(order))
    , m_frameId(frameId)
    , m_annotationId(annotationId)
    , m_order(order)
{}

void ReorderAnnotationCommand::redo()
{
    QList<Annotation> annotations = document()->frame(m_frameId)->annotations;
    for (qsizetype i = 0; i < annotations.size(); ++i) {
        if (annotations.at(i).id != m_annotationId)
            continue;
        m_position = i;
        const Annotation annotation = annotations.takeAt(i);
        if (m_order == CaptureDocument::AnnotationOrder::Front)
            annotations.append(annotation);
        else
            annotations.prepend(annotation);
        writeAnnotations(m_frameId, annotations);
        return;
    }
}

void ReorderAnnotationCommand::undo()
{
    QList<Annotation> annotations = document()->frame(m_frameId)->annotations;
    const qsizetype now = m_order == CaptureDocument::AnnotationOrder::Front ? annotations.size() - 1 : 0;
    if (now < 0 || now >= annotations.size() || annotations.at(now).id != m_annotationId)
        return;
    const Annotation annotation = annotations.takeAt(now);
    annotations.insert(std::min(m_position, annotations.size()), annotation);
    writeAnnotations(m_frameId, annotations);
}
