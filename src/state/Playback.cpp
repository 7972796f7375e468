#include "Playback.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/FrameIndexer.h"
#include "platform/VideoPlayer.h"
#include "platform/VideoSource.h"
#include "services/VideoFrameExtractorService.h"
#include "state/HoverPreview.h"
#include "state/ShotScan.h"
#include "support/AppError.h"
#include "support/AssignIfDifferent.h"
#include "support/ContinueOn.h"

#include <QFileInfo>
#include <QPointer>

#include <cmath>

Playback::Playback(PlayerOutput output, QObject *parent)
    : QObject(parent)
    , m_player(std::make_unique<VideoPlayer>(output))
    , m_extractor(std::make_unique<VideoFrameExtractorService>())
    , m_shots(std::make_unique<ShotScan>())
    , m_hoverPreview(std::make_unique<HoverPreview>())
{
    addPeriodicTimeObserver();
    handlePlayerFailures();
    followFrameIndex();
}

Playback::~Playback()
{
    if (m_timeObserver)
        m_player->removeTimeObserver(*m_timeObserver);
}

QString Playback::startFailure() const
{
    return m_player->startFailure();
}

void Playback::setVideoURL(const QUrl &url)
{
    assignIfDifferent(this, m_videoURL, url, &Playback::videoURLChanged);
}

void Playback::setCurrentTime(const MediaTime &time)
{
    assignIfDifferent(this, m_currentTime, time, &Playback::currentTimeChanged);
}

void Playback::setDuration(const MediaTime &duration)
{
    assignIfDifferent(this, m_duration, duration, &Playback::durationChanged);
}

void Playback::setStartTime(const MediaTime &start)
{
    assignIfDifferent(this, m_startTime, start, &Playback::startTimeChanged);
}

void Playback::setIsPlaying(bool playing)
{
    assignIfDifferent(this, m_isPlaying, playing, &Playback::isPlayingChanged);
}

void Playback::setFrameDuration(const MediaTime &frameDuration)
{
    assignIfDifferent(this, m_frameDuration, frameDuration, &Playback::frameDurationChanged);
}

void Playback::open(const QUrl &url, std::function<void()> opened, std::function<void()> refused,
                    const MediaTime &reach)
{
    // Files need no access grant on Linux: nothing to start or stop around the URL.
    // A slower opening of an earlier video that finishes late is dropped.
    const std::uint64_t generation = ++m_openingGeneration;
    continueOn(this, VideoSource::load(url.toLocalFile(), reach),
               [this, generation, url, opened = std::move(opened),
                refused = std::move(refused)](const Result<VideoSource> &source) {
                   if (generation != m_openingGeneration)
                       return;
                   if (!source.ok()) {
                       emit failed(source.error().errorDescription());
                       if (refused)
                           refused();
                       return;
                   }
                   install(url, source.value());
                   if (opened)
                       opened();
               });
}

void Playback::install(const QUrl &url, const VideoSource &source)
{
    ++m_openingGeneration;
    m_nominalFrameRate = source.info.nominalFrameRate;
    // Said first: the window shows its picture area on it, whose drawing surface the player's
    // output needs before the player opens the file.
    setVideoURL(url);
    m_player->replaceCurrentItem(source.path, source.indexer);
    m_extractor->setGenerator(source.grabber);
    m_shots->start(source.path, source.indexer);
    m_hoverPreview->setVideo(source.path, source.indexer);
    // What the frame index holds is what can be played, whatever the file's header claims; until
    // the index of a long file is complete, the header tells how long it plays.
    setStartTime(source.index->startTime());
    setDuration(source.duration());
    if (source.info.nominalFrameRate > 0.0f) {
        // Halves away from zero: 29.97 gives 30, 23.976 gives 24.
        const long rounded = std::lround(source.info.nominalFrameRate);
        if (rounded > 0)
            setFrameDuration(MediaTime(1, std::int32_t(rounded)));
    }
}

void Playback::unload()
{
    ++m_openingGeneration;
    m_player->removeCurrentItem();
    m_extractor->setGenerator(nullptr);
    m_shots->stop();
    m_hoverPreview->clear();
    m_nominalFrameRate = 0.0;
    setVideoURL({});
    setStartTime(MediaTime::zero());
    setDuration(MediaTime::zero());
    setCurrentTime(MediaTime::zero());
    setIsPlaying(false);
}

void Playback::followFrameIndex()
{
    connect(m_player.get(), &VideoPlayer::frameIndexGrew, this, [this] {
        const FrameIndex *index = m_player->frameIndex();
        if (index && index->isComplete())
            setDuration(index->duration());
    });
}

void Playback::handlePlayerFailures()
{
    connect(m_player.get(), &VideoPlayer::itemFailed, this, [this](const QString &description) {
        const QString fileName = QFileInfo(m_player->path()).fileName();
        unload();
        emit failed(AppError::videoUnreadable(QStringLiteral("%1 : %2").arg(fileName, description))
                        .errorDescription());
    });
}

void Playback::addPeriodicTimeObserver()
{
    QPointer<Playback> self(this);
    m_timeObserver = m_player->addPeriodicTimeObserver(MediaTime(1, 30), [self](const MediaTime &time) {
        if (!self)
            return;
        self->setCurrentTime(time);
        self->setIsPlaying(self->m_player->timeControlStatus() != VideoPlayer::TimeControlStatus::Paused);
    });
}

void Playback::togglePlayPause()
{
    if (m_videoURL.isEmpty())
        return;
    if (m_player->timeControlStatus() == VideoPlayer::TimeControlStatus::Paused)
        m_player->play();
    else
        m_player->pause();
}

void Playback::pause()
{
    m_player->pause();
    setIsPlaying(false);
}

void Playback::stepFrame(int count)
{
    if (m_videoURL.isEmpty())
        return;
    pause();
    m_player->stepByCount(count);
}

void Playback::stepInterval(bool forward)
{
    if (m_videoURL.isEmpty())
        return;
    pause();
    // To the frame starting nearest to the shown frame's start ± 1 s, within the first and last
    // frame: adding 1 s to a start at 29.97 or 23.976 fps lands inside the frame before, and a step
    // forth and back would lose a frame.
    m_player->stepByTime(MediaTime::fromSeconds(forward ? smallInterval : -smallInterval, 600));
}

std::shared_ptr<const FrameIndex> Playback::frameIndex() const
{
    const std::shared_ptr<FrameIndexer> indexer = m_player->indexer();
    return indexer ? indexer->current() : nullptr;
}

std::shared_ptr<FrameIndexer> Playback::frameIndexer() const
{
    return m_player->indexer();
}

QString Playback::videoPath() const
{
    return m_player->path();
}

void Playback::stepShot(bool forward)
{
    const std::shared_ptr<const FrameIndex> index = frameIndex();
    if (m_videoURL.isEmpty() || !index)
        return;
    const int shown = index->frameAt(m_player->currentTime());
    const std::optional<int> target =
        forward ? m_shots->nextShotStart(shown) : m_shots->previousShotStart(shown);
    if (!target)
        return;
    pause();
    m_player->seek(index->time(*target));
}

void Playback::seek(const MediaTime &target)
{
    if (m_videoURL.isEmpty())
        return;
    m_player->seek(target);
}

MediaTime Playback::clamp(const MediaTime &time) const
{
    if (const FrameIndex *index = m_player->frameIndex(); index && index->isComplete()) {
        if (time < index->startTime())
            return index->startTime();
        const MediaTime lastStart = index->time(index->count() - 1);
        return time > lastStart ? lastStart : time;
    }
    if (const FrameIndex *index = m_player->frameIndex(); index && time < index->startTime())
        return index->startTime();
    if (time < MediaTime::zero())
        return MediaTime::zero();
    if (m_duration.isValid() && time > m_duration)
        return m_duration;
    return time;
}

double Playback::volume() const
{
    return m_player->volume();
}

void Playback::setVolume(double percent)
{
    m_player->setVolume(percent);
}

bool Playback::isMuted() const
{
    return m_player->isMuted();
}

void Playback::setMuted(bool muted)
{
    m_player->setMuted(muted);
}
