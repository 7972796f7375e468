#include "AddGroupCommand.h"

AddGroupCommand::AddGroupCommand(CaptureDocument *document, const CaptureGroup &group)
    : DocumentCommand(document, tr("ajout du groupe"), tr("l'ajout du groupe")), m_group(group)
{}

void AddGroupCommand::redo()
{
    m_activeBefore = document()->activeGroupID();
    insertGroup(document()->groups().size(), m_group);
    writeActiveGroupID(m_group.id);
}

void AddGroupCommand::undo()
{
    removeGroup(m_group.id);
    writeActiveGroupID(m_activeBefore);
}
