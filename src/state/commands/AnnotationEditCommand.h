#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Changing one annotation: moving it, reshaping it, giving it another colour or width. It keeps the
// annotation as it was and as it becomes; the changes of one drag (a move, a slider) merge into a
// single step.
class AnnotationEditCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(AnnotationEditCommand)

public:
    // `before` is the annotation as it is now, `after` as it becomes (the same identifier);
    // `continuing`: this change goes on from the previous one of the same drag.
    AnnotationEditCommand(CaptureDocument *document, const QUuid &frameId,
                          CaptureDocument::AnnotationEdit edit, const Annotation &before,
                          const Annotation &after, bool continuing);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }
    int id() const override { return AnnotationEditMerge; }
    bool mergeWith(const QUndoCommand *other) override;

private:
    static QString text(CaptureDocument::AnnotationEdit edit);
    static QString actionText(CaptureDocument::AnnotationEdit edit);
    void write(const Annotation &annotation) const;

    QUuid m_frameId;
    CaptureDocument::AnnotationEdit m_edit;
    Annotation m_before;
    Annotation m_after;
    bool m_continuing;
};
