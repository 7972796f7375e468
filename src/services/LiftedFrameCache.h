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
// its limit, the entries used least recently go first. Thread-safe; reading and writing touch the
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
    // The entry stored under `key`, which counts as used now; nothing when there is none or it
    // cannot be trusted (such an entry is deleted).
    std::optional<LiftedFrame> load(const QByteArray &key, Contents contents = Contents::Everything) const;
    // Stores the entry under `key`, then trims the folder to its limit. What went wrong, if anything.
    std::optional<QString> store(const QByteArray &key, const LiftedFrame &frame) const;

    // The content's identity of a file: its size, modification time and a hash of its first and last
    // MiB; empty when it cannot be read. Remembered while size and modification time stay.
    QByteArray fileIdentity(const QString &path) const;

private:
    QString entryPath(const QByteArray &key) const;
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
