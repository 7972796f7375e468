#include "FrameIndex.h"

#include "FrameIndexScan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

using Int128 = __int128;

// a / b rounded towards negative infinity; b > 0.
Int128 floorDivide(Int128 a, Int128 b)
{
    Int128 quotient = a / b;
    if ((a % b != 0) && (a < 0))
        --quotient;
    return quotient;
}

} // namespace

Result<FrameIndex> FrameIndex::build(const QString &path)
{
    FrameIndexScan scan(path);
    if (const std::optional<AppError> failure = scan.open())
        return *failure;
    while (scan.next()) {
    }
    return scan.finish();
}

std::int64_t FrameIndex::packetsScanned()
{
    return FrameIndexScan::packetsScanned();
}

bool FrameIndex::covers(const MediaTime &time) const
{
    if (m_complete || !time.isValid())
        return true;
    if (time.isPositiveInfinity())
        return false;
    if (!time.isNumeric())
        return true;
    return covers(ticksAtOrBefore(time));
}

std::size_t FrameIndex::memoryBytes() const
{
    // A map node holds its key and value beside three links and a colour.
    constexpr std::size_t mapNode = 2 * sizeof(std::int64_t) + 4 * sizeof(void *);
    return sizeof(FrameIndex) + m_pts.capacity() * sizeof(std::int64_t) +
           m_keyFramePts.capacity() * sizeof(std::int64_t) + m_keyFramePositions.size() * mapNode;
}

MediaTime FrameIndex::time(int index) const
{
    return MediaTime(pts(index) * m_numerator, m_denominator);
}

double FrameIndex::seconds(int index) const
{
    return double(pts(index)) * m_numerator / m_denominator;
}

MediaTime FrameIndex::duration() const
{
    if (m_pts.empty())
        return MediaTime::zero();
    return MediaTime((m_pts.back() + m_lastFrameTicks - m_pts.front()) * m_numerator, m_denominator);
}

std::int64_t FrameIndex::ticksAtOrBefore(const MediaTime &time) const
{
    // ticks = time × den / num = value × den / (timescale × num). Times far beyond any video (a
    // damaged project file can hold 1e15 s) stop at the ends of the range instead of wrapping.
    const Int128 ticks =
        floorDivide(Int128(time.value()) * m_denominator, Int128(time.timescale()) * m_numerator);
    return std::int64_t(std::clamp<Int128>(ticks, std::numeric_limits<std::int64_t>::min(),
                                           std::numeric_limits<std::int64_t>::max()));
}

std::int64_t FrameIndex::ticksNearest(double seconds) const
{
    return std::llround(seconds * m_denominator / m_numerator);
}

int FrameIndex::position(std::int64_t ticks) const
{
    const auto found = std::lower_bound(m_pts.begin(), m_pts.end(), ticks);
    if (found == m_pts.end() || *found != ticks)
        return -1;
    return int(found - m_pts.begin());
}

int FrameIndex::frameAt(std::int64_t ticks) const
{
    if (m_pts.empty())
        return -1;
    const auto after = std::upper_bound(m_pts.begin(), m_pts.end(), ticks);
    if (after == m_pts.begin())
        return 0;
    return int(after - m_pts.begin()) - 1;
}

int FrameIndex::frameAt(const MediaTime &time) const
{
    if (m_pts.empty())
        return -1;
    if (time.isPositiveInfinity())
        return count() - 1;
    if (!time.isNumeric())
        return 0;
    return frameAt(ticksAtOrBefore(time));
}

int FrameIndex::frameNearest(const MediaTime &target, int from) const
{
    if (m_pts.empty())
        return -1;
    if (target.isPositiveInfinity())
        return count() - 1;
    if (!target.isNumeric())
        return 0;
    const int before = frameAt(target);
    if (before + 1 >= count() || target < time(before))
        return before;
    // Both distances in units of 1 / (timescale × time base denominator), exactly.
    const Int128 scaledTarget = Int128(target.value()) * m_denominator;
    const auto scaledStart = [&](int frame) { return Int128(pts(frame)) * m_numerator * target.timescale(); };
    const Int128 toBefore = scaledTarget - scaledStart(before);
    const Int128 toAfter = scaledStart(before + 1) - scaledTarget;
    if (toBefore != toAfter)
        return toBefore < toAfter ? before : before + 1;
    return std::abs(from - before) <= std::abs(from - (before + 1)) ? before : before + 1;
}

std::optional<std::int64_t> FrameIndex::keyFrameBytePosition(std::int64_t keyFramePts) const
{
    const auto found = m_keyFramePositions.find(keyFramePts);
    if (found == m_keyFramePositions.end())
        return std::nullopt;
    return found->second;
}

std::int64_t FrameIndex::keyFrameAtOrBefore(std::int64_t ticks) const
{
    const auto after = std::upper_bound(m_keyFramePts.begin(), m_keyFramePts.end(), ticks);
    if (after == m_keyFramePts.begin())
        return m_pts.empty() ? 0 : m_pts.front();
    return *(after - 1);
}

std::int64_t FrameIndex::keyFrameBefore(std::int64_t keyFramePts) const
{
    const auto at = std::lower_bound(m_keyFramePts.begin(), m_keyFramePts.end(), keyFramePts);
    if (at == m_keyFramePts.begin())
        return m_pts.empty() ? keyFramePts : std::min(keyFramePts, m_pts.front());
    return *(at - 1);
}
