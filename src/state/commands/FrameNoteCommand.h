#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Writing a frame's note.
class FrameNoteCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(FrameNoteCommand)

public:
    FrameNoteCommand(CaptureDocument *document, const QUuid &frameId, const QString &before,
                     const QString &after);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }
    int id() const override { return FrameNoteMerge; }
    // The same note typed on: one step, whose text is the last one typed.
    bool mergeWith(const QUndoCommand *other) override;

private:
    QUuid m_frameId;
    QString m_before;
    QString m_after;
};
