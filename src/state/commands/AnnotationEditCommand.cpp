#include "AnnotationEditCommand.h"

AnnotationEditCommand::AnnotationEditCommand(CaptureDocument *document, const QUuid &frameId,
                                             CaptureDocument::AnnotationEdit edit, const Annotation &before,
                                             const Annotation &after, bool continuing)
    : DocumentCommand(document, text(edit), actionText(edit))
    , m_frameId(frameId)
    , m_edit(edit)
    , m_before(before)
    , m_after(after)
    , m_continuing(continuing)
{}

QString AnnotationEditCommand::text(CaptureDocument::AnnotationEdit edit)
{
    switch (edit) {
    case CaptureDocument::AnnotationEdit::Move:
        return tr("déplacement de l'annotation");
    case CaptureDocument::AnnotationEdit::Reshape:
        return tr("forme de l'annotation");
    case CaptureDocument::AnnotationEdit::Color:
        return tr("couleur de l'annotation");
    case CaptureDocument::AnnotationEdit::Width:
        return tr("épaisseur de l'annotation");
    case CaptureDocument::AnnotationEdit::Text:
        return tr("texte de l'annotation");
    }
    return {};
}

QString AnnotationEditCommand::actionText(CaptureDocument::AnnotationEdit edit)
{
    switch (edit) {
    case CaptureDocument::AnnotationEdit::Move:
        return tr("le déplacement de l'annotation");
    case CaptureDocument::AnnotationEdit::Reshape:
        return tr("la forme de l'annotation");
    case CaptureDocument::AnnotationEdit::Color:
        return tr("la couleur de l'annotation");
    case CaptureDocument::AnnotationEdit::Width:
        return tr("l'épaisseur de l'annotation");
    case CaptureDocument::AnnotationEdit::Text:
        return tr("le texte de l'annotation");
    }
    return {};
}

void AnnotationEditCommand::redo()
{
    write(m_after);
}

void AnnotationEditCommand::undo()
{
    write(m_before);
}

bool AnnotationEditCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const AnnotationEditCommand *>(other);
    if (!next->m_continuing || next->m_edit != m_edit || next->m_frameId != m_frameId ||
        next->m_after.id != m_after.id)
        return false;
    m_after = next->m_after;
    // Taken back to where it was: no step at all.
    setObsolete(m_after == m_before);
    return true;
}

void AnnotationEditCommand::write(const Annotation &annotation) const
{
    updateAnnotation(m_frameId, annotation.id, [&annotation](Annotation &current) { current = annotation; });
}
