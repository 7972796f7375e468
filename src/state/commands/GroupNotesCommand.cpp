#include "GroupNotesCommand.h"

GroupNotesCommand::GroupNotesCommand(CaptureDocument *document, const QUuid &groupId, const QString &before,
                                     const QString &after)
    : DocumentCommand(document, tr("description du groupe"), tr("la description du groupe"))
    , m_groupId(groupId)
    , m_before(before)
    , m_after(after)
{}

void GroupNotesCommand::redo()
{
    writeGroupNotes(m_groupId, m_after);
}

void GroupNotesCommand::undo()
{
    writeGroupNotes(m_groupId, m_before);
}

bool GroupNotesCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const GroupNotesCommand *>(other);
    if (next->m_groupId != m_groupId)
        return false;
    m_after = next->m_after;
    // Typed back to what it was: no step at all.
    setObsolete(m_after == m_before);
    return true;
}
