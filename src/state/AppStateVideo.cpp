#include "AppState.h"

#include "models/AppError.h"
#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "platform/VideoSource.h"
#include "services/VideoFrameExtractorService.h"
#include "support/ContinueOn.h"

#include <QFileInfo>
#include <QPointer>

#include <cmath>

VideoPlayer *AppState::player() const
{
    return m_player.get();
}

VideoFrameExtractorService *AppState::extractor() const
{
    return m_extractor.get();
}

void AppState::loadVideo(const QUrl &url)
{
    // The captures of the previous video go once the new one has opened, not before: a file that is
    // refused loses nothing.
    prepareVideo(url, [this] {
        resetGroups();
        setSelection({});
        setFailures({});
        setProjectURL({});
    });
}

void AppState::prepareVideo(const QUrl &url, std::function<void()> opened)
{
    // Files need no access grant on Linux: nothing to start or stop around the URL.
    // A slower opening of an earlier video that finishes late is dropped.
    const std::uint64_t generation = ++m_openingGeneration;
    continueOn(this, VideoSource::load(url.toLocalFile()),
               [this, generation, url, opened = std::move(opened)](const Result<VideoSource> &source) {
                   if (generation != m_openingGeneration)
                       return;
                   if (!source.ok()) {
                       setErrorMessage(source.error().errorDescription());
                       return;
                   }
                   installVideo(url, source.value());
                   if (opened)
                       opened();
               });
}

void AppState::installVideo(const QUrl &url, const VideoSource &source)
{
    m_player->replaceCurrentItem(source.path, source.index);
    m_extractor->setGenerator(source.grabber);
    // What the frame index holds is what can be played, whatever the file's header claims.
    setStartTime(source.index->startTime());
    setDuration(source.index->duration());
    if (source.info.nominalFrameRate > 0.0f) {
        // Halves away from zero: 29.97 gives 30, 23.976 gives 24.
        const long rounded = std::lround(source.info.nominalFrameRate);
        if (rounded > 0)
            setFrameDuration(MediaTime(1, std::int32_t(rounded)));
    }
    setVideoURL(url);
}

void AppState::unloadVideo()
{
    ++m_openingGeneration;
    m_player->removeCurrentItem();
    m_extractor->setGenerator(nullptr);
    setVideoURL({});
    setStartTime(MediaTime::zero());
    setDuration(MediaTime::zero());
    setCurrentTime(MediaTime::zero());
    setIsPlaying(false);
}

void AppState::handlePlayerFailures()
{
    connect(m_player.get(), &VideoPlayer::itemFailed, this, [this](const QString &description) {
        const QString fileName = QFileInfo(m_player->path()).fileName();
        unloadVideo();
        setErrorMessage(AppError::videoUnreadable(QStringLiteral("%1 : %2").arg(fileName, description))
                            .errorDescription());
    });
}

void AppState::addPeriodicTimeObserver()
{
    QPointer<AppState> self(this);
    m_timeObserver = m_player->addPeriodicTimeObserver(MediaTime(1, 30), [self](const MediaTime &time) {
        if (!self)
            return;
        self->setCurrentTime(time);
        self->setIsPlaying(self->m_player->timeControlStatus() != VideoPlayer::TimeControlStatus::Paused);
    });
}

void AppState::togglePlayPause()
{
    if (m_videoURL.isEmpty())
        return;
    if (m_player->timeControlStatus() == VideoPlayer::TimeControlStatus::Paused)
        m_player->play();
    else
        m_player->pause();
}

void AppState::pause()
{
    m_player->pause();
    setIsPlaying(false);
}

void AppState::stepFrame(int count)
{
    if (m_videoURL.isEmpty())
        return;
    pause();
    m_player->stepByCount(count);
}

void AppState::stepInterval(bool forward)
{
    if (m_videoURL.isEmpty())
        return;
    pause();
    // To the frame starting nearest to the shown frame's start ± 1 s, within the first and last
    // frame: adding 1 s to a start at 29.97 or 23.976 fps lands inside the frame before, and a step
    // forth and back would lose a frame.
    m_player->stepByTime(MediaTime::fromSeconds(forward ? smallInterval : -smallInterval, 600));
}

void AppState::seek(const MediaTime &target)
{
    if (m_videoURL.isEmpty())
        return;
    m_player->seek(target);
}

MediaTime AppState::clamp(const MediaTime &time) const
{
    if (const FrameIndex *index = m_player->frameIndex()) {
        if (time < index->startTime())
            return index->startTime();
        const MediaTime lastStart = index->time(index->count() - 1);
        return time > lastStart ? lastStart : time;
    }
    if (time < MediaTime::zero())
        return MediaTime::zero();
    if (m_duration.isValid() && time > m_duration)
        return m_duration;
    return time;
}
