#include "EdgeOptionsCommand.h"

EdgeOptionsCommand::EdgeOptionsCommand(CaptureDocument *document, const EdgeOptions &before,
                                       const EdgeOptions &after, bool continuing)
    : DocumentCommand(document, tr("réglage des contours"), tr("le réglage des contours"))
    , m_before(before)
    , m_after(after)
    , m_continuing(continuing)
{}

bool EdgeOptionsCommand::same(const EdgeOptions &a, const EdgeOptions &b)
{
    return a.shrink == b.shrink && a.feather == b.feather && a.outline == b.outline &&
           a.outlineWidth == b.outlineWidth && a.outlineColor == b.outlineColor &&
           a.cleanColors == b.cleanColors;
}

void EdgeOptionsCommand::redo()
{
    writeEdgeOptions(m_after);
}

void EdgeOptionsCommand::undo()
{
    writeEdgeOptions(m_before);
}

bool EdgeOptionsCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const EdgeOptionsCommand *>(other);
    if (!next->m_continuing)
        return false;
    m_after = next->m_after;
    setObsolete(same(m_after, m_before));
    return true;
}
