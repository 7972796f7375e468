#pragma once

#include "state/FrameImages.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QUuid>

// The pictures background work makes for the captured frames, keyed by frame identifier. They are
// kept apart from the document: they are not the user's edits, never go through the undo stack and
// are never saved. An entry is opened for a frame with `track`, which hands out a ticket; results
// carry that ticket, so a result for a frame that was forgotten meanwhile (deleted, or replaced by
// another video or project) is dropped, even if the frame has come back since. Main thread only.
class FrameImageStore : public QObject
{
    Q_OBJECT

public:
    using Ticket = quint64;

    explicit FrameImageStore(QObject *parent = nullptr);

    // What is known of the frame's pictures; pending and empty for a frame the store does not track.
    FrameImages images(const QUuid &frameId) const;
    bool isTracked(const QUuid &frameId) const { return m_entries.contains(frameId); }
    // Whether `ticket` is the frame's current one: its results are still wanted.
    bool isCurrent(const QUuid &frameId, Ticket ticket) const;
    QList<QUuid> trackedFrames() const { return m_entries.keys(); }
    // True while some tracked frame still waits for its still or cut-out.
    bool hasPendingFrames() const;

    // Opens a pending entry for the frame, dropping what it had; returns the ticket of its results.
    Ticket track(const QUuid &frameId);
    // Results of the work started under `ticket`; ignored unless it is the frame's current ticket.
    void setStill(const QUuid &frameId, Ticket ticket, const QImage &still);
    void setSubject(const QUuid &frameId, Ticket ticket, const QImage &subject);
    void setNoSubject(const QUuid &frameId, Ticket ticket);
    void setFailed(const QUuid &frameId, Ticket ticket, const QString &message);
    // Drops the frame's entry; later results for it are ignored.
    void forget(const QUuid &frameId);
    void clear();

signals:
    // The pictures or the lifting state of one frame changed (including being forgotten).
    void imagesChanged(const QUuid &frameId);

private:
    struct Entry
    {
        Ticket ticket = 0;
        FrameImages images;
    };
    // The entry that `ticket` may still write to, or null.
    Entry *current(const QUuid &frameId, Ticket ticket);

    QHash<QUuid, Entry> m_entries;
    Ticket m_lastTicket = 0;
};
