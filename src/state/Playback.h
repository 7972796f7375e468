#pragma once

#include "platform/PlayerOutput.h"
#include "support/MediaTime.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class FrameIndex;
class FrameIndexer;
class HoverPreview;
class ShotScan;
class VideoFrameExtractorService;
class VideoPlayer;
struct VideoSource;

// The window's video as it plays: the player, the still grabber of the video it shows, and what the
// views read of them (the time, the duration, the first frame's start, whether it plays, the length
// of a frame), with the transport operations. Videos are opened off the main thread and installed
// only once they have proved to be videos that can be shown. Knows nothing of captures. Lives on
// the main thread.
class Playback : public QObject
{
    Q_OBJECT

public:
    // Length of one interval step, in seconds.
    static constexpr double smallInterval = 1.0;

    // `PlayerOutput::View` makes a player that draws into a VideoPlayerView; `Headless` one that
    // shows nothing (tests, benchmarks).
    explicit Playback(PlayerOutput output, QObject *parent = nullptr);
    ~Playback() override;

    VideoPlayer *player() const { return m_player.get(); }
    // Why the player could not start, in French; empty when it runs.
    QString startFailure() const;
    // Grabs stills of the video shown; none without one.
    VideoFrameExtractorService *extractor() const { return m_extractor.get(); }
    // The shots of the video shown, found in the background after it opens.
    ShotScan *shots() const { return m_shots.get(); }
    // Small pictures of the video's frames, for the slider.
    HoverPreview *hoverPreview() const { return m_hoverPreview.get(); }
    // The frames of the video shown as far as they are indexed, and its file; none without a video.
    std::shared_ptr<const FrameIndex> frameIndex() const;
    // What indexes the video shown; a new one for each video opened.
    std::shared_ptr<FrameIndexer> frameIndexer() const;
    QString videoPath() const;

    // The video the player shows; empty when it shows none.
    QUrl videoURL() const { return m_videoURL; }
    MediaTime currentTime() const { return m_currentTime; }
    // How long the video plays, from its first frame's start to its last frame's end.
    MediaTime duration() const { return m_duration; }
    // The video's first frame's start, in the stream's own time like `currentTime` and the captured
    // frames' times. The times the user reads are measured from it (MediaTime::measuredFrom).
    MediaTime startTime() const { return m_startTime; }
    bool isPlaying() const { return m_isPlaying; }
    MediaTime frameDuration() const { return m_frameDuration; }
    // Frames per second as the video shown says; 0 when it does not, or without a video.
    double nominalFrameRate() const { return m_nominalFrameRate; }
    void setVideoURL(const QUrl &url);
    void setCurrentTime(const MediaTime &time);
    void setDuration(const MediaTime &duration);
    void setStartTime(const MediaTime &start);
    void setIsPlaying(bool playing);
    void setFrameDuration(const MediaTime &frameDuration);

    // Opens the video off the main thread and installs it, then calls `opened`, once it has proved
    // to be a video that can be shown; otherwise reports why with `failed` and calls `refused`. Only
    // the latest opening is installed; the video shown until then stays. The index is read at least
    // as far as `reach` before the video counts as opened.
    void open(const QUrl &url, std::function<void()> opened = {}, std::function<void()> refused = {},
              const MediaTime &reach = MediaTime::zero());
    // Hands an opened video to the player and the still grabber and takes its duration, first frame
    // and frame rate. An opening under way is dropped.
    void install(const QUrl &url, const VideoSource &source);
    // Shows no video any more: player, grabber, duration and times back to empty. An opening under
    // way is dropped.
    void unload();

    void togglePlayPause();
    void stepFrame(int count);
    void stepInterval(bool forward);
    // To the first frame of the next shot, or of the shot shown (when the frame shown is not its
    // first) or the one before; nothing where no such cut is known yet.
    void stepShot(bool forward);
    void pause();
    // Exact seek; nothing without a video.
    void seek(const MediaTime &target);
    // Limits a time to the video's frames: from the first frame's start to the last frame's start.
    MediaTime clamp(const MediaTime &time) const;

    // Sound level in percent (0 to 100) and muting, of this window's player only; every player
    // starts at full sound, unmuted.
    double volume() const;
    void setVolume(double percent);
    bool isMuted() const;
    void setMuted(bool muted);

signals:
    void videoURLChanged();
    void currentTimeChanged();
    void durationChanged();
    void startTimeChanged();
    void isPlayingChanged();
    void frameDurationChanged();
    // A video could not be opened, or the player could not play it after all; `message` says why.
    void failed(const QString &message);

private:
    void addPeriodicTimeObserver();
    // The duration follows the frame index once a long video's index is complete.
    void followFrameIndex();
    // A video the player cannot play after all is reported and leaves no video shown.
    void handlePlayerFailures();

    std::unique_ptr<VideoPlayer> m_player;
    std::unique_ptr<VideoFrameExtractorService> m_extractor;
    std::unique_ptr<ShotScan> m_shots;
    std::unique_ptr<HoverPreview> m_hoverPreview;
    std::optional<int> m_timeObserver;
    // Counts video openings and unloadings, so that only the latest opening is installed.
    std::uint64_t m_openingGeneration = 0;

    QUrl m_videoURL;
    MediaTime m_currentTime = MediaTime::zero();
    MediaTime m_duration = MediaTime::zero();
    MediaTime m_startTime = MediaTime::zero();
    bool m_isPlaying = false;
    MediaTime m_frameDuration = MediaTime(1, 30);
    double m_nominalFrameRate = 0.0;
};
