#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Giving an annotation another line width. The changes of one slider drag merge into a single step.
class AnnotationWidthCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(AnnotationWidthCommand)

public:
    // `before` is the annotation as it is now; `continuing`: this change goes on from the previous
    // one of the same drag.
    AnnotationWidthCommand(CaptureDocument *document, const QUuid &frameId, const Annotation &before,
                           double lineWidth, bool continuing);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }
    int id() const override { return AnnotationWidthMerge; }
    bool mergeWith(const QUndoCommand *other) override;

private:
    void write(double lineWidth) const;

    QUuid m_frameId;
    QUuid m_annotationId;
    double m_before;
    double m_after;
    bool m_continuing;
};
