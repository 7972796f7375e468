#pragma once

#include "FrameIndex.h"
#include "PlayerOutput.h"
#include "support/MediaTime.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class FrameIndexer;
struct mpv_handle;
struct mpv_event;
struct mpv_event_property;
struct mpv_event_end_file;
class QTimer;

// A video player built on one libmpv instance. Shows one file at a time, paused on its first frame
// when it is opened and held on its last frame at the end. Times are exact: read back from mpv and
// snapped to the frames of the file's frame index, in ticks of the video stream's time base.
// Its time and state follow mpv's own change notifications; nothing is polled.
// While the frame index is still being built, the player works with the part built so far: a seek
// or a step to a frame beyond it waits, seeking (isSeeking()), until the index gets there, and then
// lands exactly as it would have on the complete index.
// Lives on the main thread; mpv's events are handled there.
class VideoPlayer : public QObject
{
    Q_OBJECT

public:
    enum class TimeControlStatus { Paused, WaitingToPlay, Playing };

    explicit VideoPlayer(PlayerOutput output, QObject *parent = nullptr);
    ~VideoPlayer() override;

    // The mpv instance, for a view that attaches a render context to it; null when mpv could not
    // start (see startFailure()).
    mpv_handle *handle() const { return m_mpv.get(); }
    // Why mpv could not start, in French; empty when it runs. A player that did not start shows
    // nothing, and every file given to it fails with this text.
    QString startFailure() const { return m_startFailure; }
    PlayerOutput output() const { return m_output; }

    // Replaces the current item by the file at `path`, paused on its first frame. With the file's
    // frame index (being) built at hand the player uses it; without, it builds its own.
    void replaceCurrentItem(const QString &path, std::shared_ptr<FrameIndexer> indexer = {});
    void replaceCurrentItem(const QString &path, std::shared_ptr<const FrameIndex> index);
    // Shows nothing any more.
    void removeCurrentItem();
    bool hasItem() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

    // Plays from the first frame when the end has been reached.
    void play();
    void pause();
    TimeControlStatus timeControlStatus() const;

    // Sound level in percent (0 to 100) and muting, as mpv holds them for every file it opens.
    void setVolume(double percent);
    double volume() const;
    void setMuted(bool muted);
    bool isMuted() const;

    // The frame on screen; during a seek, the frame being sought. Zero without an item.
    MediaTime currentTime() const;
    // Shows exactly the frame whose display interval holds `time` (first or last frame beyond the
    // ends). Returns at once.
    void seek(const MediaTime &time);
    // Moves by whole frames, stopping at the first and last frame.
    void stepByCount(int count);
    // Moves to the frame whose start is nearest to the current frame's start plus `offset`, stopping
    // at the first and last frame. A step and the opposite step return to the same frame. Needs the
    // frame index: ignored until its first part is ready.
    void stepByTime(const MediaTime &offset);
    // True from a seek or an opening until the new frame is on screen, and while a move waits for the
    // frame index.
    bool isSeeking() const { return m_seekPending; }
    // True while a seek or step waits for the frame index to reach its frame.
    bool isWaitingForIndex() const;

    // The frame index of the current item as far as it is built: null until its first part, then
    // growing until it is complete.
    const FrameIndex *frameIndex() const { return m_index.get(); }
    // What indexes the current item; none without one.
    std::shared_ptr<FrameIndexer> indexer() const { return m_indexer; }

    // Calls `callback` with the current time on the main thread whenever the time or the playing
    // state changes, at most once per `interval` (the last change always comes through), until
    // removed.
    int addPeriodicTimeObserver(const MediaTime &interval, std::function<void(const MediaTime &)> callback);
    void removeTimeObserver(int token);

signals:
    // The first part of the current item's frame index is ready.
    void frameIndexReady();
    // A later part of the frame index is ready, the last time with the complete index.
    void frameIndexGrew();
    // A seek or an opening has reached the screen.
    void seekCompleted();
    // mpv could not open or play the current item.
    // `description` says in French why; mpv's own text goes to the log.
    void itemFailed(const QString &description);
    // Emitted first thing in the destructor, while the mpv instance still exists.
    void aboutToBeDestroyed();

private:
    struct MpvDeleter
    {
        void operator()(mpv_handle *handle) const;
    };
    struct TimeObserver
    {
        int intervalMs = 33;
        std::function<void(const MediaTime &)> callback;
        QElapsedTimer lastCall;
        QTimer *pending = nullptr; // brings the last change through once the interval has passed
    };

    static void wakeUp(void *context);
    void handleEvents();
    void handleEvent(const mpv_event &event);
    void playbackRestarted();
    // The answer to reading time-pos at the end of a seek.
    void seekTimeRead(int error, const mpv_event_property &property);
    void fileEnded(const mpv_event_end_file &end);
    // Why mpv could not play a file, in French.
    static QString failureReason(int mpvError);
    void propertyChanged(std::uint64_t property, const mpv_event_property &value);
    // Sends a command whose reply is numbered, so stale restarts can be told apart.
    void sendCommand(const std::initializer_list<QByteArray> &arguments);
    // Pauses or plays at once as far as this object tells; mpv follows asynchronously.
    void setPaused(bool paused);
    void useIndex(std::shared_ptr<const FrameIndex> index);
    // The indexer has a larger part.
    void indexGrew();
    void applySeekMargin(double seconds);
    MediaTime snapped(double seconds) const;
    int currentFrame() const;
    // Sends the seek and steps asked for while the file was opening or beyond the index, as far as
    // the file and its index are ready; true when none waits any more.
    bool sendDeferredMoves();
    // After sendDeferredMoves() from an event: moves that end where the player stands send nothing,
    // so the seek ends here.
    void finishIfStill();
    // Shows frame `frame` of the index.
    void seekToFrame(int frame);
    void finishSeek();
    // Tells the time observers; `now` skips the wait for their interval (jumps, openings).
    void notifyObservers(bool now = false);
    void callObserver(TimeObserver &observer);

    PlayerOutput m_output;
    std::unique_ptr<mpv_handle, MpvDeleter> m_mpv;
    QString m_startFailure;
    std::atomic<bool> m_wakeUpPending = false;

    QString m_path;
    std::uint64_t m_itemGeneration = 0;
    std::shared_ptr<FrameIndexer> m_indexer;
    QMetaObject::Connection m_indexerConnection;
    std::shared_ptr<const FrameIndex> m_index;
    double m_seekMargin = 0.0; // the demuxer offset of mpv's exact seeks, in seconds

    // mpv's state as its change notifications last told it.
    std::optional<double> m_timePos;
    bool m_paused = true;
    bool m_coreIdle = true;
    bool m_pausedForCache = false;
    bool m_eofReached = false;
    // Our changes of the pause flag that mpv has not confirmed yet.
    int m_pauseChangesPending = 0;

    // Numbered commands: a restart counts for the last one only once its reply has come back.
    std::uint64_t m_lastCommandSent = 0;
    std::uint64_t m_lastCommandReplied = 0;
    // A seek or an opening has been sent whose restart has not come yet.
    bool m_restartPending = false;
    bool m_seekPending = false;
    MediaTime m_seekTarget = MediaTime::zero();
    bool m_failed = false;
    // From an opening until its first frame is shown or it fails.
    bool m_loading = false;
    // Moves that wait: one seek, then the steps asked for after it, in order.
    struct Step
    {
        int frames = 0;
        std::optional<MediaTime> offset; // a step by time instead of by frames
    };
    std::optional<MediaTime> m_deferredSeek;
    std::deque<Step> m_deferredMoves;

    int m_nextObserverToken = 1;
    std::map<int, TimeObserver> m_observers;
};
