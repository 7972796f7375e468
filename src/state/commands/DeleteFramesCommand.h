#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>
#include <QSet>

// Deleting one frame or several: each goes back to its place in its group when undone.
class DeleteFramesCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(DeleteFramesCommand)

public:
    // A frame and where it was.
    struct Removed
    {
        QUuid groupId;
        int position = 0;
        CapturedFrame frame;
    };

    // `removed` in list order: groups in order, positions rising within each group.
    DeleteFramesCommand(CaptureDocument *document, const QList<Removed> &removed);

    void redo() override;
    void undo() override;
    Focus focus() const override;

private:
    QList<Removed> m_removed;
    QSet<QUuid> m_selectionBefore;
};
