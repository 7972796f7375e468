#include "FrameIndexer.h"

#include "FrameIndexScan.h"

#include <chrono>
#include <limits>

namespace {

constexpr std::int64_t nothingWanted = std::numeric_limits<std::int64_t>::max();

// The clock is read once every so many packets: reading it costs more than a packet of a sample table.
constexpr int packetsBetweenClockReads = 64;

void raise(std::atomic<std::int64_t> &value, std::int64_t wanted)
{
    std::int64_t now = value.load();
    while ((now == nothingWanted || now < wanted) && !value.compare_exchange_weak(now, wanted)) {
    }
}

} // namespace

FrameIndexer::FrameIndexer(const QString &path) : FrameIndexer(path, Options()) {}

FrameIndexer::FrameIndexer(const QString &path, Options options)
    : m_path(path), m_options(std::move(options)), m_wantedTicks(nothingWanted)
{
    // Its signal goes to receivers on other threads; the object itself handles no events.
    moveToThread(nullptr);
    m_thread = std::thread([this] { read(); });
}

FrameIndexer::FrameIndexer(const QString &path, std::shared_ptr<const FrameIndex> complete)
    : m_path(path), m_current(std::move(complete)), m_finished(true), m_wantedTicks(nothingWanted)
{
    moveToThread(nullptr);
}

FrameIndexer::~FrameIndexer()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
}

std::shared_ptr<const FrameIndex> FrameIndexer::current() const
{
    const std::lock_guard lock(m_mutex);
    return m_current;
}

std::optional<AppError> FrameIndexer::failure() const
{
    const std::lock_guard lock(m_mutex);
    return m_failure;
}

void FrameIndexer::read()
{
    FrameIndexScan scan(m_path);
    if (const std::optional<AppError> failure = scan.open()) {
        fail(*failure);
        return;
    }
    m_sampleTable = scan.readsSampleTable();
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextPart = Clock::now() + std::chrono::milliseconds(m_options.firstPartMs);
    int packetsSinceClock = 0;
    while (!m_stopping && scan.next()) {
        FrameIndexBuilder &builder = scan.builder();
        m_bytesRead = scan.bytesRead();
        const std::int64_t wantedTicks = m_wantedTicks.load(std::memory_order_relaxed);
        const int wantedFrames = m_wantedFrames.load(std::memory_order_relaxed);
        bool due = (wantedTicks != nothingWanted && builder.knownUntil() > wantedTicks) ||
                   (wantedFrames > 0 && builder.knownFrameCount() >= wantedFrames);
        if (!due && ++packetsSinceClock >= packetsBetweenClockReads) {
            packetsSinceClock = 0;
            due = Clock::now() >= nextPart;
        }
        if (due && builder.knownFrameCount() > 0) {
            publish(std::make_shared<const FrameIndex>(builder.part()));
            nextPart = Clock::now() + std::chrono::milliseconds(m_options.partIntervalMs);
        }
        if (m_options.afterPacket)
            m_options.afterPacket(builder.packetCount());
    }
    if (m_stopping)
        return;
    Result<FrameIndex> built = scan.finish();
    m_bytesRead = scan.bytesRead();
    if (!built.ok()) {
        fail(built.error());
        return;
    }
    publish(std::make_shared<const FrameIndex>(std::move(built).value()));
}

void FrameIndexer::publish(std::shared_ptr<const FrameIndex> index)
{
    {
        const std::lock_guard lock(m_mutex);
        m_finished = index->isComplete();
        m_current = std::move(index);
        // Whoever still waits asks again.
        m_wantedTicks = nothingWanted;
        m_wantedFrames = 0;
    }
    m_changed.notify_all();
    emit grew();
}

void FrameIndexer::fail(const AppError &failure)
{
    {
        const std::lock_guard lock(m_mutex);
        m_failure = failure;
        m_finished = true;
    }
    m_changed.notify_all();
    emit grew();
}

std::shared_ptr<const FrameIndex>
FrameIndexer::waitUntil(const std::function<bool(const FrameIndex &)> &enough)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_current && (m_current->isComplete() || enough(*m_current)))
            return m_current;
        if (m_finished)
            return m_current;
        m_changed.wait(lock);
    }
}

std::shared_ptr<const FrameIndex> FrameIndexer::waitForFirstPart()
{
    return waitUntil([](const FrameIndex &) { return true; });
}

std::shared_ptr<const FrameIndex> FrameIndexer::waitUntilCovers(std::int64_t ticks)
{
    return waitUntil([this, ticks](const FrameIndex &index) {
        if (index.covers(ticks))
            return true;
        raise(m_wantedTicks, ticks);
        return false;
    });
}

std::shared_ptr<const FrameIndex> FrameIndexer::waitUntilCovers(const MediaTime &time)
{
    return waitUntil([this, time](const FrameIndex &index) {
        if (index.covers(time))
            return true;
        // Times beyond every tick wait for the whole file.
        if (time.isNumeric())
            raise(m_wantedTicks, index.ticksAtOrBefore(time));
        return false;
    });
}

std::shared_ptr<const FrameIndex> FrameIndexer::waitUntilKnowsFrameAfter(int frame)
{
    return waitUntil([this, frame](const FrameIndex &index) {
        if (index.knowsFrameAfter(frame))
            return true;
        wantFrameAfter(frame);
        return false;
    });
}

std::shared_ptr<const FrameIndex> FrameIndexer::waitUntilComplete()
{
    return waitUntil([](const FrameIndex &) { return false; });
}

void FrameIndexer::wantTicks(std::int64_t ticks)
{
    raise(m_wantedTicks, ticks);
}

void FrameIndexer::wantFrameAfter(int frame)
{
    int now = m_wantedFrames.load();
    while (now < frame + 2 && !m_wantedFrames.compare_exchange_weak(now, frame + 2)) {
    }
}
