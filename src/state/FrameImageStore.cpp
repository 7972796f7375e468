#include "FrameImageStore.h"

FrameImageStore::FrameImageStore(QObject *parent) : QObject(parent) {}

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

bool FrameImageStore::hasPendingFrames() const
{
    for (const Entry &entry : m_entries) {
        if (!entry.images.isFinished())
            return true;
    }
    return false;
}

FrameImageStore::Ticket FrameImageStore::track(const QUuid &frameId)
{
    Entry &entry = m_entries[frameId];
    entry.ticket = ++m_lastTicket;
    entry.images = FrameImages();
    emit imagesChanged(frameId);
    return entry.ticket;
}

FrameImageStore::Entry *FrameImageStore::current(const QUuid &frameId, Ticket ticket)
{
    const auto it = m_entries.find(frameId);
    return it != m_entries.end() && it->ticket == ticket ? &*it : nullptr;
}

void FrameImageStore::setStill(const QUuid &frameId, Ticket ticket, const QImage &still)
{
    if (Entry *entry = current(frameId, ticket)) {
        entry->images.still = still;
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::setSubject(const QUuid &frameId, Ticket ticket, const QImage &subject)
{
    if (Entry *entry = current(frameId, ticket)) {
        entry->images.subject = subject;
        entry->images.extraction = FrameImages::Extraction::Lifted;
        entry->images.failure.clear();
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::setNoSubject(const QUuid &frameId, Ticket ticket)
{
    if (Entry *entry = current(frameId, ticket)) {
        entry->images.subject = QImage();
        entry->images.extraction = FrameImages::Extraction::NoSubject;
        entry->images.failure.clear();
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::setFailed(const QUuid &frameId, Ticket ticket, const QString &message)
{
    if (Entry *entry = current(frameId, ticket)) {
        entry->images.subject = QImage();
        entry->images.extraction = FrameImages::Extraction::Failed;
        entry->images.failure = message;
        emit imagesChanged(frameId);
    }
}

void FrameImageStore::forget(const QUuid &frameId)
{
    if (m_entries.remove(frameId))
        emit imagesChanged(frameId);
}

void FrameImageStore::clear()
{
    const QList<QUuid> frames = m_entries.keys();
    m_entries.clear();
    for (const QUuid &frameId : frames)
        emit imagesChanged(frameId);
}
