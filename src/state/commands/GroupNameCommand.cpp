#include "GroupNameCommand.h"

GroupNameCommand::GroupNameCommand(CaptureDocument *document, const QUuid &groupId, const QString &before,
                                   const QString &after)
    : DocumentCommand(document, tr("renommage du groupe"), tr("le renommage du groupe"))
    , m_groupId(groupId)
    , m_before(before)
    , m_after(after)
{}

void GroupNameCommand::redo()
{
    writeGroupName(m_groupId, m_after);
}

void GroupNameCommand::undo()
{
    writeGroupName(m_groupId, m_before);
}

bool GroupNameCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const GroupNameCommand *>(other);
    if (next->m_groupId != m_groupId)
        return false;
    m_after = next->m_after;
    // Typed back to what it was: no step at all.
    setObsolete(m_after == m_before);
    return true;
}
