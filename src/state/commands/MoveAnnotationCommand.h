#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>
#include <QPointF>

// Moving an annotation. The moves of one drag merge into a single step.
class MoveAnnotationCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(MoveAnnotationCommand)

public:
    // `before` is the annotation as it is now; `continuing`: this move goes on from the previous one
    // of the same drag.
    MoveAnnotationCommand(CaptureDocument *document, const QUuid &frameId, const Annotation &before,
                          const QPointF &start, const QPointF &end, bool continuing);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }
    int id() const override { return AnnotationMoveMerge; }
    bool mergeWith(const QUndoCommand *other) override;

private:
    QUuid m_frameId;
    QUuid m_annotationId;
    QPointF m_startBefore;
    QPointF m_endBefore;
    QPointF m_start;
    QPointF m_end;
    bool m_continuing;
};
