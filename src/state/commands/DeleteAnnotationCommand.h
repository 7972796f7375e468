#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Deleting an annotation; undoing puts it back at its place in the drawing order.
class DeleteAnnotationCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(DeleteAnnotationCommand)

public:
    DeleteAnnotationCommand(CaptureDocument *document, const QUuid &frameId, const QUuid &annotationId);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }

private:
    QUuid m_frameId;
    QUuid m_annotationId;
    Annotation m_removed;
    qsizetype m_position = 0;
};
