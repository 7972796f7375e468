#include "FrameIndex.h"

#include "FfmpegHandles.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

std::atomic<std::int64_t> scannedPackets = 0;

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
    Ffmpeg::FormatContext format;
    const QString openFailure = Ffmpeg::openInput(path, format);
    if (!openFailure.isEmpty())
        return AppError::platformFailure(openFailure);

    const int streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return AppError::platformFailure(Ffmpeg::errorText(streamIndex));
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (int(i) != streamIndex)
            format->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVStream *stream = format->streams[streamIndex];

    FrameIndex index;
    index.m_numerator = stream->time_base.num;
    index.m_denominator = stream->time_base.den;
    if (index.m_numerator <= 0 || index.m_denominator <= 0)
        return AppError::platformFailure(QStringLiteral("invalid time base"));

    Ffmpeg::Packet packet(av_packet_alloc());
    if (!packet)
        return AppError::platformFailure(Ffmpeg::errorText(AVERROR(ENOMEM)));
    int status = 0;
    while ((status = av_read_frame(format.get(), packet.get())) >= 0) {
        scannedPackets.fetch_add(1, std::memory_order_relaxed);
        if (packet->stream_index == streamIndex && !(packet->flags & AV_PKT_FLAG_DISCARD)) {
            const std::int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (pts != AV_NOPTS_VALUE) {
                index.m_pts.push_back(pts);
                if (packet->flags & AV_PKT_FLAG_KEY) {
                    index.m_keyFramePts.push_back(pts);
                    if (packet->pos >= 0)
                        index.m_keyFramePositions.emplace(pts, packet->pos);
                }
            }
        }
        av_packet_unref(packet.get());
    }
    if (status != AVERROR_EOF)
        return AppError::platformFailure(Ffmpeg::errorText(status));
    if (index.m_pts.empty())
        return AppError::platformFailure(
            QStringLiteral("%1 : no video frame").arg(QFileInfo(path).fileName()));

    std::sort(index.m_pts.begin(), index.m_pts.end());
    index.m_pts.erase(std::unique(index.m_pts.begin(), index.m_pts.end()), index.m_pts.end());
    std::sort(index.m_keyFramePts.begin(), index.m_keyFramePts.end());
    index.m_keyFramePts.erase(std::unique(index.m_keyFramePts.begin(), index.m_keyFramePts.end()),
                              index.m_keyFramePts.end());

    const QList<QByteArray> formatNames = QByteArray(format->iformat->name).split(',');
    if (formatNames.contains("mpegts") || formatNames.contains("mpeg")) {
        std::int64_t longest = 0;
        std::int64_t previous = index.m_pts.front();
        for (std::int64_t keyFrame : index.m_keyFramePts) {
            longest = std::max(longest, keyFrame - previous);
            previous = keyFrame;
        }
        longest = std::max(longest, index.m_pts.back() - previous);
        // One more frame's worth, so that a target just before a key frame is covered too.
        const double frame = index.m_pts.size() > 1 ? index.seconds(1) - index.seconds(0) : 0.0;
        index.m_seekMargin = double(longest) * index.m_numerator / index.m_denominator + frame;
    } else {
        index.m_keyFramePositions.clear();
    }
    return index;
}

std::int64_t FrameIndex::packetsScanned()
{
    return scannedPackets.load(std::memory_order_relaxed);
}

MediaTime FrameIndex::time(int index) const
{
    return MediaTime(pts(index) * m_numerator, m_denominator);
}

double FrameIndex::seconds(int index) const
{
    return double(pts(index)) * m_numerator / m_denominator;
}

std::int64_t FrameIndex::ticksAtOrBefore(const MediaTime &time) const
{
    // ticks = time × den / num = value × den / (timescale × num)
    return std::int64_t(
        floorDivide(Int128(time.value()) * m_denominator, Int128(time.timescale()) * m_numerator));
}

std::int64_t FrameIndex::ticksNearest(double seconds) const
{
    return std::llround(seconds * m_denominator / m_numerator);
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
