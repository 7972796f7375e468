#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Drawing an annotation on a frame: it goes on top of the others.
class AddAnnotationCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(AddAnnotationCommand)

public:
    AddAnnotationCommand(CaptureDocument *document, const QUuid &frameId, const Annotation &annotation);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }

private:
    QUuid m_frameId;
    Annotation m_annotation;
};
