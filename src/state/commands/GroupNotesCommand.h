#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Writing a group's description, exported as Markdown with it.
class GroupNotesCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(GroupNotesCommand)

public:
    GroupNotesCommand(CaptureDocument *document, const QUuid &groupId, const QString &before,
                      const QString &after);

    void redo() override;
    void undo() override;
    Focus focus() const override { return {{}, m_groupId}; }
    int id() const override { return GroupNotesMerge; }
    // The same description typed on: one step, whose text is the last one typed.
    bool mergeWith(const QUndoCommand *other) override;

private:
    QUuid m_groupId;
    QString m_before;
    QString m_after;
};
