#pragma once

#include "models/Annotation.h"
#include "models/CaptureGroup.h"
#include "models/CapturedFrame.h"
#include "persistence/DocumentContent.h"
#include "persistence/DocumentSettings.h"
#include "support/MediaTime.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

class DocumentCommand;
class QUndoStack;

// How the change of one setting is recorded: the step's names (see DocumentCommand) and whether
// the changes of one drag merge.
struct SettingStep
{
    DocumentSetting setting;
    QString text;
    QString actionText;
    bool continuous = false;
};

// The user's work in one window: capture groups and their frames with notes and drawings, the
// active group, the selection, the settings saved in the project file, the video the captures are
// taken from and the project file itself. Every edit the user makes goes through the document's
// undo stack as one command; the pictures made in the background are not part of it (see
// FrameImageStore). Lives on the main thread.
//
// Change signals are precise. A change of structure (a frame inserted, removed or moved, a group
// inserted or removed, the whole content replaced) is told before it is made and once it is made, as
// an item model takes them; `groupChanged` for a group's name or notes; `frameChanged` for the notes,
// drawings or time of one frame; `correctionsChanged` for the corrections of one frame's cut-out;
// `settingChanged` with the setting's key for each setting. `groupsChanged` follows every change of structure
// and of a group's name or notes, once it is made, for the views that show the groups as a whole. Each is
// emitted only when something really changed.
class CaptureDocument : public QObject
{
    Q_OBJECT

public:
    explicit CaptureDocument(QObject *parent = nullptr);
    ~CaptureDocument() override;

    // --- What the document holds -------------------------------------------------------------

    const QList<CaptureGroup> &groups() const { return m_content.groups; }
    QUuid activeGroupID() const { return m_content.activeGroupID; }
    const QSet<QUuid> &selection() const { return m_selection; }
    const DocumentSettings &settings() const { return m_content.settings; }
    // The value of one setting (see DocumentSettings).
    template<typename Setting>
    const typename Setting::Type &setting() const
    {
        return m_content.settings.get<Setting>();
    }
    QUrl outputFolder() const { return setting<OutputFolderSetting>(); }
    bool cropToSubject() const { return setting<CropToSubjectSetting>(); }
    FilterStyle selectedFilter() const { return setting<SelectedFilterSetting>(); }
    const EdgeOptions &edgeOptions() const { return setting<EdgeOptionsSetting>(); }
    ImageFormat imageFormat() const { return setting<ImageFormatSetting>(); }
    QUrl videoURL() const { return m_content.videoURL; }
    QUrl missingVideoURL() const { return m_content.missingVideoURL; }
    QUrl projectURL() const { return m_content.projectURL; }
    const DocumentContent &content() const { return m_content; }

    // --- Derived values ----------------------------------------------------------------------

    // Where a frame is: its group's position and its own.
    struct FramePlace
    {
        int group = -1;
        int position = -1;
    };
    // Where the frame is; none when no group holds it. Looked up, not searched for.
    std::optional<FramePlace> place(const QUuid &frameId) const;

    // Every frame of every group, groups in order, each group's frames in order.
    QList<CapturedFrame> allFrames() const;
    qsizetype frameCount() const;
    std::optional<CapturedFrame> frame(const QUuid &frameId) const;
    // The first selected frame that exists, else the last frame of all; none without frames.
    std::optional<CapturedFrame> previewFrame() const;
    // The video's file name without its last extension (of the missing video when the captures
    // are bound to none); "video" without either.
    QString videoName() const;
    // Position of the active group, or 0 when no group has the active identifier.
    int indexOfActiveGroup() const;
    // Position of the group, or -1.
    int indexOfGroup(const QUuid &groupId) const;
    // The group holding the frame; null when no group does.
    QUuid groupOfFrame(const QUuid &frameId) const;
    // Captures that wait for their video: there are frames, but no video is bound to them.
    bool needsVideo() const;

    // --- Undo ----------------------------------------------------------------------------------

    QUndoStack *undoStack() const { return m_undoStack; }
    // Whether the document differs from its last save (or from how it was opened or started).
    bool isModified() const;
    // Records that the document was saved to `projectURL` as it is now.
    void markSaved(const QUrl &projectURL);
    // Counts the document as changed although no step says so (its video was bound anew, say).
    void markModified();

    // --- Changes that are not undo steps -------------------------------------------------------

    // Replaces the whole document (a video or a project was opened); forgets the undo history, the
    // selection, and counts the result as unchanged.
    void reset(const DocumentContent &content);
    // The bound video turned out not to open: it becomes the missing one, to be located.
    void loseVideo();
    // Gives frames the times of the pictures their video really shows for them (a frame stored
    // beyond the video's ends shows its first or last picture). Not an undo step: the frames are
    // the same, read right.
    void placeFrames(const QHash<QUuid, MediaTime> &times);
    void setSelection(const QSet<QUuid> &selection);
    // The group that receives new captures; like the selection, choosing it is not an edit.
    void setActiveGroup(const QUuid &groupId);

    // --- Edits: each is one undo step; an edit that would change nothing records nothing -------

    // Appends a frame at `time` to the active group (the first group when the active one is gone)
    // and selects it alone. Returns the new frame's identifier.
    QUuid captureFrame(const MediaTime &time);
    // Typing into the same frame's note, with nothing in between, makes one step.
    void setNote(const QString &note, const QUuid &frameId);
    // The deletions take the identifier by value: a caller may pass one that lives in the very list
    // they change.
    void deleteFrame(QUuid frameId);
    void deleteFrames(const QSet<QUuid> &frameIds);
    // List-move semantics: the frames at `positions` land, in order, before the frame that was at
    // `destination` (the group's size means the end).
    void moveFrames(const QUuid &groupId, const QSet<int> &positions, int destination);
    // Moves the frame to the end of the group (of its own group too).
    void moveFrame(const QUuid &frameId, const QUuid &groupId);
    // Appends "Groupe N" (N = number of groups + 1) and makes it active.
    void addGroup();
    // Deletes a group with its frames; never the last group. The first remaining group becomes
    // active if the deleted one was.
    void deleteGroup(QUuid groupId);
    // Typing into the same group's name, or description, makes one step.
    void setGroupName(const QUuid &groupId, const QString &name);
    void setGroupNotes(const QUuid &groupId, const QString &notes);

    // How an annotation comes to a frame; it names the step.
    enum class AnnotationAddition { Drawn, Duplicated, Pasted };
    void addAnnotation(const QUuid &frameId, const Annotation &annotation,
                       AnnotationAddition addition = AnnotationAddition::Drawn);
    // Puts a copy of the frame's annotation on top of the others, shifted beside it; returns the
    // copy's identifier, null when there is no such annotation.
    QUuid duplicateAnnotation(const QUuid &frameId, const QUuid &annotationId);
    // Puts a copy of `copied` (from any frame or window) on top of the frame's annotations, where it
    // was, or shifted beside an annotation of the same shape lying there; returns its identifier,
    // null when there is no such frame.
    QUuid pasteAnnotation(const QUuid &frameId, const Annotation &copied);
    // Where an annotation goes in its frame's drawing order: in front of the others or behind them.
    enum class AnnotationOrder { Front, Back };
    void reorderAnnotation(const QUuid &frameId, const QUuid &annotationId, AnnotationOrder order);
    // What an edit of an annotation changes: it names the step, and the continuing edits of one kind
    // merge.
    enum class AnnotationEdit { Move, Reshape, Color, Width, Text };
    // Puts `after` in place of the frame's annotation that has its identifier. `continuing` says the
    // edit goes on from the previous one of the same drag, so that a whole drag is one step.
    void editAnnotation(const QUuid &frameId, const Annotation &after, AnnotationEdit edit,
                        bool continuing = false);
    void deleteAnnotation(const QUuid &frameId, const QUuid &annotationId);
    // Colour components in sRGB, 0 to 1.
    void setAnnotationColor(const QUuid &frameId, const QUuid &annotationId, const QColor &color);
    void setAnnotationLineWidth(const QUuid &frameId, const QUuid &annotationId, double lineWidth,
                                bool continuing);

    // One more correction of the frame's cut-out, applied after those it has.
    void addCorrection(const QUuid &frameId, const CutoutCorrection &correction);

    // Changes one setting. `continuing`: the change goes on from the previous one of the same
    // slider drag, and merges with it for a setting whose drags are one step.
    template<typename Setting>
    void setSetting(const typename Setting::Type &value, bool continuing = false)
    {
        if (setting<Setting>() == value)
            return;
        DocumentSettings after = m_content.settings;
        after.set<Setting>(value);
        pushSetting({Setting::key, settingText(Setting::stepText), settingText(Setting::actionText),
                     Setting::continuous},
                    after, continuing);
    }
    void setEdgeOptions(const EdgeOptions &options, bool continuing = false)
    {
        setSetting<EdgeOptionsSetting>(options, continuing);
    }
    void setSelectedFilter(FilterStyle style) { setSetting<SelectedFilterSetting>(style); }
    void setCropToSubject(bool crop) { setSetting<CropToSubjectSetting>(crop); }
    void setImageFormat(ImageFormat format) { setSetting<ImageFormatSetting>(format); }
    void setOutputFolder(const QUrl &folder) { setSetting<OutputFolderSetting>(folder); }
    // Binds the captures that wait for their video to the video located for them.
    void bindVideo(const QUrl &videoURL);

signals:
    // Changes of structure: the positions are those of the document as it is when the signal comes.
    void frameAboutToBeInserted(int group, int position);
    void frameInserted(int group, int position);
    void frameAboutToBeRemoved(int group, int position);
    void frameRemoved(const QUuid &frameId);
    // The frame at `fromPosition` of the group at `fromGroup` is to be at `toPosition` of the group
    // at `toGroup` once moved.
    void frameAboutToBeMoved(int fromGroup, int fromPosition, int toGroup, int toPosition);
    void frameMoved(const QUuid &frameId);
    void groupAboutToBeInserted(int position);
    void groupInserted(int position);
    void groupAboutToBeRemoved(int position);
    // The group that was at `position`, with the frames it held.
    void groupRemoved(int position, const CaptureGroup &group);
    void contentAboutToBeReset();
    void contentReset();
    // The name or the notes of the group at `position`.
    void groupChanged(int position);
    // Any of the changes above, once made.
    void groupsChanged();
    void frameChanged(const QUuid &frameId);
    // The corrections of one frame's cut-out changed.
    void correctionsChanged(const QUuid &frameId);
    void activeGroupIDChanged();
    void selectionChanged();
    void settingChanged(DocumentSetting setting);
    // The bound video or the missing one changed.
    void videoChanged();
    // A step bound the captures to a located video, or took that binding back: the window's
    // video follows.
    void videoRebound();
    void projectURLChanged();
    void modifiedChanged(bool modified);
    // An undo or a redo changed this frame of this group, or, with a null frame, the group as a
    // whole; the frames it changed are selected already. Views bring it into sight.
    void changeShown(const QUuid &frameId, const QUuid &groupId);

private:
    friend class DocumentCommand;

    const Annotation *annotation(const QUuid &frameId, const QUuid &annotationId) const;
    void push(DocumentCommand *command);
    // Records the change of one setting to make the settings `after`.
    void pushSetting(const SettingStep &step, const DocumentSettings &after, bool continuing);
    // After the undo stack moved to `index`: selects and shows what the step undone or redone
    // changed.
    void showStep(int index);

    // The primitives of the undo commands: each changes one thing, signals it, and is not recorded.
    void insertFrame(const QUuid &groupId, qsizetype position, const CapturedFrame &frame);
    void removeFrame(QUuid frameId);
    // Moves the frame to be at `position` of the group (clamped to its ends).
    void moveFrameTo(QUuid frameId, const QUuid &groupId, qsizetype position);
    void setFrameOrder(const QUuid &groupId, const QList<QUuid> &order);
    void writeFrameNotes(const QUuid &frameId, const QString &notes);
    void writeAnnotations(const QUuid &frameId, const QList<Annotation> &annotations);
    void writeCorrections(const QUuid &frameId, const QList<CutoutCorrection> &corrections);
    void insertGroup(qsizetype position, const CaptureGroup &group);
    void removeGroup(QUuid groupId);
    void writeGroupName(const QUuid &groupId, const QString &name);
    void writeGroupNotes(const QUuid &groupId, const QString &notes);
    void writeActiveGroupID(const QUuid &groupId);
    // Gives the setting the value it has in `values`.
    void writeSetting(DocumentSetting setting, const DocumentSettings &values);
    void writeVideoBinding(const QUrl &video, const QUrl &missingVideo);

    // Moves a frame and tells it, without `groupsChanged`; false when it was there already.
    bool shiftFrame(const QUuid &frameId, int group, qsizetype position);
    // Keeps the places of the frames known, once they are: the frames of the group at `group` from
    // position `from` on have new places, or those of every group from `group` on.
    void renumberFrames(int group, qsizetype from) const;
    void renumberGroups(int group) const;

    DocumentContent m_content;
    // Where each frame is; made again on first use after the whole content changed.
    mutable QHash<QUuid, FramePlace> m_places;
    mutable bool m_placesKnown = false;
    QSet<QUuid> m_selection;
    QUndoStack *m_undoStack;
    // The undo stack's position, and whether it moves because a step is being recorded rather than
    // undone or redone.
    int m_stackIndex = 0;
    bool m_recording = false;
};
