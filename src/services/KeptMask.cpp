#include "KeptMask.h"

#include "services/LiftedFrameCache.h"

KeptMask::KeptMask(QByteArray bytes) : m_bytes(std::move(bytes)) {}

KeptMask::KeptMask(std::shared_ptr<const LiftedFrameCache> cache, QByteArray key)
    : m_cache(std::move(cache)), m_key(std::move(key))
{}

QByteArray KeptMask::bytes() const
{
    if (!m_bytes.isEmpty() || !m_cache)
        return m_bytes;
    const std::optional<LiftedFrame> frame = m_cache->load(m_key, LiftedFrameCache::Contents::Mask);
    return frame ? frame->mask : QByteArray();
}
