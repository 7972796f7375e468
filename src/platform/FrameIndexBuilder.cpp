#include "FrameIndexBuilder.h"

#include <algorithm>

namespace {

// The stretch of recent packet times that bounds what can still come for streams without decoding
// times: more than the pictures any decoder holds back to reorder them.
constexpr std::size_t recentTimeCount = 32;

// Puts `value` in its place in a sorted vector without repeats; false when it was there already.
// Packets come nearly in order, so the place is looked for from the end first.
bool insertSorted(std::vector<std::int64_t> &values, std::int64_t value)
{
    auto at = values.end();
    for (int steps = 0; steps < 64 && at != values.begin() && *(at - 1) > value; ++steps)
        --at;
    if (at != values.begin() && *(at - 1) > value)
        at = std::upper_bound(values.begin(), at, value);
    if (at != values.begin() && *(at - 1) == value)
        return false;
    values.insert(at, value);
    return true;
}

// The longest stretch between two key frames, or from the last key frame to the last frame, in ticks.
std::int64_t longestKeyFrameInterval(const std::vector<std::int64_t> &pts,
                                     const std::vector<std::int64_t> &keyFramePts)
{
    std::int64_t longest = 0;
    std::int64_t previous = pts.front();
    for (std::int64_t keyFrame : keyFramePts) {
        longest = std::max(longest, keyFrame - previous);
        previous = keyFrame;
    }
    return std::max(longest, pts.back() - previous);
}

} // namespace

FrameIndexBuilder::FrameIndexBuilder(int timeBaseNumerator, int timeBaseDenominator, std::int64_t frameTicks,
                                     bool mpegStream, std::size_t expectedFrames)
    : m_numerator(timeBaseNumerator)
    , m_denominator(timeBaseDenominator)
    , m_frameTicks(frameTicks)
    , m_mpegStream(mpegStream)
{
    m_pts.reserve(expectedFrames);
}

void FrameIndexBuilder::add(const Packet &packet)
{
    ++m_packetCount;
    const bool hasPts = packet.pts != noTime;
    const std::int64_t time = hasPts ? packet.pts : packet.dts;
    m_someTimeMissing = m_someTimeMissing || !hasPts;
    m_reordered = m_reordered || (hasPts && packet.pts != packet.dts);

    // What can still come: nothing decoded before this packet, or, without decoding times, nothing
    // before the earliest of the latest packets.
    std::int64_t bound = packet.dts;
    if (bound == noTime && time != noTime) {
        if (m_recentTimes.size() < recentTimeCount)
            m_recentTimes.push_back(time);
        else
            m_recentTimes[std::exchange(m_recentNext, (m_recentNext + 1) % recentTimeCount)] = time;
        bound = *std::min_element(m_recentTimes.begin(), m_recentTimes.end());
    }
    if (time == noTime)
        return;
    ++m_timedPackets;
    if (m_pending)
        place(*m_pending);
    m_pending = packet;
    m_knownUntil = std::max(m_knownUntil, bound);
}

void FrameIndexBuilder::place(const Packet &packet)
{
    const std::int64_t time = packet.pts != noTime ? packet.pts : packet.dts;
    if (packet.shown) {
        // A frame before a part already handed out renumbers the frames after it.
        if (insertSorted(m_pts, time) && m_publishedUntil != noTime && time < m_publishedUntil)
            ++m_revision;
        if (m_lastTime == noTime || time >= m_lastTime) {
            m_lastTime = time;
            m_lastDuration = packet.duration;
        }
    }
    if (packet.key) {
        insertSorted(m_keyFramePts, time);
        if (m_mpegStream && packet.bytePosition >= 0)
            m_keyFramePositions.emplace(time, packet.bytePosition);
    }
}

int FrameIndexBuilder::knownFrameCount() const
{
    return int(std::lower_bound(m_pts.begin(), m_pts.end(), m_knownUntil) - m_pts.begin());
}

void FrameIndexBuilder::describe(FrameIndex &index) const
{
    index.m_numerator = m_numerator;
    index.m_denominator = m_denominator;
    // Packets that only some of carry a time of their own, always equal to their decoding time, are
    // times of a container without reordering information (AVI): decoding times.
    index.m_presentationTimes = !m_someTimeMissing || m_reordered;
    if (index.m_pts.empty())
        return;

    // The last frame shows for its packet's duration, else as long as the frame before it, else for
    // one frame at the stream's rate. A part ends where its reading stands: one frame at the rate.
    std::int64_t ticks = index.m_complete ? m_lastDuration : 0;
    if (ticks <= 0 && index.m_complete && index.m_pts.size() > 1)
        ticks = index.m_pts.back() - index.m_pts[index.m_pts.size() - 2];
    if (ticks <= 0)
        ticks = m_frameTicks;
    index.m_lastFrameTicks = std::max<std::int64_t>(ticks, 0);

    // Timestamp seeks in MPEG streams (no index) can land a key-frame interval late. In files with
    // decoding times only, a key frame's picture can come after pictures stored behind it (an open
    // group of pictures), so a seek to those must start from the key frame before.
    index.m_seekMargin = 0.0;
    if (m_mpegStream || !index.m_presentationTimes) {
        const std::int64_t longest = longestKeyFrameInterval(index.m_pts, index.m_keyFramePts);
        // One more frame's worth, so that a target just before a key frame is covered too.
        const double frame = index.m_pts.size() > 1 ? index.seconds(1) - index.seconds(0) : 0.0;
        index.m_seekMargin = double(longest) * m_numerator / m_denominator + frame;
    }
}

FrameIndex FrameIndexBuilder::part()
{
    FrameIndex index;
    index.m_complete = false;
    index.m_knownUntil = m_knownUntil;
    index.m_pts.assign(m_pts.begin(), m_pts.begin() + knownFrameCount());
    const auto keyFramesKnown = std::lower_bound(m_keyFramePts.begin(), m_keyFramePts.end(), m_knownUntil);
    index.m_keyFramePts.assign(m_keyFramePts.begin(), keyFramesKnown);
    index.m_keyFramePositions = m_keyFramePositions;
    describe(index);
    m_publishedUntil = std::max(m_publishedUntil, m_knownUntil);
    index.m_revision = m_revision;
    return index;
}

Result<FrameIndex> FrameIndexBuilder::finish(const QString &fileName, const QString &readFailure)
{
    const auto failure = [&fileName](const QString &text) {
        return AppError::platformFailure(QStringLiteral("%1 : %2").arg(fileName, text));
    };
    // A file cut short ends in a read error, after a last packet that may be missing its end: what
    // was read before it can still be played.
    if (!readFailure.isEmpty() && m_timedPackets == 0)
        return failure(readFailure);
    if (m_pending && !m_pending->corrupt)
        place(*m_pending);
    m_pending.reset();
    if (m_pts.empty())
        return failure(QStringLiteral("aucune image vidéo complète"));

    FrameIndex index;
    index.m_pts = std::move(m_pts);
    index.m_keyFramePts = std::move(m_keyFramePts);
    if (m_mpegStream)
        index.m_keyFramePositions = std::move(m_keyFramePositions);
    // Room reserved for frames that never came is given back.
    if (index.m_pts.capacity() > index.m_pts.size() + index.m_pts.size() / 8)
        index.m_pts.shrink_to_fit();
    describe(index);
    index.m_revision = m_revision;
    return index;
}
