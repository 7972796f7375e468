#include "CapturedFramesModel.h"

#include "TakeoutMimeData.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>

namespace {

constexpr QLatin1StringView frameIdsMimeType("application/x-quintarel-frame-ids");

// Child rows carry their group's row + 1 as internal identifier; group rows carry 0.
constexpr quintptr groupMarker = 0;

QList<QUuid> frameIds(const CaptureGroup &group)
{
    QList<QUuid> ids;
    ids.reserve(group.frames.size());
    for (const CapturedFrame &frame : group.frames)
        ids << frame.id;
    return ids;
}

} // namespace

CapturedFramesModel::CapturedFramesModel(CaptureDocument *document, FrameImageStore *images, QObject *parent)
    : QAbstractItemModel(parent), m_document(document), m_images(images), m_groups(document->groups())
{
    indexFrames();
    connect(m_images, &FrameImageStore::imagesChanged, this, &CapturedFramesModel::imagesChanged);
}

void CapturedFramesModel::imagesChanged(const QUuid &frameId)
{
    if (!m_places.contains(frameId))
        return;
    if (m_changedFrames.isEmpty())
        QMetaObject::invokeMethod(this, &CapturedFramesModel::refreshChangedRows, Qt::QueuedConnection);
    m_changedFrames.insert(frameId);
}

void CapturedFramesModel::refreshChangedRows()
{
    QHash<int, QList<int>> rows; // per group
    for (const QUuid &frameId : std::as_const(m_changedFrames)) {
        if (const auto place = m_places.constFind(frameId); place != m_places.cend())
            rows[place->group] << place->row;
    }
    m_changedFrames.clear();
    if (rows.isEmpty())
        return;
    // Rows close together go as one range; rows far apart as ranges of their own, so that a
    // refresh never goes through the many rows between them.
    constexpr int gap = 32;
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        QList<int> &changed = *it;
        std::sort(changed.begin(), changed.end());
        const QModelIndex group = groupIndex(it.key());
        for (qsizetype first = 0; first < changed.size();) {
            qsizetype last = first;
            while (last + 1 < changed.size() && changed.at(last + 1) - changed.at(last) <= gap)
                ++last;
            emit dataChanged(index(changed.at(first), 0, group), index(changed.at(last), 0, group));
            first = last + 1;
        }
    }
    emit frameImagesChanged();
}

void CapturedFramesModel::setTimeOrigin(const MediaTime &origin)
{
    if (m_timeOrigin == origin)
        return;
    m_timeOrigin = origin;
    for (int g = 0; g < m_groups.size(); ++g) {
        if (!m_groups.at(g).frames.isEmpty())
            emit dataChanged(index(0, 0, groupIndex(g)),
                             index(int(m_groups.at(g).frames.size()) - 1, 0, groupIndex(g)),
                             {Qt::DisplayRole, TimeTextRole});
    }
}

void CapturedFramesModel::indexFrames()
{
    m_places.clear();
    for (int g = 0; g < m_groups.size(); ++g) {
        const QList<CapturedFrame> &frames = m_groups.at(g).frames;
        for (int row = 0; row < frames.size(); ++row)
            m_places.insert(frames.at(row).id, Place{g, row});
    }
}

bool CapturedFramesModel::sync()
{
    const QList<CaptureGroup> &groups = m_document->groups();
    const bool sameGroups =
        groups.size() == m_groups.size() &&
        std::equal(groups.cbegin(), groups.cend(), m_groups.cbegin(),
                   [](const CaptureGroup &a, const CaptureGroup &b) { return a.id == b.id; });
    if (!sameGroups) {
        beginResetModel();
        m_groups = groups;
        indexFrames();
        endResetModel();
        return true;
    }

    for (int g = 0; g < groups.size(); ++g) {
        const QList<QUuid> before = frameIds(m_groups.at(g));
        const QList<QUuid> after = frameIds(groups.at(g));
        const QModelIndex parentIndex = groupIndex(g);
        if (before == after) {
            m_groups[g] = groups.at(g);
        } else if (after.size() > before.size() &&
                   std::equal(before.cbegin(), before.cend(), after.cbegin())) {
            // Captures append at the end: keep the rows that are there.
            beginInsertRows(parentIndex, int(before.size()), int(after.size()) - 1);
            m_groups[g] = groups.at(g);
            indexFrames();
            endInsertRows();
        } else {
            if (!before.isEmpty()) {
                beginRemoveRows(parentIndex, 0, int(before.size()) - 1);
                m_groups[g].frames.clear();
                indexFrames();
                endRemoveRows();
            }
            if (!after.isEmpty()) {
                beginInsertRows(parentIndex, 0, int(after.size()) - 1);
                m_groups[g] = groups.at(g);
                indexFrames();
                endInsertRows();
            }
            m_groups[g] = groups.at(g);
            indexFrames();
        }
        emit dataChanged(parentIndex, parentIndex);
        if (!after.isEmpty())
            emit dataChanged(index(0, 0, parentIndex), index(int(after.size()) - 1, 0, parentIndex));
    }
    return false;
}

bool CapturedFramesModel::isGroup(const QModelIndex &index) const
{
    return index.isValid() && index.internalId() == groupMarker;
}

QModelIndex CapturedFramesModel::groupIndex(int groupRow) const
{
    return index(groupRow, 0);
}

QModelIndex CapturedFramesModel::frameIndex(const QUuid &frameId) const
{
    const auto place = m_places.constFind(frameId);
    if (place == m_places.cend())
        return {};
    return createIndex(place->row, 0, quintptr(place->group) + 1);
}

QUuid CapturedFramesModel::frameId(const QModelIndex &index) const
{
    if (!index.isValid() || isGroup(index))
        return {};
    return m_groups.at(int(index.internalId()) - 1).frames.at(index.row()).id;
}

bool CapturedFramesModel::hasPendingFrames() const
{
    // A frame the store does not track yet waits too (its video is opening).
    return m_images->hasPendingFrames() || m_images->trackedCount() < m_places.size();
}

QModelIndex CapturedFramesModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < m_groups.size() ? createIndex(row, 0, groupMarker) : QModelIndex();
    if (!isGroup(parent) || parent.row() >= m_groups.size() || row >= m_groups.at(parent.row()).frames.size())
        return {};
    return createIndex(row, 0, quintptr(parent.row()) + 1);
}

QModelIndex CapturedFramesModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || isGroup(child))
        return {};
    return createIndex(int(child.internalId()) - 1, 0, groupMarker);
}

int CapturedFramesModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_groups.size());
    if (isGroup(parent) && parent.row() < m_groups.size())
        return int(m_groups.at(parent.row()).frames.size());
    return 0;
}

int CapturedFramesModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant CapturedFramesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (isGroup(index)) {
        const CaptureGroup &group = m_groups.at(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return group.name;
        case GroupIdRole:
            return group.id;
        default:
            return {};
        }
    }
    const CaptureGroup &group = m_groups.at(int(index.internalId()) - 1);
    const CapturedFrame &frame = group.frames.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case TimeTextRole:
        return frame.time.measuredFrom(m_timeOrigin).displayString();
    case FrameIdRole:
        return frame.id;
    case GroupIdRole:
        return group.id;
    case ThumbnailRole:
        return m_images->images(frame.id).thumbnail;
    case SubjectPreviewRole:
        return m_images->images(frame.id).subjectThumbnail;
    case SubjectExtractedRole:
        return m_images->images(frame.id).isFinished();
    case FailureRole:
        return m_images->images(frame.id).failure;
    case Qt::ToolTipRole: {
        const FrameImages images = m_images->images(frame.id);
        return images.hasFailed() ? images.failure : QVariant();
    }
    default:
        return {};
    }
}

Qt::ItemFlags CapturedFramesModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isGroup(index))
        return Qt::ItemIsEnabled | Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

Qt::DropActions CapturedFramesModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions CapturedFramesModel::supportedDragActions() const
{
    // Copied when dropped on another program.
    return Qt::MoveAction | Qt::CopyAction;
}

QStringList CapturedFramesModel::mimeTypes() const
{
    return {frameIdsMimeType};
}

QMimeData *CapturedFramesModel::mimeData(const QModelIndexList &indexes) const
{
    QByteArray encoded;
    QDataStream stream(&encoded, QIODevice::WriteOnly);
    QList<QUuid> frames;
    for (const QModelIndex &index : indexes) {
        const QUuid id = frameId(index);
        if (!id.isNull()) {
            stream << id;
            frames << id;
        }
    }
    // Outside the window the frames are their finished pictures; they are made only if they are
    // dropped there.
    QMimeData *data = m_takeout ? TakeoutMimeData::forFrames(*m_takeout, frames, true) : new QMimeData;
    data->setData(frameIdsMimeType, encoded);
    return data;
}

QSet<int> CapturedFramesModel::sourcePositions(const QMimeData *data, int groupRow) const
{
    if (!data || !data->hasFormat(frameIdsMimeType) || groupRow < 0 || groupRow >= m_groups.size())
        return {};
    QByteArray encoded = data->data(frameIdsMimeType);
    QDataStream stream(&encoded, QIODevice::ReadOnly);
    QSet<int> positions;
    while (!stream.atEnd()) {
        QUuid id;
        stream >> id;
        const qsizetype position = m_groups.at(groupRow).indexOfFrame(id);
        if (position < 0)
            return {}; // rows of another group cannot be dropped here
        positions.insert(int(position));
    }
    return positions;
}

bool CapturedFramesModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                          const QModelIndex &parent) const
{
    return action == Qt::MoveAction && isGroup(parent) && !sourcePositions(data, parent.row()).isEmpty();
}

bool CapturedFramesModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                       const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const CaptureGroup &group = m_groups.at(parent.row());
    const int destination = row < 0 ? int(group.frames.size()) : row;
    m_document->moveFrames(group.id, sourcePositions(data, parent.row()), destination);
    return true;
}
