#include "FrameImageStore.h"

#include "services/LiftedFrame.h"

namespace {

qint64 bytesOf(const QImage &image)
{
    return image.isNull() ? 0 : image.sizeInBytes();
}

} // namespace

FrameImageStore::FrameImageStore(QObject *parent) : QObject(parent) {}

FrameImageStore::~FrameImageStore() = default;

FrameImages FrameImageStore::images(const QUuid &frameId) const
{
    const auto it = m_entries.constFind(frameId);
    return it == m_entries.cend() ? FrameImages() : it->images;
}

bool FrameImageStore::isCurrent(const QUuid &frameId, Ticket ticket) const
{
    const auto it = m_entries.constFind(frameId);
    return it != m_entries.cend() && it->ticket == ticket;
}

FrameImageStore::Ticket FrameImageStore::ticket(const QUuid &frameId) const
{
    const auto it = m_entries.constFind(frameId);
    return it == m_entries.cend() ? 0 : it->ticket;
}

void FrameImageStore::setMemoryBudget(qint64 bytes)
{
    m_memoryBudget = bytes;
    fitBudget(QUuid());
}

FrameImageStore::Ticket FrameImageStore::track(const QUuid &frameId)
{
    const auto known = m_entries.find(frameId);
    if (known != m_entries.end())
        uncount(frameId, *known);
    Entry &entry = known != m_entries.end() ? *known : m_entries[frameId];
    entry = Entry();
    entry.ticket = ++m_lastTicket;
    ++m_pendingCount;
    emit imagesChanged(frameId);
    return entry.ticket;
}

void FrameImageStore::uncount(const QUuid &frameId, const Entry &entry)
{
    m_memoryUsed -= bytesOf(entry.images.still) + bytesOf(entry.images.subject);
    if (!entry.images.isFinished())
        --m_pendingCount;
    m_thumbnailUse.remove(frameId);
    m_maskUse.remove(frameId);
}

void FrameImageStore::setExtraction(Entry &entry, FrameImages::Extraction extraction)
{
    const bool wasPending = !entry.images.isFinished();
    entry.images.extraction = extraction;
    m_pendingCount += int(!entry.images.isFinished()) - int(wasPending);
}

void FrameImageStore::setFramesInView(const QList<QUuid> &visible, const QSet<QUuid> &nearby)
{
    if (visible == m_visible && nearby == m_nearby)
        return;
    m_visible = visible;
    m_nearby = nearby;
    for (const QUuid &frameId : nearby) {
        const auto it = m_entries.find(frameId);
        if (it == m_entries.end())
            continue;
        if (m_thumbnailUse.contains(frameId))
            m_thumbnailUse[frameId] = ++m_useClock;
        else
            askThumbnails(frameId, *it);
    }
    fitThumbnails(QUuid());
    emit framesInViewChanged();
}

bool FrameImageStore::wouldHoldThumbnails(const QUuid &frameId) const
{
    return m_nearby.contains(frameId) || m_thumbnailUse.size() < ThumbnailsHeld;
}

void FrameImageStore::askThumbnails(const QUuid &frameId, Entry &entry)
{
    if (entry.images.thumbnailsLetGo)
        emit thumbnailsWanted(frameId);
}

void FrameImageStore::useThumbnails(const QUuid &frameId, Entry &entry)
{
    if (entry.images.hasThumbnail() || !entry.images.subjectThumbnail.isNull()) {
        entry.images.thumbnailsLetGo = false;
        m_thumbnailUse[frameId] = ++m_useClock;
        fitThumbnails(frameId);
    }
}

void FrameImageStore::useMask(const QUuid &frameId, Entry &entry)
{
    if (entry.maskCache && !entry.images.mask.isEmpty()) {
        m_maskUse[frameId] = ++m_useClock;
        fitMasks(frameId);
    }
}

void FrameImageStore::fitThumbnails(const QUuid &kept)
{
    // Only frames whose pictures the disk cache can give back, and whose cut-out is the one it
    // keeps, let them go.
    while (m_thumbnailUse.size() > ThumbnailsHeld) {
        QUuid oldest;
        quint64 oldestUse = 0;
        for (auto it = m_thumbnailUse.cbegin(); it != m_thumbnailUse.cend(); ++it) {
            if (it.key() == kept || m_nearby.contains(it.key()) ||
                (!oldest.isNull() && it.value() >= oldestUse))
                continue;
            const Entry &entry = m_entries[it.key()];
            if (entry.maskCache && entry.images.corrections.isEmpty()) {
                oldest = it.key();
                oldestUse = it.value();
            }
        }
        if (oldest.isNull())
            return;
        m_thumbnailUse.remove(oldest);
        FrameImages &images = m_entries[oldest].images;
        images.thumbnail = QImage();
        images.subjectThumbnail = QImage();
        images.thumbnailsLetGo = true;
        emit imagesChanged(oldest);
    }
}

void FrameImageStore::fitMasks(const QUuid &kept)
{
    while (m_maskUse.size() > MasksHeld) {
        QUuid oldest;
        quint64 oldestUse = 0;
        for (auto it = m_maskUse.cbegin(); it != m_maskUse.cend(); ++it) {
            if (it.key() != kept && (oldest.isNull() || it.value() < oldestUse)) {
                oldest = it.key();
                oldestUse = it.value();
            }
        }
        if (oldest.isNull())
            return;
        m_maskUse.remove(oldest);
        m_entries[oldest].images.mask.clear();
    }
}

KeptMask FrameImageStore::keptMask(const QUuid &frameId) const
{
    const auto it = m_entries.constFind(frameId);
    if (it == m_entries.cend() || !it->images.hasMask())
        return {};
    if (!it->images.mask.isEmpty() || !it->maskCache)
        return KeptMask(it->images.mask);
    return {it->maskCache, it->maskKey};
}

FrameImageStore::Entry *FrameImageStore::current(const QUuid &frameId, Ticket ticket)
{
    const auto it = m_entries.find(frameId);
    return it != m_entries.end() && it->ticket == ticket ? &*it : nullptr;
}

void FrameImageStore::replacePicture(Entry &entry, QImage FrameImages::*picture, const QImage &image)
{
    m_memoryUsed += bytesOf(image) - bytesOf(entry.images.*picture);
    entry.images.*picture = image;
}

void FrameImageStore::fitBudget(const QUuid &kept)
{
    while (m_memoryUsed > m_memoryBudget) {
        Entry *oldest = nullptr;
        QUuid oldestId;
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            const bool holds = it->images.hasStill() || it->images.hasSubject();
            if (holds && it.key() != kept && (!oldest || it->lastUse < oldest->lastUse)) {
                oldest = &*it;
                oldestId = it.key();
            }
        }
        if (!oldest)
            return;
        replacePicture(*oldest, &FrameImages::still, QImage());
        replacePicture(*oldest, &FrameImages::subject, QImage());
        emit imagesChanged(oldestId);
    }
}

void FrameImageStore::setStill(const QUuid &frameId, Ticket ticket, const QImage &still,
                               const QImage &thumbnail)
{
    if (Entry *entry = current(frameId, ticket)) {
        replacePicture(*entry, &FrameImages::still, still);
        if (!thumbnail.isNull())
            entry->images.thumbnail = thumbnail;
        else if (!entry->images.hasThumbnail() && !entry->images.thumbnailsLetGo)
            entry->images.thumbnail = LiftedFrame::thumbnailOf(still);
        useThumbnails(frameId, *entry);
        entry->lastUse = ++m_useClock;
        // A frame without cut-out has all its full-size pictures back with its still.
        if (!entry->images.isLifted())
            entry->wanted = false;
        fitBudget(frameId);
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::setLifted(const QUuid &frameId, Ticket ticket, const LiftedFrame &lifted)
{
    if (Entry *entry = current(frameId, ticket)) {
        FrameImages &images = entry->images;
        images.mask = lifted.mask;
        images.lifting = ++m_lastLifting;
        images.correctedMask.clear();
        images.corrections.clear();
        // A lifting made now is not the one the disk kept before.
        entry->maskCache.reset();
        entry->maskKey.clear();
        m_maskUse.remove(frameId);
        images.thumbnail = lifted.thumbnail;
        images.subjectThumbnail = lifted.subjectThumbnail;
        // A lifting read without its small pictures, for a frame far from the rows shown.
        images.thumbnailsLetGo = lifted.thumbnail.isNull();
        if (images.thumbnailsLetGo)
            m_thumbnailUse.remove(frameId);
        setExtraction(*entry, lifted.hasSubject ? FrameImages::Extraction::Lifted
                                                : FrameImages::Extraction::NoSubject);
        images.failure.clear();
        if (!lifted.hasSubject)
            replacePicture(*entry, &FrameImages::subject, QImage());
        useThumbnails(frameId, *entry);
        if (images.thumbnailsLetGo && m_nearby.contains(frameId))
            askThumbnails(frameId, *entry);
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::setMaskKept(const QUuid &frameId, Ticket ticket,
                                  std::shared_ptr<const LiftedFrameCache> cache, const QByteArray &key)
{
    Entry *entry = current(frameId, ticket);
    if (!entry || !entry->images.hasMask() || !cache || key.isEmpty())
        return;
    entry->maskCache = std::move(cache);
    entry->maskKey = key;
    useMask(frameId, *entry);
    // Its small pictures can be made again from the disk now.
    fitThumbnails(frameId);
}

void FrameImageStore::setThumbnails(const QUuid &frameId, Ticket ticket, const QImage &thumbnail,
                                    const QImage &subjectThumbnail)
{
    Entry *entry = current(frameId, ticket);
    if (!entry || !entry->images.thumbnailsLetGo)
        return;
    entry->images.thumbnail = thumbnail;
    entry->images.subjectThumbnail = entry->images.isLifted() ? subjectThumbnail : QImage();
    useThumbnails(frameId, *entry);
    emit imagesChanged(frameId);
}

void FrameImageStore::setCorrected(const QUuid &frameId, Ticket ticket,
                                   const QList<CutoutCorrection> &corrections,
                                   const QByteArray &correctedMask, const QImage &subject)
{
    Entry *entry = current(frameId, ticket);
    if (!entry || !entry->images.hasMask() || entry->images.hasFailed())
        return;
    FrameImages &images = entry->images;
    images.corrections = corrections;
    images.correctedMask = corrections.isEmpty() ? QByteArray() : correctedMask;
    replacePicture(*entry, &FrameImages::subject, subject);
    images.subjectThumbnail = subject.isNull() ? QImage() : LiftedFrame::thumbnailOf(subject);
    setExtraction(*entry,
                  subject.isNull() ? FrameImages::Extraction::NoSubject : FrameImages::Extraction::Lifted);
    images.failure.clear();
    entry->lastUse = ++m_useClock;
    entry->wanted = false;
    fitBudget(frameId);
    emit imagesChanged(frameId);
}

void FrameImageStore::setSubject(const QUuid &frameId, Ticket ticket, const QImage &subject)
{
    if (Entry *entry = current(frameId, ticket)) {
        replacePicture(*entry, &FrameImages::subject, subject);
        if (entry->images.subjectThumbnail.isNull() && !entry->images.thumbnailsLetGo)
            entry->images.subjectThumbnail = LiftedFrame::thumbnailOf(subject);
        setExtraction(*entry, FrameImages::Extraction::Lifted);
        entry->images.failure.clear();
        entry->lastUse = ++m_useClock;
        entry->wanted = false;
        fitBudget(frameId);
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::setNoSubject(const QUuid &frameId, Ticket ticket)
{
    if (Entry *entry = current(frameId, ticket)) {
        replacePicture(*entry, &FrameImages::subject, QImage());
        entry->images.subjectThumbnail = QImage();
        setExtraction(*entry, FrameImages::Extraction::NoSubject);
        entry->images.failure.clear();
        entry->wanted = false;
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::setFailed(const QUuid &frameId, Ticket ticket, const QString &message)
{
    if (Entry *entry = current(frameId, ticket)) {
        replacePicture(*entry, &FrameImages::subject, QImage());
        entry->images.subjectThumbnail = QImage();
        setExtraction(*entry, FrameImages::Extraction::Failed);
        entry->images.failure = message;
        entry->wanted = false;
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::forget(const QUuid &frameId)
{
    const auto it = m_entries.find(frameId);
    if (it == m_entries.end())
        return;
    uncount(frameId, *it);
    m_entries.erase(it);
    emit imagesChanged(frameId);
}

void FrameImageStore::clear()
{
    const QList<QUuid> frames = m_entries.keys();
    m_entries.clear();
    m_memoryUsed = 0;
    m_pendingCount = 0;
    m_thumbnailUse.clear();
    m_maskUse.clear();
    for (const QUuid &frameId : frames)
        emit imagesChanged(frameId);
}

void FrameImageStore::request(const QUuid &frameId)
{
    const auto it = m_entries.find(frameId);
    if (it == m_entries.end())
        return;
    it->lastUse = ++m_useClock;
    const FrameImages &images = it->images;
    // Only the cut-out of a finished lifting is made again from its mask; a frame still being made
    // has its pictures coming, and a failed one has none to come.
    if (images.isLifted() && !images.hasSubject() && images.hasMask() && !it->wanted) {
        it->wanted = true;
        emit picturesWanted(frameId);
    }
}
