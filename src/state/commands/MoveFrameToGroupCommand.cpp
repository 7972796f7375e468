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
    const CapturedFrame frame = *document()->frame(m_frameId);
    removeFrame(m_frameId);
    const int target = document()->indexOfGroup(m_targetGroupId);
    insertFrame(m_targetGroupId, document()->groups().at(target).frames.size(), frame);
}

void MoveFrameToGroupCommand::undo()
{
    const CapturedFrame frame = *document()->frame(m_frameId);
    removeFrame(m_frameId);
    insertFrame(m_sourceGroupId, m_sourcePosition, frame);
}
