#pragma once

#include <QList>
#include <QSet>
#include <QUuid>

// Frames waiting for one kind of background work, by identifier only: waiting holds no picture.
// They are taken those of the rows on screen first, in their order, then the selected ones, then
// those near the rows on screen, then the others in the order they came. Adding a frame that waits
// already changes nothing.
class FrameWorkQueue
{
public:
    // What comes first, as the caller sees it now.
    struct Attention
    {
        const QList<QUuid> &visible;
        const QSet<QUuid> &selected;
        const QSet<QUuid> &nearby;
    };

    void add(const QUuid &frameId);
    void remove(const QUuid &frameId) { m_waiting.remove(frameId); }
    bool contains(const QUuid &frameId) const { return m_waiting.contains(frameId); }
    bool isEmpty() const { return m_waiting.isEmpty(); }
    qsizetype size() const { return m_waiting.size(); }
    void clear();

    // Takes the frame to work on next; null when none waits.
    QUuid take(const Attention &attention);

private:
    // The first of `frames` that waits, taken; null when none does. Looks at `limit` of them at most.
    QUuid takeAmong(const QSet<QUuid> &frames, int limit);

    QSet<QUuid> m_waiting;
    // The order frames came in; a frame taken or removed meanwhile is passed over.
    QList<QUuid> m_order;
    qsizetype m_head = 0;
};
