#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>
#include <QSet>

// Deleting a group with its frames. The first remaining group becomes active if the deleted one
// was; undoing puts the group back in its place with its frames, active again if it was.
class DeleteGroupCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(DeleteGroupCommand)

public:
    DeleteGroupCommand(CaptureDocument *document, const CaptureGroup &group, int position);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{}, m_group.id}; }

private:
    CaptureGroup m_group;
    int m_position;
    QUuid m_activeBefore;
    QSet<QUuid> m_selectionBefore;
};
