#pragma once

#include "state/FrameImages.h"

#include "services/KeptMask.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <memory>

class LiftedFrameCache;
struct LiftedFrame;

// What the program derives from the captured frames, keyed by frame identifier: the lifting's
// outcome and mask, the frames list's small pictures, and the full-size still and cut-out. They
// are kept apart from the document: they are not the user's edits, never go through the undo stack
// and are never saved with the project. An entry is opened for a frame with `track`, which hands
// out a ticket; results carry that ticket, so a result for a frame that was forgotten meanwhile
// (deleted, or replaced by another video or project) is dropped, even if the frame has come back
// since.
//
// Full-size pictures take 8 MB each at 1080p: they are held under a memory budget, and those of
// the frames made or asked for least recently are let go first. A view that needs them again asks
// with `request`; `picturesWanted` then tells the background work to make them again from the
// video and the mask.
//
// So that memory follows what is on screen rather than how many frames there are, a mask that the
// disk cache keeps (setMaskKept) is held only while it is among the `MasksHeld` used last, and read
// back through keptMask(); the small pictures are held for the rows near those the list shows
// (setFramesInView) and for the `ThumbnailsHeld` frames made or shown last. A frame near the rows
// shown whose small pictures were let go is asked for with `thumbnailsWanted`. What else the store
// knows of a frame stays while the frame does. Main thread only.
class FrameImageStore : public QObject
{
    Q_OBJECT

public:
    using Ticket = quint64;
    static constexpr qint64 DefaultMemoryBudget = qint64{256} * 1024 * 1024;
    // Masks kept on disk that stay in memory too, the last used.
    static constexpr int MasksHeld = 16;
    // Frames whose small pictures stay in memory beyond those near the rows shown, the last made or
    // shown.
    static constexpr int ThumbnailsHeld = 200;

    explicit FrameImageStore(QObject *parent = nullptr);
    ~FrameImageStore() override;

    // What is known of the frame's pictures; pending and empty for a frame the store does not track.
    FrameImages images(const QUuid &frameId) const;
    bool isTracked(const QUuid &frameId) const { return m_entries.contains(frameId); }
    // Whether `ticket` is the frame's current one: its results are still wanted.
    bool isCurrent(const QUuid &frameId, Ticket ticket) const;
    // The frame's current ticket; 0 for a frame the store does not track.
    Ticket ticket(const QUuid &frameId) const;
    QList<QUuid> trackedFrames() const { return m_entries.keys(); }
    // True while some tracked frame still waits for its still or cut-out.
    bool hasPendingFrames() const { return m_pendingCount > 0; }
    qsizetype trackedCount() const { return m_entries.size(); }

    // The frames of the rows a list shows now, in their order, and those near them (the shown
    // ones included): their pictures come first, and their small pictures are held.
    void setFramesInView(const QList<QUuid> &visible, const QSet<QUuid> &nearby);
    const QList<QUuid> &visibleFrames() const { return m_visible; }
    const QSet<QUuid> &nearbyFrames() const { return m_nearby; }
    bool isNearView(const QUuid &frameId) const { return m_nearby.contains(frameId); }
    // Whether a frame's small pictures would be held if they came now.
    bool wouldHoldThumbnails(const QUuid &frameId) const;
    // How many frames hold their small pictures and their masks now.
    int heldThumbnailCount() const { return int(m_thumbnailUse.size()); }
    int heldMaskCount() const { return int(m_maskUse.size()); }

    // The frame's lifting, held in memory or read back from the disk cache; empty without one.
    KeptMask keptMask(const QUuid &frameId) const;

    // The most the full-size pictures may take together, in bytes.
    qint64 memoryBudget() const { return m_memoryBudget; }
    void setMemoryBudget(qint64 bytes);
    // What the full-size pictures held take now, in bytes.
    qint64 memoryUsed() const { return m_memoryUsed; }

    // Opens a pending entry for the frame, dropping what it had; returns the ticket of its results.
    Ticket track(const QUuid &frameId);
    // Results of the work started under `ticket`; ignored unless it is the frame's current ticket.
    // A still comes with its thumbnail; without one, it is made here.
    void setStill(const QUuid &frameId, Ticket ticket, const QImage &still, const QImage &thumbnail = {});
    // The lifting's outcome with its mask and thumbnails, from a lifting or from the disk cache;
    // corrections applied before are dropped with the mask they were applied to.
    void setLifted(const QUuid &frameId, Ticket ticket, const LiftedFrame &lifted);
    // The frame's mask is in `cache` under `key`: from now on it may be let go from memory.
    void setMaskKept(const QUuid &frameId, Ticket ticket, std::shared_ptr<const LiftedFrameCache> cache,
                     const QByteArray &key);
    // The small pictures of a lifted frame, made again after they were let go.
    void setThumbnails(const QUuid &frameId, Ticket ticket, const QImage &thumbnail,
                       const QImage &subjectThumbnail);
    // The frame's corrections applied to its lifting: the mask they give (empty for none) and its
    // merged cut-out (null when no subject is left). Ignored unless the frame is lifted.
    void setCorrected(const QUuid &frameId, Ticket ticket, const QList<CutoutCorrection> &corrections,
                      const QByteArray &correctedMask, const QImage &subject);
    // The full-size merged cut-out of a frame with subjects.
    void setSubject(const QUuid &frameId, Ticket ticket, const QImage &subject);
    void setNoSubject(const QUuid &frameId, Ticket ticket);
    void setFailed(const QUuid &frameId, Ticket ticket, const QString &message);
    // Drops the frame's entry; later results for it are ignored.
    void forget(const QUuid &frameId);
    void clear();

    // A view shows the frame at full size: its cut-out is wanted. One let go is asked for once with
    // `picturesWanted`; one held counts as used now.
    void request(const QUuid &frameId);

signals:
    // The pictures or the lifting state of one frame changed (including being forgotten).
    void imagesChanged(const QUuid &frameId);
    // The full-size pictures of a lifted frame are wanted again (see request()).
    void picturesWanted(const QUuid &frameId);
    // A frame near the rows shown has let its small pictures go; setThumbnails() brings them. Sent
    // again each time the rows near those shown change while they are not back.
    void thumbnailsWanted(const QUuid &frameId);
    // The rows shown, or those near them, are others now.
    void framesInViewChanged();

private:
    struct Entry
    {
        Ticket ticket = 0;
        FrameImages images;
        quint64 lastUse = 0;
        bool wanted = false; // picturesWanted sent, pictures not back yet
        // Where the mask is kept on disk; null while only memory holds it.
        std::shared_ptr<const LiftedFrameCache> maskCache;
        QByteArray maskKey;
    };
    // The entry that `ticket` may still write to, or null.
    Entry *current(const QUuid &frameId, Ticket ticket);
    // Counts a full-size picture placed in or taken out of `entry`.
    void replacePicture(Entry &entry, QImage FrameImages::*picture, const QImage &image);
    // Lets go of the full-size pictures used least recently, other than `kept`'s, until the budget holds.
    void fitBudget(const QUuid &kept);
    // Keeps the pending count with an entry's outcome.
    void setExtraction(Entry &entry, FrameImages::Extraction extraction);
    // The entry's small pictures and mask are used now; those of others are let go beyond what is held.
    void useThumbnails(const QUuid &frameId, Entry &entry);
    void useMask(const QUuid &frameId, Entry &entry);
    void fitThumbnails(const QUuid &kept);
    void fitMasks(const QUuid &kept);
    // Drops what the store counts of an entry that goes or starts again.
    void uncount(const QUuid &frameId, const Entry &entry);
    // Asks for the small pictures of a frame near the rows shown that has let them go.
    void askThumbnails(const QUuid &frameId, Entry &entry);

    QHash<QUuid, Entry> m_entries;
    Ticket m_lastTicket = 0;
    quint64 m_useClock = 0;
    qint64 m_memoryBudget = DefaultMemoryBudget;
    qint64 m_memoryUsed = 0;
    qsizetype m_pendingCount = 0;
    QList<QUuid> m_visible;
    QSet<QUuid> m_nearby;
    // Last use of the frames holding small pictures, and of those holding a mask kept on disk.
    QHash<QUuid, quint64> m_thumbnailUse;
    QHash<QUuid, quint64> m_maskUse;
    quint64 m_lastLifting = 0;
};
