#include "FrameWorkQueue.h"

namespace {

// A large selection (all frames, say) is looked at only in part: beyond this the frames it holds
// wait their turn in order.
constexpr int SelectedLooked = 256;

} // namespace

void FrameWorkQueue::add(const QUuid &frameId)
{
    if (m_waiting.contains(frameId))
        return;
    m_waiting.insert(frameId);
    m_order.append(frameId);
}

void FrameWorkQueue::clear()
{
    m_waiting.clear();
    m_order.clear();
    m_head = 0;
}

QUuid FrameWorkQueue::takeAmong(const QSet<QUuid> &frames, int limit)
{
    int looked = 0;
    for (const QUuid &frameId : frames) {
        if (++looked > limit)
            break;
        if (m_waiting.remove(frameId))
            return frameId;
    }
    return {};
}

QUuid FrameWorkQueue::take(const Attention &attention)
{
    if (m_waiting.isEmpty()) {
        clear();
        return {};
    }
    for (const QUuid &frameId : attention.visible) {
        if (m_waiting.remove(frameId))
            return frameId;
    }
    if (QUuid frameId = takeAmong(attention.selected, SelectedLooked); !frameId.isNull())
        return frameId;
    if (QUuid frameId = takeAmong(attention.nearby, int(attention.nearby.size())); !frameId.isNull())
        return frameId;
    while (m_head < m_order.size()) {
        const QUuid frameId = m_order.at(m_head++);
        if (m_waiting.remove(frameId)) {
            // What has been passed over goes, once it is the larger part.
            if (m_head > 1024 && m_head * 2 > m_order.size()) {
                m_order.remove(0, m_head);
                m_head = 0;
            }
            return frameId;
        }
    }
    return {};
}
