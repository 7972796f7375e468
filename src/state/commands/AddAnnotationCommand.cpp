#include "AddAnnotationCommand.h"

AddAnnotationCommand::AddAnnotationCommand(CaptureDocument *document, const QUuid &frameId,
                                           const Annotation &annotation,
                                           CaptureDocument::AnnotationAddition addition)
    : DocumentCommand(document, text(addition), actionText(addition))
    , m_frameId(frameId)
    , m_annotation(annotation)
{}

QString AddAnnotationCommand::text(CaptureDocument::AnnotationAddition addition)
{
    switch (addition) {
    case CaptureDocument::AnnotationAddition::Drawn:
        break;
    case CaptureDocument::AnnotationAddition::Duplicated:
        return tr("duplication de l'annotation");
    case CaptureDocument::AnnotationAddition::Pasted:
        return tr("collage de l'annotation");
    }
    return tr("ajout de l'annotation");
}

QString AddAnnotationCommand::actionText(CaptureDocument::AnnotationAddition addition)
{
    switch (addition) {
    case CaptureDocument::AnnotationAddition::Drawn:
        break;
    case CaptureDocument::AnnotationAddition::Duplicated:
        return tr("la duplication de l'annotation");
    case CaptureDocument::AnnotationAddition::Pasted:
        return tr("le collage de l'annotation");
    }
    return tr("l'ajout de l'annotation");
}

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
