#pragma once

#include "state/commands/DocumentCommand.h"

// Changing one of the document's settings. For a setting whose slider drags are one step, the
// changes of one drag merge.
class SettingCommand : public DocumentCommand
{
public:
    // `before` and `after` are all the settings, before the change and after it: they differ in
    // `step.setting` only. `continuing`: this change goes on from the previous one of the same drag.
    SettingCommand(CaptureDocument *document, const SettingStep &step, const DocumentSettings &before,
                   const DocumentSettings &after, bool continuing);

    void redo() override { writeSetting(m_setting, m_after); }
    void undo() override { writeSetting(m_setting, m_before); }
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

private:
    DocumentSetting m_setting;
    bool m_continuous;
    DocumentSettings m_before;
    DocumentSettings m_after;
    bool m_continuing;
};
