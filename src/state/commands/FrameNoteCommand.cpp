#include "FrameNoteCommand.h"

FrameNoteCommand::FrameNoteCommand(CaptureDocument *document, const QUuid &frameId, const QString &before,
                                   const QString &after)
    : DocumentCommand(document, tr("note de l'image"), tr("la note de l'image"))
    , m_frameId(frameId)
    , m_before(before)
    , m_after(after)
{}

void FrameNoteCommand::redo()
{
    writeFrameNotes(m_frameId, m_after);
}

void FrameNoteCommand::undo()
{
    writeFrameNotes(m_frameId, m_before);
}

bool FrameNoteCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const FrameNoteCommand *>(other);
    if (next->m_frameId != m_frameId)
        return false;
    m_after = next->m_after;
    // Typed back to what it was: no step at all.
    setObsolete(m_after == m_before);
    return true;
}
