#include "DeleteGroupCommand.h"

DeleteGroupCommand::DeleteGroupCommand(CaptureDocument *document, const CaptureGroup &group, int position)
    : DocumentCommand(document, tr("suppression du groupe"), tr("la suppression du groupe"))
    , m_group(group)
    , m_position(position)
{}

void DeleteGroupCommand::redo()
{
    m_activeBefore = document()->activeGroupID();
    m_selectionBefore = document()->selection();
    removeGroup(m_group.id);
    QSet<QUuid> selection = m_selectionBefore;
    for (const CapturedFrame &frame : std::as_const(m_group.frames))
        selection.remove(frame.id);
    document()->setSelection(selection);
    if (m_activeBefore == m_group.id)
        writeActiveGroupID(document()->groups().first().id);
}

void DeleteGroupCommand::undo()
{
    insertGroup(m_position, m_group);
    writeActiveGroupID(m_activeBefore);
    document()->setSelection(m_selectionBefore);
}
