#include "VideoPlayer.h"

#include <QFuture>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

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

} // namespace

void VideoPlayer::MpvDeleter::operator()(mpv_handle *handle) const
{
    mpv_terminate_destroy(handle);
}

VideoPlayer::VideoPlayer(PlayerOutput output, QObject *parent)
    : QObject(parent), m_output(output), m_mpv(mpv_create())
{
    if (!m_mpv)
        qFatal("libmpv could not be created");
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
    };
    // A window plays sound on mpv's usual outputs; headless players stay silent.
    if (headless)
        options.emplace_back("ao", "null");
    for (const auto &[name, value] : options)
        mpv_set_option_string(mpv, name, value);
    const int status = mpv_initialize(mpv);
    if (status < 0)
        qFatal("libmpv could not start: %s", mpv_error_string(status));
    mpv_set_wakeup_callback(mpv, &VideoPlayer::wakeUp, this);
}

VideoPlayer::~VideoPlayer()
{
    emit aboutToBeDestroyed();
    // After this returns mpv calls no more into this object.
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
        switch (event->event_id) {
        case MPV_EVENT_NONE:
            return;
        case MPV_EVENT_COMMAND_REPLY:
            m_lastCommandReplied = std::max(m_lastCommandReplied, std::uint64_t(event->reply_userdata));
            // A seek mpv refused leaves the picture where it was.
            if (event->error < 0 && event->reply_userdata == m_lastCommandSent && m_seekPending &&
                !m_loading) {
                m_seekPending = false;
                emit seekCompleted();
            }
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            // time-pos is the shown frame's only once the last seek we sent has restarted playback.
            if (m_lastCommandReplied == m_lastCommandSent) {
                m_loading = false;
                if (m_deferredSeek || m_deferredSteps) {
                    sendDeferredMoves();
                } else if (m_seekPending) {
                    m_seekPending = false;
                    emit seekCompleted();
                }
            }
            break;
        case MPV_EVENT_END_FILE: {
            const auto *end = static_cast<const mpv_event_end_file *>(event->data);
            if (end->reason == MPV_END_FILE_REASON_ERROR && m_lastCommandReplied == m_lastCommandSent) {
                m_failed = true;
                m_loading = false;
                m_seekPending = false;
                emit itemFailed(QString::fromUtf8(mpv_error_string(end->error)));
            }
            break;
        }
        default:
            break;
        }
    }
}

void VideoPlayer::sendCommand(const std::initializer_list<QByteArray> &arguments)
{
    std::vector<const char *> list;
    for (const QByteArray &argument : arguments)
        list.push_back(argument.constData());
    list.push_back(nullptr);
    mpv_command_async(m_mpv.get(), ++m_lastCommandSent, list.data());
}

bool VideoPlayer::flag(const char *property) const
{
    int value = 0;
    if (mpv_get_property(m_mpv.get(), property, MPV_FORMAT_FLAG, &value) < 0)
        return false;
    return value != 0;
}

void VideoPlayer::replaceCurrentItem(const QString &path)
{
    m_path = path;
    const std::uint64_t generation = ++m_itemGeneration;
    m_index.reset();
    m_deferredSeek.reset();
    m_deferredSteps = 0;
    m_failed = false;
    m_loading = true;
    m_seekPending = true;
    m_seekTarget = MediaTime::zero();

    mpv_set_property_string(m_mpv.get(), "pause", "yes");
    sendCommand({"loadfile", path.toUtf8(), "replace"});

    QtConcurrent::run([path] {
        return FrameIndex::build(path);
    }).then(this, [this, generation](const Result<FrameIndex> &index) {
        if (generation != m_itemGeneration || !index.ok())
            return;
        m_index = index.value();
        applySeekMargin(m_index->seekMargin());
        if (m_seekPending && m_loading)
            m_seekTarget = m_index->time(0);
        // The file may have finished opening before its index: moves asked for meanwhile go now.
        if (!m_loading && (m_deferredSeek || m_deferredSteps))
            sendDeferredMoves();
        emit frameIndexReady();
    });
}

// mpv's exact seeks in containers without an index need to start demuxing a key-frame interval
// early. The option is only touched when it changes, so other files never see it set.
void VideoPlayer::applySeekMargin(double seconds)
{
    if (seconds == m_seekMargin)
        return;
    m_seekMargin = seconds;
    mpv_set_property_string(m_mpv.get(), "hr-seek-demuxer-offset",
                            QByteArray::number(seconds, 'f', 6).constData());
}

void VideoPlayer::play()
{
    if (!hasItem() || m_failed)
        return;
    mpv_set_property_string(m_mpv.get(), "pause", "no");
}

void VideoPlayer::pause()
{
    mpv_set_property_string(m_mpv.get(), "pause", "yes");
}

void VideoPlayer::setVolume(double percent)
{
    double value = std::isnan(percent) ? 0.0 : std::clamp(percent, 0.0, 100.0);
    mpv_set_property(m_mpv.get(), "volume", MPV_FORMAT_DOUBLE, &value);
}

double VideoPlayer::volume() const
{
    double value = 0;
    if (mpv_get_property(m_mpv.get(), "volume", MPV_FORMAT_DOUBLE, &value) < 0)
        return 0;
    return value;
}

void VideoPlayer::setMuted(bool muted)
{
    int value = muted ? 1 : 0;
    mpv_set_property(m_mpv.get(), "mute", MPV_FORMAT_FLAG, &value);
}

VideoPlayer::TimeControlStatus VideoPlayer::timeControlStatus() const
{
    if (!hasItem() || m_failed || flag("pause"))
        return TimeControlStatus::Paused;
    if (m_seekPending || flag("core-idle") || flag("paused-for-cache"))
        return TimeControlStatus::WaitingToPlay;
    return TimeControlStatus::Playing;
}

MediaTime VideoPlayer::snapped(double seconds) const
{
    if (!m_index)
        return MediaTime::fromSeconds(seconds, provisionalTimescale);
    return m_index->time(m_index->frameAt(m_index->ticksNearest(seconds)));
}

MediaTime VideoPlayer::currentTime() const
{
    if (!hasItem() || m_failed)
        return MediaTime::zero();
    if (m_seekPending)
        return m_seekTarget;
    double seconds = 0.0;
    if (mpv_get_property(m_mpv.get(), "time-pos", MPV_FORMAT_DOUBLE, &seconds) < 0 || !std::isfinite(seconds))
        return m_seekTarget;
    return snapped(seconds);
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
    if (m_loading || !m_index) {
        // mpv cannot seek in a file it is still opening: the seek waits for the file and its index.
        m_deferredSeek = time;
        m_deferredSteps = 0;
        m_seekTarget = time;
        return;
    }
    const int frame = m_index->frameAt(time);
    const MediaTime target = m_index->time(frame);
    double seconds = m_index->seconds(frame);
    if (frame > 0)
        seconds += std::max(0.0, seekSlack - (seconds - m_index->seconds(frame - 1)) / 2.0);
    m_seekTarget = target;
    sendCommand({"seek", QByteArray::number(seconds, 'f', 9), "absolute+exact"});
}

void VideoPlayer::stepByCount(int count)
{
    if (!hasItem() || m_failed || count == 0)
        return;
    if (m_loading || !m_index) {
        // Counted from where the pending opening or seek lands, once the file and its index are ready.
        m_deferredSteps += count;
        return;
    }
    const int current = currentFrame();
    const int target = std::clamp(current + count, 0, m_index->count() - 1);
    if (target != current)
        seek(m_index->time(target));
}

void VideoPlayer::sendDeferredMoves()
{
    if (m_loading || !m_index || m_failed)
        return;
    if (const std::optional<MediaTime> target = std::exchange(m_deferredSeek, std::nullopt))
        seek(*target);
    if (const int steps = std::exchange(m_deferredSteps, 0))
        stepByCount(steps);
}

int VideoPlayer::addPeriodicTimeObserver(const MediaTime &interval,
                                         std::function<void(const MediaTime &)> callback)
{
    const int token = m_nextObserverToken++;
    auto *timer = new QTimer(this);
    const double seconds = interval.isNumeric() ? interval.seconds() : 1.0 / 30.0;
    timer->setInterval(std::max(1, int(std::lround(seconds * 1000.0))));
    connect(timer, &QTimer::timeout, this,
            [this, callback = std::move(callback)] { callback(currentTime()); });
    timer->start();
    m_observers.emplace(token, timer);
    return token;
}

void VideoPlayer::removeTimeObserver(int token)
{
    const auto found = m_observers.find(token);
    if (found == m_observers.end())
        return;
    found->second->stop();
    found->second->deleteLater();
    m_observers.erase(found);
}
