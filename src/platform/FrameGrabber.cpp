#include "FrameGrabber.h"

#include "FfmpegHandles.h"
#include "FrameIndex.h"

#include <QColorSpace>
#include <QMutexLocker>
#include <QThread>
#include <QTransform>

extern "C" {
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <cmath>
#include <deque>
#include <limits>
#include <optional>

namespace {

// Decoded frames kept around the last request.
constexpr std::size_t cachedFrameCount = 12;

// Clockwise rotation in whole quarter turns (0, 90, 180 or 270) from a display matrix.
int clockwiseRotation(const int32_t *matrix)
{
    if (!matrix)
        return 0;
    const double counterClockwise = av_display_rotation_get(matrix);
    if (std::isnan(counterClockwise))
        return 0;
    const long quarterTurns = std::lround(-counterClockwise / 90.0);
    return int(((quarterTurns % 4) + 4) % 4) * 90;
}

// The full-range "J" formats are their plain counterparts with the range set apart.
AVPixelFormat withoutFullRange(AVPixelFormat format, bool &fullRange)
{
    fullRange = true;
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        return AV_PIX_FMT_YUV411P;
    default:
        fullRange = false;
        return format;
    }
}

// The colour matrix a frame was encoded with; untagged HD frames are BT.709, smaller ones BT.601.
int colourMatrix(const AVFrame *frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return frame->colorspace;
    default:
        return (frame->width > 1279 || frame->height > 576) ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

} // namespace

// The open file, its decoder and what it has decoded last. Used under the grabber's mutex only.
class FrameGrabber::Decoder
{
public:
    // Empty string on success, otherwise a description of the failure.
    QString open(const QString &path);
    Result<QImage> image(const MediaTime &time);

private:
    enum class Outcome { Found, Overshot, Failed };

    QString seek(std::optional<std::int64_t> keyFramePts);
    Outcome decodeUntil(std::int64_t target, QString &failure);
    const AVFrame *cached(std::int64_t pts) const;
    void keep(Ffmpeg::Frame frame);
    Result<QImage> convert(const AVFrame *frame);

    FrameIndex m_index;
    Ffmpeg::FormatContext m_format;
    Ffmpeg::CodecContext m_codec;
    Ffmpeg::Packet m_packet;
    int m_stream = -1;
    int m_rotation = 0;

    // Where the decoder stands: the last frame it gave, unless it must be repositioned first.
    std::optional<std::int64_t> m_lastPts;
    bool m_draining = false;
    bool m_atEnd = false;

    std::deque<std::pair<std::int64_t, Ffmpeg::Frame>> m_cache;

    Ffmpeg::ScaleContext m_scale;
    struct ScaleKey
    {
        int width = 0, height = 0, format = -1, matrix = -1;
        bool fullRange = false;
        bool operator==(const ScaleKey &) const = default;
    } m_scaleKey;
};

QString FrameGrabber::Decoder::open(const QString &path)
{
    Result<FrameIndex> index = FrameIndex::build(path);
    if (!index)
        return index.error().errorDescription();
    m_index = std::move(index).value();

    QString failure = Ffmpeg::openInput(path, m_format);
    if (!failure.isEmpty())
        return failure;
    const AVCodec *codec = nullptr;
    m_stream = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (m_stream < 0)
        return Ffmpeg::errorText(m_stream);
    if (!codec)
        return Ffmpeg::errorText(AVERROR_DECODER_NOT_FOUND);
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        if (int(i) != m_stream)
            m_format->streams[i]->discard = AVDISCARD_ALL;
    }
    AVStream *stream = m_format->streams[m_stream];

    m_codec.reset(avcodec_alloc_context3(codec));
    m_packet.reset(av_packet_alloc());
    if (!m_codec || !m_packet)
        return Ffmpeg::errorText(AVERROR(ENOMEM));
    int status = avcodec_parameters_to_context(m_codec.get(), stream->codecpar);
    if (status < 0)
        return Ffmpeg::errorText(status);
    m_codec->pkt_timebase = stream->time_base;
    m_codec->thread_count = 0;
    status = avcodec_open2(m_codec.get(), codec, nullptr);
    if (status < 0)
        return Ffmpeg::errorText(status);

    m_rotation = clockwiseRotation(reinterpret_cast<const int32_t *>(
        av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)));
    return {};
}

QString FrameGrabber::Decoder::seek(std::optional<std::int64_t> keyFramePts)
{
    // Without a key frame to aim at, go back to the stream's first frame: to the first byte where the
    // container allows it, since timestamp seeks in containers without an index (MPEG transport
    // streams) can land a whole key-frame interval late.
    int status = 0;
    const std::optional<std::int64_t> bytePosition =
        keyFramePts ? m_index.keyFrameBytePosition(*keyFramePts) : std::nullopt;
    if (bytePosition)
        status = av_seek_frame(m_format.get(), -1, *bytePosition, AVSEEK_FLAG_BYTE);
    else if (keyFramePts)
        status = av_seek_frame(m_format.get(), m_stream, *keyFramePts, AVSEEK_FLAG_BACKWARD);
    else if (m_format->iformat->flags & AVFMT_NO_BYTE_SEEK ||
             av_seek_frame(m_format.get(), -1, 0, AVSEEK_FLAG_BYTE) < 0)
        status = avformat_seek_file(m_format.get(), m_stream, std::numeric_limits<std::int64_t>::min(),
                                    m_index.pts(0), std::numeric_limits<std::int64_t>::max(), 0);
    if (status < 0)
        return Ffmpeg::errorText(status);
    avcodec_flush_buffers(m_codec.get());
    m_lastPts.reset();
    m_draining = false;
    m_atEnd = false;
    return {};
}

const AVFrame *FrameGrabber::Decoder::cached(std::int64_t pts) const
{
    for (const auto &[framePts, frame] : m_cache) {
        if (framePts == pts)
            return frame.get();
    }
    return nullptr;
}

void FrameGrabber::Decoder::keep(Ffmpeg::Frame frame)
{
    const std::int64_t pts = frame->best_effort_timestamp;
    for (auto &entry : m_cache) {
        if (entry.first == pts) {
            entry.second = std::move(frame);
            return;
        }
    }
    m_cache.emplace_back(pts, std::move(frame));
    while (m_cache.size() > cachedFrameCount)
        m_cache.pop_front();
}

// Decodes on until the frame starting at `target` comes out. Overshot: the first frame decoded after
// positioning already lies past the target, so the decoder must start from an earlier key frame.
FrameGrabber::Decoder::Outcome FrameGrabber::Decoder::decodeUntil(std::int64_t target, QString &failure)
{
    bool decodedAny = false;
    for (;;) {
        Ffmpeg::Frame frame(av_frame_alloc());
        if (!frame) {
            failure = Ffmpeg::errorText(AVERROR(ENOMEM));
            return Outcome::Failed;
        }
        int status = avcodec_receive_frame(m_codec.get(), frame.get());
        if (status == 0) {
            std::int64_t pts = frame->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE)
                pts = m_lastPts ? *m_lastPts + 1 : target;
            frame->best_effort_timestamp = pts;
            const bool firstAfterSeek = !m_lastPts;
            const std::optional<std::int64_t> previous = m_lastPts;
            m_lastPts = pts;
            keep(std::move(frame));
            if (pts == target)
                return Outcome::Found;
            if (pts > target) {
                // The index and the decoder disagree on a timestamp: the last frame before wins.
                if (firstAfterSeek || !previous || !cached(*previous) || *previous > target)
                    return decodedAny ? Outcome::Failed : Outcome::Overshot;
                m_cache.emplace_back(target, Ffmpeg::Frame(av_frame_clone(cached(*previous))));
                return Outcome::Found;
            }
            decodedAny = true;
            continue;
        }
        if (status == AVERROR_EOF) {
            m_atEnd = true;
            // The stream ended before the target: the last frame shown stays on screen.
            if (m_lastPts && *m_lastPts < target && cached(*m_lastPts)) {
                m_cache.emplace_back(target, Ffmpeg::Frame(av_frame_clone(cached(*m_lastPts))));
                return Outcome::Found;
            }
            failure = Ffmpeg::errorText(AVERROR_EOF);
            return Outcome::Failed;
        }
        if (status != AVERROR(EAGAIN)) {
            failure = Ffmpeg::errorText(status);
            return Outcome::Failed;
        }

        // The decoder wants input.
        if (m_draining) {
            failure = Ffmpeg::errorText(AVERROR_EOF);
            return Outcome::Failed;
        }
        status = av_read_frame(m_format.get(), m_packet.get());
        if (status == AVERROR_EOF) {
            m_draining = true;
            status = avcodec_send_packet(m_codec.get(), nullptr);
        } else if (status < 0) {
            failure = Ffmpeg::errorText(status);
            return Outcome::Failed;
        } else {
            if (m_packet->stream_index == m_stream)
                status = avcodec_send_packet(m_codec.get(), m_packet.get());
            av_packet_unref(m_packet.get());
        }
        // Damaged packets are skipped; the decoder carries on with the next one.
        if (status < 0 && status != AVERROR(EAGAIN) && status != AVERROR_INVALIDDATA &&
            status != AVERROR_EOF) {
            failure = Ffmpeg::errorText(status);
            return Outcome::Failed;
        }
    }
}

Result<QImage> FrameGrabber::Decoder::image(const MediaTime &time)
{
    const int frameNumber = m_index.frameAt(time);
    const std::int64_t target = m_index.pts(frameNumber);
    if (const AVFrame *frame = cached(target))
        return convert(frame);

    std::int64_t keyFrame = m_index.keyFrameAtOrBefore(target);
    const bool decodeOn =
        m_lastPts && !m_atEnd && !m_draining && *m_lastPts < target && keyFrame <= *m_lastPts;
    QString failure;
    if (!decodeOn) {
        failure = seek(keyFrame);
        if (!failure.isEmpty())
            return AppError::frameExtractionFailed(failure);
    }
    for (;;) {
        const Outcome outcome = decodeUntil(target, failure);
        if (outcome == Outcome::Found)
            break;
        if (outcome == Outcome::Failed) {
            m_lastPts.reset();
            m_atEnd = true;
            return AppError::frameExtractionFailed(failure);
        }
        // The demuxer landed after the target: start again one key frame earlier.
        const std::int64_t earlier = m_index.keyFrameBefore(keyFrame);
        if (earlier >= keyFrame) {
            failure = seek(std::nullopt);
            if (!failure.isEmpty())
                return AppError::frameExtractionFailed(failure);
            const Outcome fromStart = decodeUntil(target, failure);
            if (fromStart != Outcome::Found)
                return AppError::frameExtractionFailed(
                    failure.isEmpty() ? Ffmpeg::errorText(AVERROR_INVALIDDATA) : failure);
            break;
        }
        keyFrame = earlier;
        failure = seek(keyFrame);
        if (!failure.isEmpty())
            return AppError::frameExtractionFailed(failure);
    }
    return convert(cached(target));
}

Result<QImage> FrameGrabber::Decoder::convert(const AVFrame *frame)
{
    const auto format = AVPixelFormat(frame->format);
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
    if (!descriptor || frame->width <= 0 || frame->height <= 0)
        return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR_INVALIDDATA));

    bool fullRangeFormat = false;
    const AVPixelFormat plainFormat = withoutFullRange(format, fullRangeFormat);
    const ScaleKey key{frame->width, frame->height, plainFormat, colourMatrix(frame),
                       frame->color_range == AVCOL_RANGE_JPEG || fullRangeFormat};
    if (!m_scale || !(key == m_scaleKey)) {
        m_scale.reset(sws_alloc_context());
        if (!m_scale)
            return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(ENOMEM)));
        SwsContext *scale = m_scale.get();
        av_opt_set_int(scale, "srcw", key.width, 0);
        av_opt_set_int(scale, "srch", key.height, 0);
        av_opt_set_int(scale, "src_format", key.format, 0);
        av_opt_set_int(scale, "dstw", key.width, 0);
        av_opt_set_int(scale, "dsth", key.height, 0);
        av_opt_set_int(scale, "dst_format", AV_PIX_FMT_RGBA, 0);
        av_opt_set_int(scale, "sws_flags", SWS_FAST_BILINEAR, 0);
        av_opt_set_int(scale, "threads", std::max(1, QThread::idealThreadCount()), 0);
        const int status = sws_init_context(scale, nullptr, nullptr);
        if (status < 0) {
            m_scale.reset();
            return AppError::frameExtractionFailed(Ffmpeg::errorText(status));
        }
        if (!(descriptor->flags & AV_PIX_FMT_FLAG_RGB)) {
            sws_setColorspaceDetails(scale, sws_getCoefficients(key.matrix), key.fullRange ? 1 : 0,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        }
        m_scaleKey = key;
    }

    const bool hasAlpha = descriptor->flags & AV_PIX_FMT_FLAG_ALPHA;
    QImage image(frame->width, frame->height,
                 hasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(ENOMEM)));
    uint8_t *destination[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int destinationStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    const int rows = sws_scale(m_scale.get(), frame->data, frame->linesize, 0, frame->height, destination,
                               destinationStride);
    if (rows <= 0)
        return AppError::frameExtractionFailed(Ffmpeg::errorText(rows < 0 ? rows : AVERROR_INVALIDDATA));
    if (hasAlpha)
        image.convertTo(QImage::Format_RGBA8888_Premultiplied);

    int rotation = m_rotation;
    if (rotation == 0) {
        if (const AVFrameSideData *side = av_frame_get_side_data(frame, AV_FRAME_DATA_DISPLAYMATRIX))
            rotation = clockwiseRotation(reinterpret_cast<const int32_t *>(side->data));
    }
    if (rotation != 0)
        image = image.transformed(QTransform().rotate(rotation));
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}

FrameGrabber::FrameGrabber(const QString &path) : m_path(path) {}

FrameGrabber::~FrameGrabber() = default;

Result<QImage> FrameGrabber::image(const MediaTime &time)
{
    QMutexLocker locker(&m_mutex);
    if (!m_decoder) {
        auto decoder = std::make_unique<Decoder>();
        const QString failure = decoder->open(m_path);
        if (!failure.isEmpty())
            return AppError::frameExtractionFailed(failure);
        m_decoder = std::move(decoder);
    }
    Result<QImage> result = m_decoder->image(time);
    if (!result.ok() && result.error().detail().isEmpty())
        return AppError::frameExtractionFailed(QStringLiteral("inconnu"));
    return result;
}
