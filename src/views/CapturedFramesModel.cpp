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

// Group rows carry 0 as internal identifier; frame rows their group's key, from 1 on.
constexpr quintptr groupMarker = 0;

} // namespace

CapturedFramesModel::CapturedFramesModel(CaptureDocument *document, FrameImageStore *images, QObject *parent)
    : QAbstractItemModel(parent), m_document(document), m_images(images)
{
    numberGroups();
    followDocument();
    connect(m_images, &FrameImageStore::imagesChanged, this, &CapturedFramesModel::frameChanged);
    connect(m_document, &CaptureDocument::frameChanged, this, &CapturedFramesModel::frameChanged);
}

void CapturedFramesModel::followDocument()
{
    CaptureDocument *document = m_document;
    connect(document, &CaptureDocument::contentAboutToBeReset, this, [this] { beginResetModel(); });
    connect(document, &CaptureDocument::contentReset, this, [this] {
        numberGroups();
        m_changedFrames.clear();
        endResetModel();
    });
    connect(document, &CaptureDocument::frameAboutToBeInserted, this,
            [this](int group, int position) { beginInsertRows(groupIndex(group), position, position); });
    connect(document, &CaptureDocument::frameInserted, this, [this] { endInsertRows(); });
    connect(document, &CaptureDocument::frameAboutToBeRemoved, this,
            [this](int group, int position) { beginRemoveRows(groupIndex(group), position, position); });
    connect(document, &CaptureDocument::frameRemoved, this, [this](const QUuid &frameId) {
        m_changedFrames.remove(frameId);
        endRemoveRows();
    });
    connect(document, &CaptureDocument::frameAboutToBeMoved, this,
            [this](int fromGroup, int fromPosition, int toGroup, int toPosition) {
                // A row moved down its own group goes before the row after its new place, as the
                // rows are before the move.
                const int destination =
                    fromGroup == toGroup && toPosition > fromPosition ? toPosition + 1 : toPosition;
                const bool valid = beginMoveRows(groupIndex(fromGroup), fromPosition, fromPosition,
                                                 groupIndex(toGroup), destination);
                Q_ASSERT(valid);
            });
    connect(document, &CaptureDocument::frameMoved, this, [this] { endMoveRows(); });
    connect(document, &CaptureDocument::groupAboutToBeInserted, this,
            [this](int position) { beginInsertRows({}, position, position); });
    connect(document, &CaptureDocument::groupInserted, this, [this](int position) {
        m_groupKeys.insert(position, ++m_lastKey);
        endInsertRows();
    });
    connect(document, &CaptureDocument::groupAboutToBeRemoved, this,
            [this](int position) { beginRemoveRows({}, position, position); });
    connect(document, &CaptureDocument::groupRemoved, this, [this](int position, const CaptureGroup &group) {
        for (const CapturedFrame &frame : group.frames)
            m_changedFrames.remove(frame.id);
        m_groupKeys.removeAt(position);
        endRemoveRows();
    });
    connect(document, &CaptureDocument::groupChanged, this, [this](int position) {
        const QModelIndex group = groupIndex(position);
        emit dataChanged(group, group);
    });
}

void CapturedFramesModel::numberGroups()
{
    m_groupKeys.clear();
    for (qsizetype g = 0; g < m_document->groups().size(); ++g)
        m_groupKeys << ++m_lastKey;
}

int CapturedFramesModel::groupRow(quintptr key) const
{
    return int(m_groupKeys.indexOf(key));
}

const CaptureGroup &CapturedFramesModel::groupOf(const QModelIndex &frame) const
{
    return m_document->groups().at(groupRow(frame.internalId()));
}

void CapturedFramesModel::frameChanged(const QUuid &frameId)
{
    if (m_changedFrames.isEmpty())
        QMetaObject::invokeMethod(this, &CapturedFramesModel::refreshChangedRows, Qt::QueuedConnection);
    m_changedFrames.insert(frameId);
}

void CapturedFramesModel::refreshChangedRows()
{
    QHash<int, QList<int>> rows; // per group
    for (const QUuid &frameId : std::as_const(m_changedFrames)) {
        if (const std::optional<CaptureDocument::FramePlace> place = m_document->place(frameId))
            rows[place->group] << place->position;
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
    const QList<CaptureGroup> &groups = m_document->groups();
    for (int g = 0; g < groups.size(); ++g) {
        if (!groups.at(g).frames.isEmpty())
            emit dataChanged(index(0, 0, groupIndex(g)),
                             index(int(groups.at(g).frames.size()) - 1, 0, groupIndex(g)),
                             {Qt::DisplayRole, TimeTextRole});
    }
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
    const std::optional<CaptureDocument::FramePlace> place = m_document->place(frameId);
    if (!place)
        return {};
    return createIndex(place->position, 0, m_groupKeys.at(place->group));
}

QUuid CapturedFramesModel::frameId(const QModelIndex &index) const
{
    if (!index.isValid() || isGroup(index))
        return {};
    return groupOf(index).frames.at(index.row()).id;
}

bool CapturedFramesModel::hasPendingFrames() const
{
    // A frame the store does not track yet waits too (its video is opening).
    return m_images->hasPendingFrames() || m_images->trackedCount() < m_document->frameCount();
}

QModelIndex CapturedFramesModel::index(int row, int column, const QModelIndex &parent) const
{
    const QList<CaptureGroup> &groups = m_document->groups();
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < groups.size() ? createIndex(row, 0, groupMarker) : QModelIndex();
    if (!isGroup(parent) || parent.row() >= groups.size() || row >= groups.at(parent.row()).frames.size())
        return {};
    return createIndex(row, 0, m_groupKeys.at(parent.row()));
}

QModelIndex CapturedFramesModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || isGroup(child))
        return {};
    return createIndex(groupRow(child.internalId()), 0, groupMarker);
}

int CapturedFramesModel::rowCount(const QModelIndex &parent) const
{
    const QList<CaptureGroup> &groups = m_document->groups();
    if (!parent.isValid())
        return int(groups.size());
    if (isGroup(parent) && parent.row() < groups.size())
        return int(groups.at(parent.row()).frames.size());
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
        const CaptureGroup &group = m_document->groups().at(index.row());
        switch (role) {
        case Qt::DisplayRole:
            return group.name;
        case GroupIdRole:
            return group.id;
        default:
            return {};
        }
    }
    const CaptureGroup &group = groupOf(index);
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
    const QList<CaptureGroup> &groups = m_document->groups();
    if (!data || !data->hasFormat(frameIdsMimeType) || groupRow < 0 || groupRow >= groups.size())
        return {};
    QByteArray encoded = data->data(frameIdsMimeType);
    QDataStream stream(&encoded, QIODevice::ReadOnly);
    QSet<int> positions;
    while (!stream.atEnd()) {
        QUuid id;
        stream >> id;
        const qsizetype position = groups.at(groupRow).indexOfFrame(id);
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
    const CaptureGroup &group = m_document->groups().at(parent.row());
    const int destination = row < 0 ? int(group.frames.size()) : row;
    m_document->moveFrames(group.id, sourcePositions(data, parent.row()), destination);
    return true;
}
