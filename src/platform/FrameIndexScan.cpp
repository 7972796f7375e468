#include "FrameIndexScan.h"

#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

static_assert(FrameIndexBuilder::noTime == AV_NOPTS_VALUE);

std::atomic<std::int64_t> scannedPackets = 0;

// Codecs whose samples in a sample table are whole pictures, so that the container's packets are the
// ones a reading of the media data would give: their times need no parser.
bool storesWholePictures(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_HEVC:
    case AV_CODEC_ID_AV1:
    case AV_CODEC_ID_VP9:
    case AV_CODEC_ID_PRORES:
    case AV_CODEC_ID_MJPEG:
        return true;
    default:
        return false;
    }
}

// Whether the file's sample table (MP4, MOV) lists every sample of its video streams with its times
// and flags, so that the packets can be walked without their data.
bool readableFromSampleTable(const AVFormatContext *format)
{
    if (!QByteArray(format->iformat->name).split(',').contains("mov"))
        return false;
    bool anyVideo = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream *stream = format->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        if (!storesWholePictures(stream->codecpar->codec_id) || avformat_index_get_entries_count(stream) <= 0)
            return false;
        anyVideo = true;
    }
    return anyVideo;
}

} // namespace

FrameIndexScan::FrameIndexScan(const QString &path) : m_path(path), m_fileName(QFileInfo(path).fileName()) {}

std::int64_t FrameIndexScan::packetsScanned()
{
    return scannedPackets.load(std::memory_order_relaxed);
}

std::optional<AppError> FrameIndexScan::open()
{
    const QString openFailure = SampleSkippingInput::open(m_path, m_input, m_format);
    if (!openFailure.isEmpty())
        return AppError::platformFailure(openFailure);

    // Every failure names the file, as the library's opening failures do.
    const auto failure = [this](int status) {
        return AppError::platformFailure(
            QStringLiteral("%1 : %2").arg(m_fileName, Ffmpeg::errorText(status)));
    };
    // Without parsers the demuxer hands out its packets as its table lists them: a parser would look
    // into data that is not read.
    m_sampleTable = readableFromSampleTable(m_format.get());
    if (m_sampleTable)
        m_format->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    const int status = avformat_find_stream_info(m_format.get(), nullptr);
    if (status < 0)
        return failure(status);

    m_stream = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_stream < 0)
        return failure(m_stream);
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        if (int(i) != m_stream)
            m_format->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVStream *stream = m_format->streams[m_stream];
    if (stream->time_base.num <= 0 || stream->time_base.den <= 0)
        return failure(AVERROR_INVALIDDATA);
    m_packet.reset(av_packet_alloc());
    if (!m_packet)
        return failure(AVERROR(ENOMEM));

    std::int64_t frameTicks = 0;
    if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
        frameTicks = av_rescale_q(1, av_inv_q(stream->avg_frame_rate), stream->time_base);
    // Room for the frames the file says it holds, so that a long index is not copied as it grows.
    std::int64_t expected = stream->nb_frames;
    if (expected <= 0 && m_format->duration > 0 && stream->avg_frame_rate.num > 0 &&
        stream->avg_frame_rate.den > 0)
        expected = std::llround(double(m_format->duration) / AV_TIME_BASE * av_q2d(stream->avg_frame_rate));
    const QList<QByteArray> formatNames = QByteArray(m_format->iformat->name).split(',');
    const bool mpegStream = formatNames.contains("mpegts") || formatNames.contains("mpeg");
    m_builder.emplace(
        stream->time_base.num, stream->time_base.den, frameTicks, mpegStream,
        std::size_t(std::clamp<std::int64_t>(expected + expected / 64 + 16, 0, std::int64_t(1) << 28)));
    if (m_sampleTable)
        m_input->skipSamples(m_format.get());
    return std::nullopt;
}

bool FrameIndexScan::next()
{
    m_status = av_read_frame(m_format.get(), m_packet.get());
    if (m_status < 0)
        return false;
    scannedPackets.fetch_add(1, std::memory_order_relaxed);
    const AVPacket &packet = *m_packet;
    if (packet.stream_index == m_stream) {
        FrameIndexBuilder::Packet indexed;
        indexed.pts = packet.pts;
        indexed.dts = packet.dts;
        indexed.duration = packet.duration;
        indexed.bytePosition = packet.pos;
        indexed.key = packet.flags & AV_PKT_FLAG_KEY;
        indexed.corrupt = packet.flags & AV_PKT_FLAG_CORRUPT;
        indexed.shown = !(packet.flags & AV_PKT_FLAG_DISCARD);
        m_builder->add(indexed);
    }
    av_packet_unref(m_packet.get());
    return true;
}

Result<FrameIndex> FrameIndexScan::finish()
{
    return m_builder->finish(m_fileName, m_status == AVERROR_EOF ? QString() : Ffmpeg::errorText(m_status));
}
