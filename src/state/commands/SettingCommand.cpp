#include "SettingCommand.h"

SettingCommand::SettingCommand(CaptureDocument *document, const SettingStep &step,
                               const DocumentSettings &before, const DocumentSettings &after, bool continuing)
    : DocumentCommand(document, step.text, step.actionText)
    , m_setting(step.setting)
    , m_continuous(step.continuous)
    , m_before(before)
    , m_after(after)
    , m_continuing(continuing)
{}

int SettingCommand::id() const
{
    // Each setting merges only with changes of its own.
    return m_continuous ? SettingMerge + int(m_setting) : -1;
}

bool SettingCommand::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const SettingCommand *>(other);
    if (!next->m_continuing)
        return false;
    m_after = next->m_after;
    setObsolete(m_after == m_before);
    return true;
}
