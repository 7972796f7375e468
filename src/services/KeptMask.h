#pragma once

#include <QByteArray>

#include <memory>

class LiftedFrameCache;

// Where a lifted frame's mask (SubjectMask::encoded()) is kept: in memory, or only in the
// lifted-frame cache, from which it is read back when wanted. Cheap to copy; read on any thread,
// but reading from the cache touches the disk, so it belongs on a worker thread.
class KeptMask
{
public:
    KeptMask() = default;
    // A mask held in memory (empty for none).
    KeptMask(QByteArray bytes); // NOLINT(google-explicit-constructor): a mask in memory is one kept
    // A mask kept in `cache` under `key` only.
    KeptMask(std::shared_ptr<const LiftedFrameCache> cache, QByteArray key);

    bool isEmpty() const { return m_bytes.isEmpty() && (!m_cache || m_key.isEmpty()); }
    bool isInMemory() const { return !m_bytes.isEmpty(); }
    // The mask; read from the cache when it is kept there only. Empty when there is none, or when
    // the cache has lost its entry meanwhile.
    QByteArray bytes() const;

private:
    QByteArray m_bytes;
    std::shared_ptr<const LiftedFrameCache> m_cache;
    QByteArray m_key;
};
