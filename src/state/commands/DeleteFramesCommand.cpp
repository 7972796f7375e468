#include "DeleteFramesCommand.h"

DeleteFramesCommand::DeleteFramesCommand(CaptureDocument *document, const QList<Removed> &removed)
    : DocumentCommand(document,
                      removed.size() == 1 ? tr("suppression de l'image") : tr("suppression des images"),
                      removed.size() == 1 ? tr("la suppression de l'image") : tr("la suppression des images"))
    , m_removed(removed)
{}

void DeleteFramesCommand::redo()
{
    m_selectionBefore = document()->selection();
    QSet<QUuid> selection = m_selectionBefore;
    for (const Removed &removed : std::as_const(m_removed)) {
        removeFrame(removed.frame.id);
        selection.remove(removed.frame.id);
    }
    document()->setSelection(selection);
}

void DeleteFramesCommand::undo()
{
    // Rising positions: each frame finds the ones before it already back.
    for (const Removed &removed : std::as_const(m_removed))
        insertFrame(removed.groupId, removed.position, removed.frame);
    document()->setSelection(m_selectionBefore);
}

DocumentCommand::Focus DeleteFramesCommand::focus() const
{
    Focus focus;
    for (const Removed &removed : m_removed)
        focus.frames << removed.frame.id;
    if (!m_removed.isEmpty())
        focus.group = m_removed.first().groupId;
    return focus;
}
