#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Reordering the frames of one group, as a drag in the list does.
class ReorderFramesCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(ReorderFramesCommand)

public:
    // The group's frame identifiers before and after, both the same frames.
    ReorderFramesCommand(CaptureDocument *document, const QUuid &groupId, const QList<QUuid> &before,
                         const QList<QUuid> &after);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{}, m_groupId}; }

private:
    QUuid m_groupId;
    QList<QUuid> m_before;
    QList<QUuid> m_after;
};
