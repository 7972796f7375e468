#include "CaptureFrameCommand.h"

CaptureFrameCommand::CaptureFrameCommand(CaptureDocument *document, const CapturedFrame &frame,
                                         const QUuid &groupId)
    : DocumentCommand(document, tr("capture"), tr("la capture")), m_frame(frame), m_groupId(groupId)
{}

void CaptureFrameCommand::redo()
{
    m_selectionBefore = document()->selection();
    const int group = document()->indexOfGroup(m_groupId);
    insertFrame(m_groupId, document()->groups().at(group).frames.size(), m_frame);
    document()->setSelection({m_frame.id});
}

void CaptureFrameCommand::undo()
{
    removeFrame(m_frame.id);
    QSet<QUuid> selection = m_selectionBefore;
    selection.remove(m_frame.id);
    document()->setSelection(selection);
}
