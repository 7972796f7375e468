#include "TextFieldCommand.h"

namespace {

QString stepText(TextFieldCommand::Field field)
{
    switch (field) {
    case TextFieldCommand::Field::FrameNote:
        return TextFieldCommand::tr("note de l'image");
    case TextFieldCommand::Field::GroupName:
        return TextFieldCommand::tr("renommage du groupe");
    case TextFieldCommand::Field::GroupNotes:
        return TextFieldCommand::tr("description du groupe");
    }
    return {};
}

QString stepActionText(TextFieldCommand::Field field)
{
    switch (field) {
    case TextFieldCommand::Field::FrameNote:
        return TextFieldCommand::tr("la note de l'image");
    case TextFieldCommand::Field::GroupName:
        return TextFieldCommand::tr("le renommage du groupe");
    case TextFieldCommand::Field::GroupNotes:
        return TextFieldCommand::tr("la description du groupe");
    }
    return {};
}

} // namespace

TextFieldCommand::TextFieldCommand(CaptureDocument *document, Field field, const QUuid &ownerId,
                                   const QString &before, const QString &after)
    : DocumentCommand(document, stepText(field), stepActionText(field))
    , m_field(field)
    , m_ownerId(ownerId)
    , m_before(before)
    , m_after(after)
{}

void TextFieldCommand::redo()
{
    write(m_after);
}

void TextFieldCommand::undo()
{
    write(m_before);
}

DocumentCommand::Focus TextFieldCommand::focus() const
{
    if (m_field == Field::FrameNote)
        return {{m_ownerId}, {}};
    return {{}, m_ownerId};
}

int TextFieldCommand::id() const
{
    switch (m_field) {
    case Field::FrameNote:
        return FrameNoteMerge;
    case Field::GroupName:
        return GroupNameMerge;
    case Field::GroupNotes:
        return GroupNotesMerge;
    }
    return -1;
}

bool TextFieldCommand::mergeWith(const QUndoCommand *other)
{
    // The undo stack merges only commands of the same id, hence of the same field.
    const auto *next = static_cast<const TextFieldCommand *>(other);
    if (next->m_ownerId != m_ownerId)
        return false;
    m_after = next->m_after;
    // Typed back to what it was: no step at all.
    setObsolete(m_after == m_before);
    return true;
}

void TextFieldCommand::write(const QString &text) const
{
    switch (m_field) {
    case Field::FrameNote:
        writeFrameNotes(m_ownerId, text);
        break;
    case Field::GroupName:
        writeGroupName(m_ownerId, text);
        break;
    case Field::GroupNotes:
        writeGroupNotes(m_ownerId, text);
        break;
    }
}
