#include "DocumentCommand.h"

DocumentCommand::DocumentCommand(CaptureDocument *document, const QString &text, const QString &actionText)
    : m_document(document)
{
    // Before the line break, the step as a list names it; after it, as the undo and redo items do.
    setText(text + QLatin1Char('\n') + actionText);
}

void DocumentCommand::updateAnnotation(const QUuid &frameId, const QUuid &annotationId,
                                       const std::function<void(Annotation &)> &change) const
{
    const std::optional<CapturedFrame> frame = m_document->frame(frameId);
    Q_ASSERT(frame);
    QList<Annotation> annotations = frame->annotations;
    for (Annotation &annotation : annotations) {
        if (annotation.id == annotationId) {
            change(annotation);
            writeAnnotations(frameId, annotations);
            return;
        }
    }
    Q_ASSERT_X(false, "DocumentCommand", "the annotation is gone");
}
