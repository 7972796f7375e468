#include "AppState.h"

#include "platform/FrameGrabber.h"
#include "platform/MediaProbe.h"
#include "platform/VideoPlayer.h"
#include "services/VideoFrameExtractorService.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"

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
    prepareVideo(url);
    // A fresh document on the new video, which keeps the settings of the one before.
    DocumentContent content = CaptureDocument::freshContent();
    content.settings = m_document->settings();
    content.videoURL = url;
    m_images->clear();
    ++m_documentGeneration;
    m_document->reset(content);
    forgetEndedExport();
}

void AppState::prepareVideo(const QUrl &url)
{
    // Files need no access grant on Linux: nothing to start or stop around the URL.
    setVideoURL(url);
    if (url.isEmpty()) {
        // No video: the picture and its times go, and no still can be grabbed any more.
        ++m_metadataGeneration;
        m_player->pause();
        m_extractor->setGenerator(nullptr);
        setDuration(MediaTime::zero());
        setCurrentTime(MediaTime::zero());
        return;
    }
    const QString path = url.toLocalFile();
    m_player->replaceCurrentItem(path);
    m_extractor->setGenerator(std::make_shared<FrameGrabber>(path));
    loadAssetMetadata(path);
}

void AppState::loadAssetMetadata(const QString &path)
{
    // A probe of an earlier video that finishes late is dropped: its values would describe a video
    // that is no longer shown.
    const std::uint64_t generation = ++m_metadataGeneration;
    MediaProbe::load(path).then(this, [this, generation](const Result<MediaProbe::Info> &result) {
        if (generation != m_metadataGeneration)
            return;
        if (!result.ok()) {
            setErrorMessage(
                AppError::frameExtractionFailed(result.error().errorDescription()).errorDescription());
            return;
        }
        const MediaProbe::Info &info = result.value();
        setDuration(info.duration);
        if (info.videoTracks.isEmpty())
            return;
        if (info.nominalFrameRate > 0.0f) {
            // Halves away from zero: 29.97 gives 30, 23.976 gives 24.
            const long rounded = std::lround(info.nominalFrameRate);
            if (rounded > 0)
                setFrameDuration(MediaTime(1, std::int32_t(rounded)));
        }
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
    const MediaTime delta = MediaTime::fromSeconds(forward ? smallInterval : -smallInterval, 600);
    seek(clamp(m_player->currentTime() + delta));
}

void AppState::seek(const MediaTime &target)
{
    if (m_videoURL.isEmpty())
        return;
    m_player->seek(target);
}

MediaTime AppState::clamp(const MediaTime &time) const
{
    if (time < MediaTime::zero())
        return MediaTime::zero();
    if (m_duration.isValid() && time > m_duration)
        return m_duration;
    return time;
}
