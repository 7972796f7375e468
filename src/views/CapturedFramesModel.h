#pragma once

#include "models/CaptureGroup.h"

#include <QAbstractItemModel>
#include <QList>

class AppState;

// The capture groups as a two-level item model: one top-level row per group, one child row per
// frame. It mirrors the window state's groups as given to `sync`, with the smallest changes it can
// signal, and turns drops of frame rows inside their own group into `AppState::moveFrames`.
class CapturedFramesModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role {
        FrameIdRole = Qt::UserRole + 1,
        GroupIdRole,
        ThumbnailRole,
        SubjectPreviewRole,
        SubjectExtractedRole,
        TimeTextRole,
    };

    explicit CapturedFramesModel(AppState *state, QObject *parent = nullptr);

    // Takes over the window state's groups. Returns true when the group rows were rebuilt (their
    // index widgets must then be made again).
    bool sync();

    const QList<CaptureGroup> &groups() const { return m_groups; }
    bool isGroup(const QModelIndex &index) const;
    QModelIndex groupIndex(int groupRow) const;
    QModelIndex frameIndex(const QUuid &frameId) const;
    QUuid frameId(const QModelIndex &index) const;
    // True while some frame still waits for its still or its cut-out.
    bool hasPendingFrames() const;

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

    AppState *m_state;
    QList<CaptureGroup> m_groups;
};
