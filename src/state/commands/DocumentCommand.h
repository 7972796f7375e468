#pragma once

#include "models/Annotation.h"
#include "models/CaptureGroup.h"
#include "models/CapturedFrame.h"
#include "state/CaptureDocument.h"

#include <QUndoCommand>

#include <functional>
#include <optional>

// The base of every edit of a capture document: one user operation, done by `redo` and taken back
// by `undo`, through the document's primitives. Commands live on the document's undo stack, which
// replays them in order: when a command is undone or redone, the document is exactly as the
// command left it or found it.
//
// Selection and active group are not recorded on their own; a command that changes them records
// their value at the moment it is redone, so that undoing it gives back what the user had then.
class DocumentCommand : public QUndoCommand
{
public:
    // Commands that merge with the previous one of their kind, so that a typed text or a drag is
    // one step.
    enum MergeId {
        FrameNoteMerge = 1,
        GroupNameMerge,
        GroupNotesMerge,
        AnnotationEditMerge,
        // The first of the settings' own, one per setting (see SettingCommand).
        SettingMerge,
    };

    // What an undo or a redo of this step brings into sight: the frames it changes, of those that
    // exist afterwards; else its group, when that exists afterwards. Steps that change only the
    // settings show nothing.
    struct Focus
    {
        QList<QUuid> frames;
        QUuid group;
    };
    virtual Focus focus() const { return {}; }

protected:
    // `text` names the step ("suppression du groupe"); `actionText` is the same with its article, as
    // the undo and redo menu items say it ("Annuler la suppression du groupe").
    DocumentCommand(CaptureDocument *document, const QString &text, const QString &actionText);

    CaptureDocument *document() const { return m_document; }

    void insertFrame(const QUuid &groupId, qsizetype position, const CapturedFrame &frame) const
    {
        m_document->insertFrame(groupId, position, frame);
    }
    void removeFrame(const QUuid &frameId) const { m_document->removeFrame(frameId); }
    void moveFrameTo(const QUuid &frameId, const QUuid &groupId, qsizetype position) const
    {
        m_document->moveFrameTo(frameId, groupId, position);
    }
    void setFrameOrder(const QUuid &groupId, const QList<QUuid> &order) const
    {
        m_document->setFrameOrder(groupId, order);
    }
    void writeFrameNotes(const QUuid &frameId, const QString &notes) const
    {
        m_document->writeFrameNotes(frameId, notes);
    }
    void writeAnnotations(const QUuid &frameId, const QList<Annotation> &annotations) const
    {
        m_document->writeAnnotations(frameId, annotations);
    }
    void writeCorrections(const QUuid &frameId, const QList<CutoutCorrection> &corrections) const
    {
        m_document->writeCorrections(frameId, corrections);
    }
    void insertGroup(qsizetype position, const CaptureGroup &group) const
    {
        m_document->insertGroup(position, group);
    }
    void removeGroup(const QUuid &groupId) const { m_document->removeGroup(groupId); }
    void writeGroupName(const QUuid &groupId, const QString &name) const
    {
        m_document->writeGroupName(groupId, name);
    }
    void writeGroupNotes(const QUuid &groupId, const QString &notes) const
    {
        m_document->writeGroupNotes(groupId, notes);
    }
    void writeActiveGroupID(const QUuid &groupId) const { m_document->writeActiveGroupID(groupId); }
    void writeSetting(DocumentSetting setting, const DocumentSettings &values) const
    {
        m_document->writeSetting(setting, values);
    }
    void writeVideoBinding(const QUrl &video, const QUrl &missingVideo) const
    {
        m_document->writeVideoBinding(video, missingVideo);
    }

    // Applies `change` to the annotation of the frame that has this identifier.
    void updateAnnotation(const QUuid &frameId, const QUuid &annotationId,
                          const std::function<void(Annotation &)> &change) const;

private:
    CaptureDocument *m_document;
};
