#pragma once

#include "state/commands/DocumentCommand.h"

#include <QCoreApplication>

// Typing in one of the document's text fields: a frame's note, a group's name or its description.
// The same field typed on is one step, whose text is the last one typed.
class TextFieldCommand : public DocumentCommand
{
    Q_DECLARE_TR_FUNCTIONS(TextFieldCommand)

public:
    enum class Field { FrameNote, GroupName, GroupNotes };

    // `ownerId` is the frame's identifier for a note, the group's for a name or a description.
    TextFieldCommand(CaptureDocument *document, Field field, const QUuid &ownerId, const QString &before,
                     const QString &after);

    void redo() override;
    void undo() override;
    Focus focus() const override;
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

private:
    void write(const QString &text) const;

    Field m_field;
    QUuid m_ownerId;
    QString m_before;
    QString m_after;
};
