#pragma once

#include "services/LiftedFrame.h"
#include "support/MediaTime.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QString>

#include <memory>
#include <optional>

// Lifted frames kept on disk between sessions, so that a project opened again shows its cut-outs
// without running the segmentation model. An entry is found by what its result depends on: the
// content of the video file (its size, modification time and a hash of its first and last MiB),
// the frame's exact time, and the content of the model file (identified the same way); the frame's
// size is checked when the entry is used. Entries are written whole or not at all; one that is
// damaged, of another format or of another key is ignored and deleted. When the folder grows past
// its limit, the entries used least recently go first. Beside the entries, the cache remembers each
// video it has seen by its place (a few dozen bytes each, never trimmed), so that the entries of a
// video that has moved since can be found by its old place. Thread-safe; reading and writing touch the
// disk, so they belong on worker threads.
class LiftedFrameCache
{
public:
    static constexpr qint64 DefaultLimit = 2'000'000'000;

    // What a load gives of an entry: all of it, or its outcome and mask without the small pictures
    // (which are then left null), for a frame that is not on screen.
    enum class Contents { Everything, Mask };

    // `folder` holds the entries (created when needed); `limitBytes` is the most they may take.
    explicit LiftedFrameCache(QString folder = standardFolder(), qint64 limitBytes = DefaultLimit);

    // The folder under the user's cache folder.
    static QString standardFolder();
    // The process's cache in the standard folder.
    static std::shared_ptr<LiftedFrameCache> standard();

    QString folder() const { return m_folder; }
    qint64 limit() const { return m_limit; }

    // The key of a frame's entry; empty when either file cannot be read.
    QByteArray key(const QString &videoPath, const MediaTime &time, const QString &modelPath) const;
    // The same for a video known by its content's identity (see fileIdentity), which may be gone.
    QByteArray keyOfIdentity(const QByteArray &videoIdentity, const MediaTime &time,
                             const QString &modelPath) const;
    // The entry stored under `key`, which counts as used now; nothing when there is none or it
    // cannot be trusted (such an entry is deleted).
    std::optional<LiftedFrame> load(const QByteArray &key, Contents contents = Contents::Everything) const;
    // Stores the entry under `key`, then trims the folder to its limit. What went wrong, if anything.
    std::optional<QString> store(const QByteArray &key, const LiftedFrame &frame) const;

    // What the cache remembers of a video it has seen, by the video's place: the identity its
    // content had there and its nominal frame rate (frames per second, 0 when unknown). It lets the
    // entries of a video that has since moved be found again.
    struct VideoRecord
    {
        QByteArray identity;
        double frameRate = 0.0;
    };
    // Remembers the video now at `videoPath`, replacing what was remembered of that place. What went
    // wrong, if anything.
    std::optional<QString> rememberVideo(const QString &videoPath, double frameRate) const;
    // What was remembered of the video at `videoPath`, even when no file is there any more.
    std::optional<VideoRecord> rememberedVideo(const QString &videoPath) const;

    // The content's identity of a file: its size, modification time and a hash of its first and last
    // MiB; empty when it cannot be read. Remembered while size and modification time stay.
    QByteArray fileIdentity(const QString &path) const;

private:
    QString entryPath(const QByteArray &key) const;
    QString videoRecordPath(const QString &videoPath) const;
    // Marks the entry as the most recently used one, after every other.
    void touch(const QString &path) const;
    void trim() const;

    struct Identity
    {
        qint64 size = -1;
        QDateTime modified;
        QByteArray hash;
    };

    const QString m_folder;
    const qint64 m_limit;
    mutable QMutex m_mutex; // guards what follows, and orders trimming
    mutable QHash<QString, Identity> m_identities;
    mutable QDateTime m_lastUse;
};
