#include "ReorderFramesCommand.h"

ReorderFramesCommand::ReorderFramesCommand(CaptureDocument *document, const QUuid &groupId,
                                           const QList<QUuid> &before, const QList<QUuid> &after)
    : DocumentCommand(document, tr("réorganisation des images"), tr("la réorganisation des images"))
    , m_groupId(groupId)
    , m_before(before)
    , m_after(after)
{}

void ReorderFramesCommand::redo()
{
    setFrameOrder(m_groupId, m_after);
}

void ReorderFramesCommand::undo()
{
    setFrameOrder(m_groupId, m_before);
}
