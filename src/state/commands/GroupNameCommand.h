#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Renaming a group.
class GroupNameCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(GroupNameCommand)

public:
    GroupNameCommand(CaptureDocument *document, const QUuid &groupId, const QString &before,
                     const QString &after);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{}, m_groupId}; }
    int id() const override { return GroupNameMerge; }
    // The same name typed on: one step, whose text is the last one typed.
    bool mergeWith(const QUndoCommand *other) override;

private:
    QUuid m_groupId;
    QString m_before;
    QString m_after;
};
