#include "VideoPlayer.h"

#include "FrameIndexer.h"

#include <QCoreApplication>
#include <QTimer>

#include <mpv/client.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// Any time read from mpv before the frame index exists is expressed in this timescale.
constexpr std::int32_t provisionalTimescale = 90000;

// An exact seek in mpv shows the first frame starting no earlier than 5 ms before the target.
constexpr double seekSlack = 0.005;

// The properties whose changes mpv reports, by the number given when observing them.
enum ObservedProperty : std::uint64_t { TimePos = 1, Pause, CoreIdle, PausedForCache, EofReached };

// Replies to the reads of time-pos after a restart carry this mark and the number of the last
// command sent before them.
constexpr std::uint64_t timeReadMark = std::uint64_t(1) << 62;
// Replies to the changes of the pause flag.
constexpr std::uint64_t pauseSetMark = std::uint64_t(1) << 61;

bool flagValue(const mpv_event_property &property)
{
    return property.format == MPV_FORMAT_FLAG && *static_cast<const int *>(property.data) != 0;
}

} // namespace

void VideoPlayer::MpvDeleter::operator()(mpv_handle *handle) const
{
    mpv_terminate_destroy(handle);
}

VideoPlayer::VideoPlayer(PlayerOutput output, QObject *parent)
    : QObject(parent), m_output(output), m_mpv(mpv_create())
{
    if (!m_mpv) {
        qWarning("libmpv could not be created (out of memory, or LC_NUMERIC is not \"C\")");
        m_startFailure = tr("Le lecteur vidéo n'a pas pu démarrer.");
        return;
    }
    mpv_handle *mpv = m_mpv.get();
    const bool headless = output == PlayerOutput::Headless;
    std::vector<std::pair<const char *, const char *>> options = {
        {"vo", headless ? "null" : "libmpv"},
        {"idle", "yes"},
        {"pause", "yes"},
        {"keep-open", "yes"},
        {"rebase-start-time", "no"},
        {"hr-seek", "yes"},
        {"hwdec", "no"},
        {"audio-display", "no"},
        {"osc", "no"},
        {"load-scripts", "no"},
        {"ytdl", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"terminal", "no"},
        // HDR pictures are tone-mapped from their tagged peak, as stills are: measuring it on the
        // pictures shown would make a frame's brightness depend on the frames played before it.
        {"hdr-compute-peak", "no"},
    };
    // A window plays sound on mpv's usual outputs; headless players stay silent.
    if (headless)
        options.emplace_back("ao", "null");
    for (const auto &[name, value] : options)
        mpv_set_option_string(mpv, name, value);
    const int status = mpv_initialize(mpv);
    if (status < 0) {
        qWarning("libmpv could not start: %s", mpv_error_string(status));
        m_mpv.reset();
        m_startFailure = tr("Le lecteur vidéo n'a pas pu démarrer.");
        return;
    }
    mpv_observe_property(mpv, TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, Pause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, CoreIdle, "core-idle", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, PausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, EofReached, "eof-reached", MPV_FORMAT_FLAG);
    mpv_set_wakeup_callback(mpv, &VideoPlayer::wakeUp, this);
}

VideoPlayer::~VideoPlayer()
{
    emit aboutToBeDestroyed();
    // After this returns mpv calls no more into this object.
    if (m_mpv)
        mpv_set_wakeup_callback(m_mpv.get(), nullptr, nullptr);
}

void VideoPlayer::wakeUp(void *context)
{
    // Called on one of mpv's threads: only hand over to the main thread.
    auto *player = static_cast<VideoPlayer *>(context);
    if (!player->m_wakeUpPending.exchange(true))
        QMetaObject::invokeMethod(player, &VideoPlayer::handleEvents, Qt::QueuedConnection);
}

void VideoPlayer::handleEvents()
{
    m_wakeUpPending = false;
    for (;;) {
        const mpv_event *event = mpv_wait_event(m_mpv.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            return;
        handleEvent(*event);
    }
}

void VideoPlayer::handleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY:
        m_lastCommandReplied = std::max(m_lastCommandReplied, std::uint64_t(event.reply_userdata));
        // A seek mpv refused leaves the picture where it was.
        if (event.error < 0 && event.reply_userdata == m_lastCommandSent && m_seekPending && !m_loading) {
            m_restartPending = false;
            if (sendDeferredMoves())
                finishSeek();
        }
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        playbackRestarted();
        break;
    case MPV_EVENT_GET_PROPERTY_REPLY:
        if (event.reply_userdata == (timeReadMark | m_lastCommandSent) && m_seekPending && !m_loading)
            seekTimeRead(event.error, *static_cast<const mpv_event_property *>(event.data));
        break;
    case MPV_EVENT_SET_PROPERTY_REPLY:
        if (event.reply_userdata == pauseSetMark && m_pauseChangesPending > 0)
            --m_pauseChangesPending;
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        propertyChanged(event.reply_userdata, *static_cast<const mpv_event_property *>(event.data));
        break;
    case MPV_EVENT_END_FILE:
        fileEnded(*static_cast<const mpv_event_end_file *>(event.data));
        break;
    default:
        break;
    }
}

void VideoPlayer::playbackRestarted()
{
    // time-pos is the shown frame's only once the last seek we sent has restarted playback: it is
    // read then, and the seek ends with the answer.
    if (m_lastCommandReplied != m_lastCommandSent)
        return;
    m_loading = false;
    m_restartPending = false;
    if (m_deferredSeek || !m_deferredMoves.empty()) {
        if (sendDeferredMoves())
            finishIfStill();
    } else if (m_seekPending) {
        mpv_get_property_async(m_mpv.get(), timeReadMark | m_lastCommandSent, "time-pos", MPV_FORMAT_DOUBLE);
    }
}

void VideoPlayer::seekTimeRead(int error, const mpv_event_property &property)
{
    if (error >= 0 && property.format == MPV_FORMAT_DOUBLE &&
        std::isfinite(*static_cast<const double *>(property.data)))
        m_timePos = *static_cast<const double *>(property.data);
    finishSeek();
}

void VideoPlayer::fileEnded(const mpv_event_end_file &end)
{
    if (end.reason != MPV_END_FILE_REASON_ERROR || m_lastCommandReplied != m_lastCommandSent || !hasItem())
        return;
    m_failed = true;
    m_loading = false;
    m_seekPending = false;
    m_restartPending = false;
    m_deferredSeek.reset();
    m_deferredMoves.clear();
    notifyObservers(true);
    qInfo("mpv: %s (%d)", mpv_error_string(end.error), end.error);
    emit itemFailed(failureReason(end.error));
}

QString VideoPlayer::failureReason(int mpvError)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("VideoPlayer", text); };
    switch (mpvError) {
    case MPV_ERROR_UNKNOWN_FORMAT:
        return tr("format de fichier non reconnu");
    case MPV_ERROR_NOTHING_TO_PLAY:
        return tr("aucune image à montrer");
    case MPV_ERROR_LOADING_FAILED:
        return tr("le fichier n'a pas pu être chargé");
    case MPV_ERROR_VO_INIT_FAILED:
        return tr("l'affichage de la vidéo n'a pas pu démarrer");
    case MPV_ERROR_AO_INIT_FAILED:
        return tr("la sortie du son n'a pas pu démarrer");
    default:
        return QCoreApplication::translate("VideoPlayer", "le lecteur ne peut pas lire ce fichier (code %1)")
            .arg(mpvError);
    }
}

void VideoPlayer::propertyChanged(std::uint64_t property, const mpv_event_property &value)
{
    switch (property) {
    case TimePos:
        if (value.format == MPV_FORMAT_DOUBLE && std::isfinite(*static_cast<const double *>(value.data)))
            m_timePos = *static_cast<const double *>(value.data);
        else
            m_timePos.reset();
        // During a seek mpv reports the target; the frame reached is read when the seek ends.
        if (m_seekPending)
            return;
        break;
    case Pause:
        // Until mpv has taken our own last change, what it reports is older than what we know.
        if (m_pauseChangesPending > 0)
            return;
        m_paused = flagValue(value);
        break;
    case CoreIdle:
        m_coreIdle = flagValue(value);
        break;
    case PausedForCache:
        m_pausedForCache = flagValue(value);
        break;
    case EofReached:
        m_eofReached = flagValue(value);
        break;
    default:
        return;
    }
    notifyObservers();
}

void VideoPlayer::sendCommand(const std::initializer_list<QByteArray> &arguments)
{
    m_restartPending = true;
    std::vector<const char *> list;
    for (const QByteArray &argument : arguments)
        list.push_back(argument.constData());
    list.push_back(nullptr);
    if (m_mpv)
        mpv_command_async(m_mpv.get(), ++m_lastCommandSent, list.data());
}

void VideoPlayer::setPaused(bool paused)
{
    m_paused = paused;
    int flag = paused ? 1 : 0;
    if (m_mpv && mpv_set_property_async(m_mpv.get(), pauseSetMark, "pause", MPV_FORMAT_FLAG, &flag) >= 0)
        ++m_pauseChangesPending;
}

void VideoPlayer::replaceCurrentItem(const QString &path, std::shared_ptr<const FrameIndex> index)
{
    replaceCurrentItem(path, index ? std::make_shared<FrameIndexer>(path, std::move(index))
                                   : std::shared_ptr<FrameIndexer>());
}

void VideoPlayer::replaceCurrentItem(const QString &path, std::shared_ptr<FrameIndexer> indexer)
{
    if (!m_mpv) {
        // Nothing can be shown; the caller hears it as of any file that cannot be played.
        QMetaObject::invokeMethod(
            this, [this] { emit itemFailed(m_startFailure); }, Qt::QueuedConnection);
        return;
    }
    m_path = path;
    const std::uint64_t generation = ++m_itemGeneration;
    disconnect(m_indexerConnection);
    m_indexer = indexer ? std::move(indexer) : std::make_shared<FrameIndexer>(path);
    m_index.reset();
    m_deferredSeek.reset();
    m_deferredMoves.clear();
    m_failed = false;
    m_loading = true;
    m_seekPending = true;
    m_seekTarget = MediaTime::zero();
    m_timePos.reset();
    m_eofReached = false;

    setPaused(true);
    sendCommand({"loadfile", path.toUtf8(), "replace"});

    // The indexer tells from its own thread; the parts are taken here, for this item only.
    m_indexerConnection = connect(
        m_indexer.get(), &FrameIndexer::grew, this,
        [this, generation] {
            if (generation == m_itemGeneration)
                indexGrew();
        },
        Qt::QueuedConnection);
    if (std::shared_ptr<const FrameIndex> current = m_indexer->current())
        useIndex(std::move(current));
    notifyObservers(true);
}

void VideoPlayer::removeCurrentItem()
{
    if (!hasItem())
        return;
    ++m_itemGeneration;
    disconnect(m_indexerConnection);
    m_path.clear();
    m_indexer.reset();
    m_index.reset();
    m_deferredSeek.reset();
    m_deferredMoves.clear();
    m_failed = false;
    m_loading = false;
    m_seekPending = false;
    m_seekTarget = MediaTime::zero();
    m_timePos.reset();
    setPaused(true);
    sendCommand({"stop"});
    notifyObservers(true);
}

void VideoPlayer::useIndex(std::shared_ptr<const FrameIndex> index)
{
    m_index = std::move(index);
    applySeekMargin(m_index->seekMargin());
    if (m_seekPending && m_loading && !m_deferredSeek)
        m_seekTarget = m_index->startTime();
    // The file may have finished opening before its index: moves asked for meanwhile go now.
    if (!m_loading && (m_deferredSeek || !m_deferredMoves.empty()) && sendDeferredMoves())
        finishIfStill();
    emit frameIndexReady();
}

void VideoPlayer::indexGrew()
{
    std::shared_ptr<const FrameIndex> latest = m_indexer->current();
    if (!latest || latest == m_index)
        return;
    if (!m_index) {
        useIndex(std::move(latest));
        return;
    }
    m_index = std::move(latest);
    applySeekMargin(m_index->seekMargin());
    if (!m_loading && (m_deferredSeek || !m_deferredMoves.empty()) && sendDeferredMoves())
        finishIfStill();
    emit frameIndexGrew();
}

bool VideoPlayer::isWaitingForIndex() const
{
    return (m_deferredSeek || !m_deferredMoves.empty()) && !m_loading;
}

// mpv's exact seeks in containers without an index need to start demuxing a key-frame interval
// early. The option is only touched when it changes, so other files never see it set.
void VideoPlayer::applySeekMargin(double seconds)
{
    if (seconds == m_seekMargin)
        return;
    m_seekMargin = seconds;
    if (m_mpv)
        mpv_set_property_string(m_mpv.get(), "hr-seek-demuxer-offset",
                                QByteArray::number(seconds, 'f', 6).constData());
}

void VideoPlayer::play()
{
    if (!hasItem() || m_failed)
        return;
    // At the end, playing starts again from the first frame.
    if (m_index && (m_eofReached || (m_index->isComplete() && currentFrame() >= m_index->count() - 1)))
        seek(m_index->startTime());
    setPaused(false);
    notifyObservers(true);
}

void VideoPlayer::pause()
{
    setPaused(true);
    notifyObservers(true);
}

void VideoPlayer::setVolume(double percent)
{
    double value = std::isnan(percent) ? 0.0 : std::clamp(percent, 0.0, 100.0);
    if (m_mpv)
        mpv_set_property(m_mpv.get(), "volume", MPV_FORMAT_DOUBLE, &value);
}

double VideoPlayer::volume() const
{
    double value = 0;
    if (!m_mpv || mpv_get_property(m_mpv.get(), "volume", MPV_FORMAT_DOUBLE, &value) < 0)
        return 0;
    return value;
}

void VideoPlayer::setMuted(bool muted)
{
    int value = muted ? 1 : 0;
    if (m_mpv)
        mpv_set_property(m_mpv.get(), "mute", MPV_FORMAT_FLAG, &value);
}

bool VideoPlayer::isMuted() const
{
    int value = 0;
    return m_mpv && mpv_get_property(m_mpv.get(), "mute", MPV_FORMAT_FLAG, &value) >= 0 && value != 0;
}

VideoPlayer::TimeControlStatus VideoPlayer::timeControlStatus() const
{
    if (!hasItem() || m_failed || m_paused)
        return TimeControlStatus::Paused;
    if (m_seekPending || m_coreIdle || m_pausedForCache)
        return TimeControlStatus::WaitingToPlay;
    return TimeControlStatus::Playing;
}

MediaTime VideoPlayer::snapped(double seconds) const
{
    if (!m_index)
        return MediaTime::fromSeconds(seconds, provisionalTimescale);
    const std::int64_t ticks = m_index->ticksNearest(seconds);
    // Played beyond the part of the index built so far: the frame is not known yet.
    if (!m_index->covers(ticks))
        return MediaTime::fromSeconds(seconds, provisionalTimescale);
    return m_index->time(m_index->frameAt(ticks));
}

MediaTime VideoPlayer::currentTime() const
{
    if (!hasItem() || m_failed)
        return MediaTime::zero();
    if (m_seekPending || !m_timePos)
        return m_seekTarget;
    return snapped(*m_timePos);
}

int VideoPlayer::currentFrame() const
{
    return m_index->frameAt(currentTime());
}

void VideoPlayer::seek(const MediaTime &time)
{
    if (!hasItem() || m_failed || !time.isValid())
        return;
    m_seekPending = true;
    // A seek replaces the steps still waiting before it.
    m_deferredMoves.clear();
    if (m_loading || !m_index || !m_index->covers(time)) {
        // mpv cannot seek in a file it is still opening, and a frame beyond the index is not known
        // yet: the seek waits for the file and its index. Meanwhile the time is the one asked for.
        m_deferredSeek = time;
        const bool known = m_index && m_index->covers(time);
        m_seekTarget = known ? m_index->time(m_index->frameAt(time)) : time;
        if (m_index && !known && time.isNumeric())
            m_indexer->wantTicks(m_index->ticksAtOrBefore(time));
        notifyObservers();
        return;
    }
    m_deferredSeek.reset();
    seekToFrame(m_index->frameAt(time));
}

void VideoPlayer::seekToFrame(int frame)
{
    m_seekPending = true;
    double seconds = m_index->seconds(frame);
    if (frame > 0)
        seconds += std::max(0.0, seekSlack - (seconds - m_index->seconds(frame - 1)) / 2.0);
    m_seekTarget = m_index->time(frame);
    sendCommand({"seek", QByteArray::number(seconds, 'f', 9), "absolute+exact"});
    notifyObservers();
}

void VideoPlayer::stepByCount(int count)
{
    if (!hasItem() || m_failed || count == 0)
        return;
    // Counted from where the pending opening or seek lands.
    if (!m_deferredMoves.empty() && !m_deferredMoves.back().offset)
        m_deferredMoves.back().frames += count;
    else
        m_deferredMoves.push_back({count, std::nullopt});
    sendDeferredMoves();
}

void VideoPlayer::stepByTime(const MediaTime &offset)
{
    if (!hasItem() || m_failed || !m_index || !offset.isNumeric())
        return;
    m_deferredMoves.push_back({0, offset});
    sendDeferredMoves();
}

bool VideoPlayer::sendDeferredMoves()
{
    if (m_loading || !m_index || m_failed)
        return false;
    // What waits for the index shows as a seek until the index gets there.
    const auto waitFor = [this] {
        m_seekPending = true;
        notifyObservers();
        return false;
    };
    if (m_deferredSeek) {
        if (!m_index->covers(*m_deferredSeek)) {
            if (m_deferredSeek->isNumeric())
                m_indexer->wantTicks(m_index->ticksAtOrBefore(*m_deferredSeek));
            return waitFor();
        }
        seekToFrame(m_index->frameAt(*std::exchange(m_deferredSeek, std::nullopt)));
    }
    while (!m_deferredMoves.empty()) {
        const Step step = m_deferredMoves.front();
        const int current = currentFrame();
        int target = current;
        if (step.offset) {
            const MediaTime goal = m_index->time(current) + *step.offset;
            if (!m_index->covers(goal)) {
                m_indexer->wantTicks(m_index->ticksAtOrBefore(goal));
                return waitFor();
            }
            // The nearest frame may be the one after the frame holding the goal.
            if (!m_index->knowsFrameAfter(m_index->frameAt(goal))) {
                m_indexer->wantFrameAfter(m_index->frameAt(goal));
                return waitFor();
            }
            target = m_index->frameNearest(goal, current);
        } else {
            const int wanted = current + step.frames;
            if (!m_index->isComplete() && wanted >= m_index->count()) {
                m_indexer->wantFrameAfter(wanted - 1);
                return waitFor();
            }
            target = std::clamp(wanted, 0, m_index->count() - 1);
        }
        m_deferredMoves.pop_front();
        if (target != current)
            seekToFrame(target);
    }
    return true;
}

void VideoPlayer::finishIfStill()
{
    // Moves that end where the player already stands send nothing: the seek or opening ends here.
    if (m_mpv && m_seekPending && !m_restartPending && m_lastCommandReplied == m_lastCommandSent)
        mpv_get_property_async(m_mpv.get(), timeReadMark | m_lastCommandSent, "time-pos", MPV_FORMAT_DOUBLE);
}

void VideoPlayer::finishSeek()
{
    m_seekPending = false;
    emit seekCompleted();
    notifyObservers(true);
}

int VideoPlayer::addPeriodicTimeObserver(const MediaTime &interval,
                                         std::function<void(const MediaTime &)> callback)
{
    const int token = m_nextObserverToken++;
    TimeObserver &observer = m_observers[token];
    const double seconds = interval.isNumeric() ? interval.seconds() : 1.0 / 30.0;
    observer.intervalMs = std::max(1, int(std::lround(seconds * 1000.0)));
    observer.callback = std::move(callback);
    observer.pending = new QTimer(this);
    observer.pending->setSingleShot(true);
    connect(observer.pending, &QTimer::timeout, this, [this, token] {
        const auto found = m_observers.find(token);
        if (found != m_observers.end())
            callObserver(found->second);
    });
    return token;
}

void VideoPlayer::removeTimeObserver(int token)
{
    const auto found = m_observers.find(token);
    if (found == m_observers.end())
        return;
    found->second.pending->stop();
    found->second.pending->deleteLater();
    m_observers.erase(found);
}

void VideoPlayer::notifyObservers(bool now)
{
    std::vector<int> tokens;
    for (const auto &entry : m_observers)
        tokens.push_back(entry.first);
    // A callback may remove observers: each is looked up again.
    for (int token : tokens) {
        const auto found = m_observers.find(token);
        if (found == m_observers.end())
            continue;
        TimeObserver &observer = found->second;
        const qint64 since = observer.lastCall.isValid() ? observer.lastCall.elapsed() : observer.intervalMs;
        if (now || since >= observer.intervalMs)
            callObserver(observer);
        else if (!observer.pending->isActive())
            observer.pending->start(int(observer.intervalMs - since));
    }
}

void VideoPlayer::callObserver(TimeObserver &observer)
{
    observer.pending->stop();
    observer.lastCall.start();
    // Copied: the callback may remove its own observer.
    const std::function<void(const MediaTime &)> callback = observer.callback;
    callback(currentTime());
}
