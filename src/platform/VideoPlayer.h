#pragma once

#include "FrameIndex.h"
#include "PlayerOutput.h"
#include "support/MediaTime.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

struct mpv_handle;
class QTimer;

// A video player built on one libmpv instance. Shows one file at a time, paused on its first frame
// when it is opened and held on its last frame at the end. Times are exact: read back from mpv and
// snapped to the frames of the file's frame index, in ticks of the video stream's time base.
// Lives on the main thread; mpv's events are handled there.
class VideoPlayer : public QObject
{
    Q_OBJECT

public:
    enum class TimeControlStatus { Paused, WaitingToPlay, Playing };

    explicit VideoPlayer(PlayerOutput output, QObject *parent = nullptr);
    ~VideoPlayer() override;

    // The mpv instance, for a view that attaches a render context to it.
    mpv_handle *handle() const { return m_mpv.get(); }
    PlayerOutput output() const { return m_output; }

    // Replaces the current item by the file at `path`, paused on its first frame.
    void replaceCurrentItem(const QString &path);
    bool hasItem() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

    void play();
    void pause();
    TimeControlStatus timeControlStatus() const;

    // Sound level in percent (0 to 100) and muting, as mpv holds them for every file it opens.
    void setVolume(double percent);
    double volume() const;
    void setMuted(bool muted);
    bool isMuted() const { return flag("mute"); }

    // The frame on screen; during a seek, the frame being sought. Zero without an item.
    MediaTime currentTime() const;
    // Shows exactly the frame whose display interval holds `time` (first or last frame beyond the
    // ends). Returns at once.
    void seek(const MediaTime &time);
    // Moves by whole frames, stopping at the first and last frame.
    void stepByCount(int count);
    // True from a seek or an opening until the new frame is on screen.
    bool isSeeking() const { return m_seekPending; }

    // The frame index of the current item, once built.
    const FrameIndex *frameIndex() const { return m_index ? &*m_index : nullptr; }

    // Calls `callback` with the current time every `interval` on the main thread, until removed.
    int addPeriodicTimeObserver(const MediaTime &interval, std::function<void(const MediaTime &)> callback);
    void removeTimeObserver(int token);

signals:
    // The frame index of the current item is ready.
    void frameIndexReady();
    // A seek or an opening has reached the screen.
    void seekCompleted();
    // mpv could not open or play the current item.
    void itemFailed(const QString &description);
    // Emitted first thing in the destructor, while the mpv instance still exists.
    void aboutToBeDestroyed();

private:
    void applySeekMargin(double seconds);
    struct MpvDeleter
    {
        void operator()(mpv_handle *handle) const;
    };

    static void wakeUp(void *context);
    void handleEvents();
    // Sends a command whose reply is numbered, so stale restarts can be told apart.
    void sendCommand(const std::initializer_list<QByteArray> &arguments);
    bool flag(const char *property) const;
    MediaTime snapped(double seconds) const;
    int currentFrame() const;
    // Sends the seek or steps asked for while the file was opening, once it and its index are ready.
    void sendDeferredMoves();

    PlayerOutput m_output;
    std::unique_ptr<mpv_handle, MpvDeleter> m_mpv;
    std::atomic<bool> m_wakeUpPending = false;

    QString m_path;
    std::uint64_t m_itemGeneration = 0;
    std::optional<FrameIndex> m_index;
    double m_seekMargin = 0.0; // the demuxer offset of mpv's exact seeks, in seconds

    // Numbered commands: a restart counts for the last one only once its reply has come back.
    std::uint64_t m_lastCommandSent = 0;
    std::uint64_t m_lastCommandReplied = 0;
    bool m_seekPending = false;
    MediaTime m_seekTarget = MediaTime::zero();
    bool m_failed = false;
    // From an opening until its first frame is shown or it fails.
    bool m_loading = false;
    std::optional<MediaTime> m_deferredSeek;
    int m_deferredSteps = 0;

    int m_nextObserverToken = 1;
    std::map<int, QTimer *> m_observers;
};
