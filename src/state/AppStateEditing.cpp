// Editing of frames and groups: notes, annotations, deleting, reordering, regrouping.
#include "AppState.h"

#include <QCoreApplication>

#include <algorithm>

void AppState::updateFrame(const QUuid &id, const std::function<void(CapturedFrame &)> &change)
{
    QList<CaptureGroup> groups = m_groups;
    for (CaptureGroup &group : groups) {
        const qsizetype index = group.indexOfFrame(id);
        if (index < 0)
            continue;
        change(group.frames[index]);
        commitGroups(groups);
        return;
    }
}

void AppState::setNote(const QString &note, const QUuid &frameId)
{
    updateFrame(frameId, [&](CapturedFrame &frame) { frame.notes = note; });
}

void AppState::setAnnotations(const QList<Annotation> &annotations, const QUuid &frameId)
{
    updateFrame(frameId, [&](CapturedFrame &frame) { frame.annotations = annotations; });
}

void AppState::deleteFrame(QUuid id)
{
    QList<CaptureGroup> groups = m_groups;
    for (CaptureGroup &group : groups)
        group.frames.removeIf([&](const CapturedFrame &frame) { return frame.id == id; });
    commitGroups(groups);

    if (m_selection.contains(id)) {
        QSet<QUuid> selection = m_selection;
        selection.remove(id);
        setSelection(selection);
    }
}

void AppState::moveFrames(const QUuid &groupId, const QSet<int> &positions, int destination)
{
    const auto groupIt = std::find_if(m_groups.cbegin(), m_groups.cend(),
                                      [&](const CaptureGroup &group) { return group.id == groupId; });
    if (groupIt == m_groups.cend())
        return;
    QList<CaptureGroup> groups = m_groups;
    QList<CapturedFrame> &frames = groups[groupIt - m_groups.cbegin()].frames;

    QList<int> sorted(positions.cbegin(), positions.cend());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(
        std::remove_if(sorted.begin(), sorted.end(), [&](int p) { return p < 0 || p >= frames.size(); }),
        sorted.end());
    if (sorted.isEmpty())
        return;

    QList<CapturedFrame> moving;
    QList<CapturedFrame> staying;
    for (int i = 0; i < frames.size(); ++i) {
        if (std::binary_search(sorted.cbegin(), sorted.cend(), i))
            moving << frames.at(i);
        else
            staying << frames.at(i);
    }
    const int clampedDestination = std::clamp(destination, 0, int(frames.size()));
    const int movedBefore =
        int(std::count_if(sorted.cbegin(), sorted.cend(), [&](int p) { return p < clampedDestination; }));
    const int insertAt = clampedDestination - movedBefore;
    for (int i = 0; i < moving.size(); ++i)
        staying.insert(insertAt + i, moving.at(i));
    frames = staying;
    commitGroups(groups);
}

void AppState::moveFrame(const QUuid &frameId, const QUuid &groupId)
{
    const auto target = std::find_if(m_groups.cbegin(), m_groups.cend(),
                                     [&](const CaptureGroup &group) { return group.id == groupId; });
    if (target == m_groups.cend())
        return;
    const qsizetype targetIndex = target - m_groups.cbegin();

    QList<CaptureGroup> groups = m_groups;
    for (CaptureGroup &group : groups) {
        const qsizetype index = group.indexOfFrame(frameId);
        if (index < 0)
            continue;
        const CapturedFrame frame = group.frames.takeAt(index);
        groups[targetIndex].frames.append(frame);
        commitGroups(groups);
        return;
    }
}

void AppState::addGroup()
{
    const CaptureGroup group(QCoreApplication::translate("AppState", "Groupe %1").arg(m_groups.size() + 1));
    QList<CaptureGroup> groups = m_groups;
    groups.append(group);
    commitGroups(groups);
    setActiveGroupID(group.id);
}

void AppState::deleteGroup(QUuid id)
{
    if (m_groups.size() <= 1)
        return;
    const auto it = std::find_if(m_groups.cbegin(), m_groups.cend(),
                                 [&](const CaptureGroup &group) { return group.id == id; });
    if (it == m_groups.cend())
        return;

    QSet<QUuid> selection = m_selection;
    for (const CapturedFrame &frame : it->frames)
        selection.remove(frame.id);
    setSelection(selection);

    QList<CaptureGroup> groups = m_groups;
    groups.removeAt(it - m_groups.cbegin());
    commitGroups(groups);
    if (m_activeGroupID == id)
        setActiveGroupID(m_groups.first().id);
}

void AppState::setActiveGroup(const QUuid &id)
{
    setActiveGroupID(id);
}

void AppState::setGroupName(const QUuid &groupId, const QString &name)
{
    QList<CaptureGroup> groups = m_groups;
    for (CaptureGroup &group : groups) {
        if (group.id == groupId) {
            group.name = name;
            setGroups(groups);
            return;
        }
    }
}

void AppState::setGroupNotes(const QUuid &groupId, const QString &notes)
{
    QList<CaptureGroup> groups = m_groups;
    for (CaptureGroup &group : groups) {
        if (group.id == groupId) {
            group.notes = notes;
            setGroups(groups);
            return;
        }
    }
}
