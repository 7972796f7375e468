#include "AnnotationColorCommand.h"

AnnotationColorCommand::AnnotationColorCommand(CaptureDocument *document, const QUuid &frameId,
                                               const Annotation &before, const std::array<double, 4> &rgba)
    : DocumentCommand(document, tr("couleur de l'annotation"), tr("la couleur de l'annotation"))
    , m_frameId(frameId)
    , m_annotationId(before.id)
    , m_before{before.r, before.g, before.b, before.a}
    , m_after(rgba)
{}

void AnnotationColorCommand::redo()
{
    write(m_after);
}

void AnnotationColorCommand::undo()
{
    write(m_before);
}

void AnnotationColorCommand::write(const std::array<double, 4> &rgba) const
{
    updateAnnotation(m_frameId, m_annotationId, [&rgba](Annotation &annotation) {
        annotation.r = rgba[0];
        annotation.g = rgba[1];
        annotation.b = rgba[2];
        annotation.a = rgba[3];
    });
}
