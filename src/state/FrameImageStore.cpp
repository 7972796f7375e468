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

bool FrameImageStore::hasPendingFrames() const
{
    for (const Entry &entry : m_entries) {
        if (!entry.images.isFinished())
            return true;
    }
    return false;
}

void FrameImageStore::setMemoryBudget(qint64 bytes)
{
    m_memoryBudget = bytes;
    fitBudget(QUuid());
}

FrameImageStore::Ticket FrameImageStore::track(const QUuid &frameId)
{
    Entry &entry = m_entries[frameId];
    m_memoryUsed -= bytesOf(entry.images.still) + bytesOf(entry.images.subject);
    entry = Entry();
    entry.ticket = ++m_lastTicket;
    emit imagesChanged(frameId);
    return entry.ticket;
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
        else if (!entry->images.hasThumbnail())
            entry->images.thumbnail = LiftedFrame::thumbnailOf(still);
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
        images.correctedMask.clear();
        images.corrections.clear();
        images.thumbnail = lifted.thumbnail;
        images.subjectThumbnail = lifted.subjectThumbnail;
        images.extraction =
            lifted.hasSubject ? FrameImages::Extraction::Lifted : FrameImages::Extraction::NoSubject;
        images.failure.clear();
        if (!lifted.hasSubject)
            replacePicture(*entry, &FrameImages::subject, QImage());
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::setCorrected(const QUuid &frameId, Ticket ticket,
                                   const QList<CutoutCorrection> &corrections,
                                   const QByteArray &correctedMask, const QImage &subject)
{
    Entry *entry = current(frameId, ticket);
    if (!entry || entry->images.mask.isEmpty() || entry->images.hasFailed())
        return;
    FrameImages &images = entry->images;
    images.corrections = corrections;
    images.correctedMask = corrections.isEmpty() ? QByteArray() : correctedMask;
    replacePicture(*entry, &FrameImages::subject, subject);
    images.subjectThumbnail = subject.isNull() ? QImage() : LiftedFrame::thumbnailOf(subject);
    images.extraction =
        subject.isNull() ? FrameImages::Extraction::NoSubject : FrameImages::Extraction::Lifted;
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
        if (entry->images.subjectThumbnail.isNull())
            entry->images.subjectThumbnail = LiftedFrame::thumbnailOf(subject);
        entry->images.extraction = FrameImages::Extraction::Lifted;
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
        entry->images.extraction = FrameImages::Extraction::NoSubject;
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
        entry->images.extraction = FrameImages::Extraction::Failed;
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
    m_memoryUsed -= bytesOf(it->images.still) + bytesOf(it->images.subject);
    m_entries.erase(it);
    emit imagesChanged(frameId);
}

void FrameImageStore::clear()
{
    const QList<QUuid> frames = m_entries.keys();
    m_entries.clear();
    m_memoryUsed = 0;
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
    if (images.isLifted() && !images.hasSubject() && !images.cutOutMask().isEmpty() && !it->wanted) {
        it->wanted = true;
        emit picturesWanted(frameId);
    }
}
