#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Bringing an annotation in front of the others of its frame, or sending it behind them; undoing
// puts it back at its place in the drawing order.
class ReorderAnnotationCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(ReorderAnnotationCommand)

public:
    ReorderAnnotationCommand(CaptureDocument *document, const QUuid &frameId, const QUuid &annotationId,
                             CaptureDocument::AnnotationOrder order);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }

private:
    QUuid m_frameId;
    QUuid m_annotationId;
    CaptureDocument::AnnotationOrder m_order;
    qsizetype m_position = 0; // where it was before
};
