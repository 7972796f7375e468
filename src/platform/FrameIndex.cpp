#include "FrameIndex.h"

#include "FfmpegHandles.h"

#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>

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

struct IndexedPacket
{
    std::int64_t time = 0;
    std::int64_t duration = 0;
    std::int64_t bytePosition = -1;
    bool key = false;
    bool corrupt = false;
    bool shown = true;
};

struct PacketScan
{
    std::vector<IndexedPacket> packets;
    // Some packets carry no presentation time of their own.
    bool someTimeMissing = false;
    // Some packets are presented at another time than they are decoded.
    bool reordered = false;
    // What ended the reading: AVERROR_EOF at the end of a sound file.
    int status = 0;
};

// Reads every packet of the file, keeping the timed ones of stream `streamIndex`.
PacketScan scanPackets(AVFormatContext *format, int streamIndex, AVPacket *packet)
{
    PacketScan scan;
    while ((scan.status = av_read_frame(format, packet)) >= 0) {
        scannedPackets.fetch_add(1, std::memory_order_relaxed);
        if (packet->stream_index == streamIndex) {
            const bool hasPts = packet->pts != AV_NOPTS_VALUE;
            const std::int64_t time = hasPts ? packet->pts : packet->dts;
            scan.someTimeMissing = scan.someTimeMissing || !hasPts;
            scan.reordered = scan.reordered || (hasPts && packet->pts != packet->dts);
            // Pictures an edit list cuts away are never shown, but their key frames are where
            // decoding the first shown pictures starts.
            const bool shown = !(packet->flags & AV_PKT_FLAG_DISCARD);
            if (time != AV_NOPTS_VALUE)
                scan.packets.push_back({time, packet->duration, packet->pos,
                                        bool(packet->flags & AV_PKT_FLAG_KEY),
                                        bool(packet->flags & AV_PKT_FLAG_CORRUPT), shown});
        }
        av_packet_unref(packet);
    }
    return scan;
}

void sortWithoutRepeats(std::vector<std::int64_t> &values)
{
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

// The times of the shown frames and of the key frames, each sorted once, and the byte positions of
// the key frames; returns the last frame shown. At least one packet must be shown.
const IndexedPacket &collectTimes(const std::vector<IndexedPacket> &packets, std::vector<std::int64_t> &pts,
                                  std::vector<std::int64_t> &keyFramePts,
                                  std::map<std::int64_t, std::int64_t> &keyFramePositions)
{
    const IndexedPacket *last = nullptr;
    for (const IndexedPacket &indexed : packets) {
        if (indexed.shown) {
            pts.push_back(indexed.time);
            if (!last || indexed.time >= last->time)
                last = &indexed;
        }
        if (indexed.key) {
            keyFramePts.push_back(indexed.time);
            if (indexed.bytePosition >= 0)
                keyFramePositions.emplace(indexed.time, indexed.bytePosition);
        }
    }
    sortWithoutRepeats(pts);
    sortWithoutRepeats(keyFramePts);
    return *last;
}

// The last frame shows for its packet's duration, else as long as the frame before it, else for one
// frame at the stream's rate.
std::int64_t lastFrameTicks(const IndexedPacket &last, const std::vector<std::int64_t> &pts,
                            const AVStream *stream)
{
    std::int64_t ticks = last.duration;
    if (ticks <= 0 && pts.size() > 1)
        ticks = pts.back() - pts[pts.size() - 2];
    if (ticks <= 0 && stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
        ticks = av_rescale_q(1, av_inv_q(stream->avg_frame_rate), stream->time_base);
    return std::max<std::int64_t>(ticks, 0);
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

Result<FrameIndex> FrameIndex::build(const QString &path)
{
    Ffmpeg::FormatContext format;
    const QString openFailure = Ffmpeg::openInput(path, format);
    if (!openFailure.isEmpty())
        return AppError::platformFailure(openFailure);

    // Every failure names the file, as the library's opening failures do.
    const QString fileName = QFileInfo(path).fileName();
    const auto failure = [&fileName](const QString &text) {
        return AppError::platformFailure(QStringLiteral("%1 : %2").arg(fileName, text));
    };
    const int streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return failure(Ffmpeg::errorText(streamIndex));
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (int(i) != streamIndex)
            format->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVStream *stream = format->streams[streamIndex];

    FrameIndex index;
    index.m_numerator = stream->time_base.num;
    index.m_denominator = stream->time_base.den;
    if (index.m_numerator <= 0 || index.m_denominator <= 0)
        return failure(Ffmpeg::errorText(AVERROR_INVALIDDATA));

    Ffmpeg::Packet packet(av_packet_alloc());
    if (!packet)
        return failure(Ffmpeg::errorText(AVERROR(ENOMEM)));
    PacketScan scan = scanPackets(format.get(), streamIndex, packet.get());
    std::vector<IndexedPacket> &packets = scan.packets;
    // A file cut short ends in a read error, after a last packet that may be missing its end: what
    // was read before it can still be played.
    if (scan.status != AVERROR_EOF && packets.empty())
        return failure(Ffmpeg::errorText(scan.status));
    if (!packets.empty() && packets.back().corrupt)
        packets.pop_back();
    if (std::none_of(packets.begin(), packets.end(), [](const IndexedPacket &p) { return p.shown; }))
        return failure(QStringLiteral("aucune image vidéo complète"));

    // Packets that only some of carry a time of their own, always equal to their decoding time, are
    // times of a container without reordering information (AVI): decoding times.
    index.m_presentationTimes = !scan.someTimeMissing || scan.reordered;

    const IndexedPacket &last =
        collectTimes(packets, index.m_pts, index.m_keyFramePts, index.m_keyFramePositions);
    index.m_lastFrameTicks = lastFrameTicks(last, index.m_pts, stream);

    // Timestamp seeks in MPEG streams (no index) can land a key-frame interval late. In files with
    // decoding times only, a key frame's picture can come after pictures stored behind it (an open
    // group of pictures), so a seek to those must start from the key frame before.
    const QList<QByteArray> formatNames = QByteArray(format->iformat->name).split(',');
    const bool mpegStream = formatNames.contains("mpegts") || formatNames.contains("mpeg");
    if (mpegStream || !index.m_presentationTimes) {
        const std::int64_t longest = longestKeyFrameInterval(index.m_pts, index.m_keyFramePts);
        // One more frame's worth, so that a target just before a key frame is covered too.
        const double frame = index.m_pts.size() > 1 ? index.seconds(1) - index.seconds(0) : 0.0;
        index.m_seekMargin = double(longest) * index.m_numerator / index.m_denominator + frame;
    }
    if (!mpegStream)
        index.m_keyFramePositions.clear();
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
