#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Adding an empty group at the end, made active.
class AddGroupCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(AddGroupCommand)

public:
    AddGroupCommand(CaptureDocument *document, const CaptureGroup &group);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{}, m_group.id}; }

private:
    CaptureGroup m_group;
    QUuid m_activeBefore;
};
