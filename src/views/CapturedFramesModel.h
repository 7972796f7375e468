#pragma once

#include "models/CaptureGroup.h"
#include "support/MediaTime.h"

#include <QAbstractItemModel>
#include <QList>
#include <QSet>

class CaptureDocument;
class FrameImageStore;
class FrameTakeout;

// The capture groups as a two-level item model: one top-level row per group, one child row per
// frame. It reads the document's groups, and follows each change of their structure as the document
// tells it (a row inserted, removed or moved), so that views keep their selection and scrolling;
// it shows each frame's pictures from the image store as they arrive, and turns drops of frame rows
// inside their own group into `CaptureDocument::moveFrames`.
class CapturedFramesModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role {
        FrameIdRole = Qt::UserRole + 1,
        GroupIdRole,
        ThumbnailRole,
        SubjectPreviewRole,
        SubjectExtractedRole, // the lifting has ended, whatever its outcome
        FailureRole,          // why the still or the cut-out could not be made; empty otherwise
        TimeTextRole,
    };

    CapturedFramesModel(CaptureDocument *document, FrameImageStore *images, QObject *parent = nullptr);

    bool isGroup(const QModelIndex &index) const;
    QModelIndex groupIndex(int groupRow) const;
    QModelIndex frameIndex(const QUuid &frameId) const;
    QUuid frameId(const QModelIndex &index) const;
    // True while some frame still waits for its still or its cut-out.
    bool hasPendingFrames() const;
    // The start of the video's first frame: the times shown are measured from it.
    MediaTime timeOrigin() const { return m_timeOrigin; }
    void setTimeOrigin(const MediaTime &origin);
    // Where the finished pictures of dragged frames come from: a drag out of the window then carries
    // them as PNG files and image data. None drags only the frames' places in the list.
    void setTakeout(const FrameTakeout *takeout) { m_takeout = takeout; }

signals:
    // A frame's pictures changed; its row has been refreshed.
    void frameImagesChanged();

public:
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

private:
    // The positions in the group at `groupRow` of the frames named by the drag data; empty unless
    // every dragged frame is in that group.
    QSet<int> sourcePositions(const QMimeData *data, int groupRow) const;
    // Follows the document's changes of structure.
    void followDocument();
    // A frame's pictures, notes or time changed: its row is refreshed with the others in this turn.
    void frameChanged(const QUuid &frameId);
    // Refreshes, one range per group, the rows whose pictures changed since the last time: the
    // store may change thousands of frames in one turn (a project opening).
    void refreshChangedRows();
    // The group row whose frames carry `key`; -1 when none does.
    int groupRow(quintptr key) const;
    const CaptureGroup &groupOf(const QModelIndex &frame) const;
    // Numbers the group rows afresh, one number each.
    void numberGroups();

    CaptureDocument *m_document;
    FrameImageStore *m_images;
    // One number per group row, its own while it is in the document: frame rows carry their group's,
    // so that rows inserted, removed or moved elsewhere leave the indexes of the others right.
    QList<quintptr> m_groupKeys;
    quintptr m_lastKey = 0;
    QSet<QUuid> m_changedFrames;
    MediaTime m_timeOrigin = MediaTime::zero();
    const FrameTakeout *m_takeout = nullptr;
};
