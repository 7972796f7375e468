#include "MoveFrameToGroupCommand.h"

MoveFrameToGroupCommand::MoveFrameToGroupCommand(CaptureDocument *document, const QUuid &frameId,
                                                 const QUuid &sourceGroupId, int sourcePosition,
                                                 const QUuid &targetGroupId)
    : DocumentCommand(document, tr("déplacement de l'image"), tr("le déplacement de l'image"))
    , m_frameId(frameId)
    , m_sourceGroupId(sourceGroupId)
    , m_sourcePosition(sourcePosition)
    , m_targetGroupId(targetGroupId)
{}

void MoveFrameToGroupCommand::redo()
{
    // To the end of the target group.
    const int target = document()->indexOfGroup(m_targetGroupId);
    moveFrameTo(m_frameId, m_targetGroupId, document()->groups().at(target).frames.size());
}

void MoveFrameToGroupCommand::undo()
{
    moveFrameTo(m_frameId, m_sourceGroupId, m_sourcePosition);
}
