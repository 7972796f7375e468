#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Drawing an annotation on a frame, or putting a copy there: it goes on top of the others.
class AddAnnotationCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(AddAnnotationCommand)

public:
    AddAnnotationCommand(
        CaptureDocument *document, const QUuid &frameId, const Annotation &annotation,
        CaptureDocument::AnnotationAddition addition = CaptureDocument::AnnotationAddition::Drawn);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }

private:
    static QString text(CaptureDocument::AnnotationAddition addition);
    static QString actionText(CaptureDocument::AnnotationAddition addition);

    QUuid m_frameId;
    Annotation m_annotation;
};
