#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Moving a frame to the end of a group, its own or another one.
class MoveFrameToGroupCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(MoveFrameToGroupCommand)

public:
    MoveFrameToGroupCommand(CaptureDocument *document, const QUuid &frameId, const QUuid &sourceGroupId,
                            int sourcePosition, const QUuid &targetGroupId);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{m_frameId}, {}}; }

private:
    QUuid m_frameId;
    QUuid m_sourceGroupId;
    int m_sourcePosition;
    QUuid m_targetGroupId;
};
