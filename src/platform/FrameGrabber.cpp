#include "FrameGrabber.h"

#include "FfmpegHandles.h"
#include "FrameIndex.h"
#include "FrameIndexer.h"
#include "HdrToneMapper.h"

#include <QColorSpace>
#include <QMutexLocker>
#include <QThread>
#include <QTransform>

extern "C" {
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>
#include <utility>

namespace {

// Decoded frames kept around the last request.
constexpr std::size_t cachedFrameCount = 12;
// Damaged pictures skipped on the way to one request before the file counts as unreadable.
constexpr int maximumDamagedPictures = 256;
// Frames just before a requested one that are decoded even when nothing refers to them, so that
// stepping back from it finds them kept.
constexpr int framesKeptBeforeRequest = 6;

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

// The size a decoded picture is converted to: fitted inside `bound` once turned upright by
// `rotation`, never enlarged, at least one pixel each way; the decoded size for an empty bound.
QSize outputSize(const QSize &decoded, const QSize &bound, int rotation)
{
    if (bound.isEmpty())
        return decoded;
    const QSize upright = (rotation % 180 == 0) ? bound : bound.transposed();
    const double scale = std::min(
        {1.0, double(upright.width()) / decoded.width(), double(upright.height()) / decoded.height()});
    return {std::max(1, int(std::lround(decoded.width() * scale))),
            std::max(1, int(std::lround(decoded.height() * scale)))};
}

} // namespace

// The open file, its decoder and what it has decoded since it was last positioned. Used under the
// grabber's mutex only.
class FrameGrabber::Decoder
{
public:
    // Empty string on success, otherwise a description of the failure.
    QString open(const QString &path, std::shared_ptr<FrameIndexer> indexer);
    // Takes the part of the index that covers `time`, waiting for it while the index is being built.
    void waitForIndexCovering(const MediaTime &time);
    // The decoded picture of frame `frame` of the index; valid until the next call.
    Result<const AVFrame *> decoded(int frame);
    // Decodes from the start of the file until some picture of the index comes out.
    QString decodeFromStart();
    // The picture upright, fitted inside `bound` unless the bound is empty.
    Result<QImage> convert(const AVFrame *frame, const QSize &bound);
    void setFastDecoding(bool fast);
    const FrameIndex &index() const { return *m_index; }

private:
    enum class Outcome { Found, Overshot, Failed };

    QString seek(std::optional<std::int64_t> keyFramePts);
    Outcome decodeUntil(int target, QString &failure);
    // Keeps a decoded picture; an outcome once the target is reached or passed, nothing to decode on.
    std::optional<Outcome> placeDecoded(Ffmpeg::Frame picture, int target, QString &failure);
    // The decoder has given its last picture.
    Outcome endOfStream(int target, QString &failure);
    // Hands the decoder the next packet of the stream, or tells it the stream has ended. Empty
    // string on success, otherwise a description of the failure.
    QString feedDecoder();
    // On the way to frame `target`, the decoder may pass over the pictures no other picture refers
    // to that show before the frames kept around it: they would only be thrown away.
    void passOverUnreferencedBefore(int target);
    // The frame of the index a decoded picture shows, or -1 for a picture the index does not hold.
    int placeOf(const AVFrame *picture);
    // The frame starting at `ticks`, or -1, waiting for the index to get there while it is built.
    int positionOf(std::int64_t ticks);
    // Uses a later part of the index; the frames decoded so far are dropped when it numbers them anew.
    void useIndex(std::shared_ptr<const FrameIndex> index);
    const AVFrame *cached(int frame) const;
    void keep(int frame, Ffmpeg::Frame picture);
    // After a failure nothing decoded so far is trusted: the next request starts afresh.
    void forget();

    std::shared_ptr<FrameIndexer> m_indexer;
    std::shared_ptr<const FrameIndex> m_index;
    Ffmpeg::FormatContext m_format;
    Ffmpeg::CodecContext m_codec;
    Ffmpeg::Packet m_packet;
    int m_stream = -1;
    int m_rotation = 0;

    // Where the decoder stands. Unpositioned, the next request seeks first. Pictures before
    // `m_firstTrusted` came out of a key frame's leading pictures, decoded without their references.
    bool m_positioned = false;
    int m_firstTrusted = 0;
    std::optional<int> m_lastFrame;
    bool m_draining = false;
    // Packets shown before this time that no other picture refers to are not decoded.
    std::optional<std::int64_t> m_passOverBefore;

    // Frames decoded since the last positioning, by frame number, the oldest first.
    std::deque<std::pair<int, Ffmpeg::Frame>> m_cache;

    Ffmpeg::ScaleContext m_scale;
    struct ScaleKey
    {
        int width = 0, height = 0, format = -1, matrix = -1;
        bool fullRange = false;
        int outputWidth = 0, outputHeight = 0;
        bool operator==(const ScaleKey &) const = default;
    } m_scaleKey;

    // Makes the scaler turn pictures of `key` into RGBA; the colour matrix and range apply to
    // pictures not stored as RGB.
    std::optional<AppError> prepareScale(const ScaleKey &key, bool rgbSource);

    // With fast decoding, a picture many times larger than the one made of it is first thinned to four
    // times the output's size by taking a few of its pixels, then averaged down to it: nearly the
    // average over the whole picture, in a sixth of the time. Other pictures come back as they are.
    Result<const AVFrame *> thinned(const AVFrame *frame, AVPixelFormat format, const QSize &output);
    bool m_fast = false;
    Ffmpeg::ScaleContext m_thin;
    Ffmpeg::Frame m_thinned;

    // HDR pictures are tone-mapped, reduced ones after their YUV is reduced to the output size.
    Result<QImage> toneMapped(const AVFrame *frame, const QSize &output);
    HdrToneMapper m_toneMapper;
    Ffmpeg::ScaleContext m_reduce;
    Ffmpeg::Frame m_reduced;
};

QString FrameGrabber::Decoder::open(const QString &path, std::shared_ptr<FrameIndexer> indexer)
{
    m_indexer = indexer ? std::move(indexer) : std::make_shared<FrameIndexer>(path);
    m_index = m_indexer->waitForFirstPart();
    if (!m_index) {
        const std::optional<AppError> failure = m_indexer->failure();
        return failure ? failure->errorDescription() : Ffmpeg::errorText(AVERROR_INVALIDDATA);
    }

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
    m_toneMapper.setContainerLightLevels(HdrToneMapper::containerLightLevels(m_format.get(), stream));
    return {};
}

QString FrameGrabber::Decoder::seek(std::optional<std::int64_t> keyFramePts)
{
    // Frames decoded before are dropped whatever happens: a repositioned decoder starts afresh.
    forget();
    // Without a key frame to aim at, go back to the stream's first frame. Containers without an index
    // (MPEG streams, whose timestamp seeks can land a whole key-frame interval late) go back to their
    // first byte; the others to the last key frame at or before the first frame.
    int status = 0;
    const std::optional<std::int64_t> bytePosition =
        keyFramePts ? m_index->keyFrameBytePosition(*keyFramePts) : std::nullopt;
    const bool byteSeeks = m_index->seeksByBytes() && !(m_format->iformat->flags & AVFMT_NO_BYTE_SEEK);
    if (bytePosition)
        status = av_seek_frame(m_format.get(), -1, *bytePosition, AVSEEK_FLAG_BYTE);
    else if (keyFramePts)
        status = av_seek_frame(m_format.get(), m_stream, *keyFramePts, AVSEEK_FLAG_BACKWARD);
    else if (!byteSeeks || av_seek_frame(m_format.get(), -1, 0, AVSEEK_FLAG_BYTE) < 0)
        status = avformat_seek_file(m_format.get(), m_stream, std::numeric_limits<std::int64_t>::min(),
                                    m_index->pts(0), m_index->pts(0), 0);
    if (status < 0)
        return Ffmpeg::errorText(status);
    avcodec_flush_buffers(m_codec.get());
    m_positioned = true;
    m_firstTrusted = keyFramePts ? std::max(0, m_index->frameAt(*keyFramePts)) : 0;
    return {};
}

void FrameGrabber::Decoder::forget()
{
    m_cache.clear();
    m_positioned = false;
    m_lastFrame.reset();
    m_draining = false;
}

void FrameGrabber::Decoder::useIndex(std::shared_ptr<const FrameIndex> index)
{
    if (!index || index == m_index)
        return;
    if (index->revision() != m_index->revision())
        forget();
    m_index = std::move(index);
}

void FrameGrabber::Decoder::waitForIndexCovering(const MediaTime &time)
{
    if (!m_index->covers(time))
        useIndex(m_indexer->waitUntilCovers(time));
}

int FrameGrabber::Decoder::positionOf(std::int64_t ticks)
{
    if (!m_index->covers(ticks)) {
        // The decoder runs ahead of the part at hand: a later part knows the picture, unless it
        // numbers the frames anew, when the picture counts as unknown for this request.
        std::shared_ptr<const FrameIndex> later = m_indexer->waitUntilCovers(ticks);
        if (later && later->revision() == m_index->revision())
            m_index = std::move(later);
    }
    return m_index->position(ticks);
}

int FrameGrabber::Decoder::placeOf(const AVFrame *picture)
{
    if (m_index->hasPresentationTimes()) {
        // The packet's presentation time travels with its picture through the decoder.
        if (picture->pts != AV_NOPTS_VALUE)
            return positionOf(picture->pts);
    } else if (picture->best_effort_timestamp != AV_NOPTS_VALUE) {
        // Decoding times only: the decoder stamps a picture with the time of the packet it was fed
        // when the picture came out, which lies as many places later as the decoder holds pictures
        // back to reorder them.
        const int fed = positionOf(picture->best_effort_timestamp);
        if (fed < 0)
            return -1;
        const int place = fed - std::max(0, m_codec->has_b_frames);
        return place >= 0 ? place : -1;
    }
    // No time at all (the last pictures drained from the decoder): the next place in order.
    if (m_lastFrame && !m_index->knowsFrameAfter(*m_lastFrame))
        useIndex(m_indexer->waitUntilKnowsFrameAfter(*m_lastFrame));
    if (m_lastFrame && *m_lastFrame + 1 < m_index->count())
        return *m_lastFrame + 1;
    return -1;
}

const AVFrame *FrameGrabber::Decoder::cached(int frame) const
{
    for (const auto &[number, picture] : m_cache) {
        if (number == frame)
            return picture.get();
    }
    return nullptr;
}

void FrameGrabber::Decoder::keep(int frame, Ffmpeg::Frame picture)
{
    for (auto &entry : m_cache) {
        if (entry.first == frame) {
            entry.second = std::move(picture);
            return;
        }
    }
    m_cache.emplace_back(frame, std::move(picture));
    while (m_cache.size() > cachedFrameCount)
        m_cache.pop_front();
}

// Decodes on until the picture of frame `target` comes out. Overshot: the first picture decoded
// after positioning already lies past the target, so the decoder must start from an earlier key frame.
FrameGrabber::Decoder::Outcome FrameGrabber::Decoder::decodeUntil(int target, QString &failure)
{
    int damagedPictures = 0;
    for (;;) {
        Ffmpeg::Frame picture(av_frame_alloc());
        if (!picture) {
            failure = Ffmpeg::errorText(AVERROR(ENOMEM));
            return Outcome::Failed;
        }
        const int status = avcodec_receive_frame(m_codec.get(), picture.get());
        if (status == 0) {
            if (const std::optional<Outcome> outcome = placeDecoded(std::move(picture), target, failure))
                return *outcome;
            continue;
        }
        if (status == AVERROR_EOF)
            return endOfStream(target, failure);
        if (status == AVERROR_INVALIDDATA && ++damagedPictures <= maximumDamagedPictures) {
            // A damaged packet's error, reported when its picture was due (decoding threads report
            // late): the decoder goes on with the next pictures.
            continue;
        }
        if (status != AVERROR(EAGAIN)) {
            failure = Ffmpeg::errorText(status);
            return Outcome::Failed;
        }
        failure = feedDecoder();
        if (!failure.isEmpty())
            return Outcome::Failed;
    }
}

std::optional<FrameGrabber::Decoder::Outcome>
FrameGrabber::Decoder::placeDecoded(Ffmpeg::Frame picture, int target, QString &failure)
{
    const int place = placeOf(picture.get());
    if (place < m_firstTrusted)
        return std::nullopt;
    const std::optional<int> previous = std::exchange(m_lastFrame, place);
    keep(place, std::move(picture));
    if (place == target)
        return Outcome::Found;
    if (place < target)
        return std::nullopt;
    if (!previous)
        return Outcome::Overshot;
    // The target's picture never came out (damaged, or dropped by the decoder): the picture before it
    // stays on screen, as in a player.
    if (const AVFrame *before = cached(*previous); before && *previous < target) {
        keep(target, Ffmpeg::Frame(av_frame_clone(before)));
        return Outcome::Found;
    }
    failure = Ffmpeg::errorText(AVERROR_INVALIDDATA);
    return Outcome::Failed;
}

FrameGrabber::Decoder::Outcome FrameGrabber::Decoder::endOfStream(int target, QString &failure)
{
    m_positioned = false;
    // Nothing placeable came out of the last key frame's pictures (their leading pictures need the
    // frames before): an earlier key frame must be decoded from.
    if (!m_lastFrame)
        return Outcome::Overshot;
    // The stream ended before the target: the last picture shown stays on screen.
    if (*m_lastFrame < target) {
        if (const AVFrame *last = cached(*m_lastFrame)) {
            keep(target, Ffmpeg::Frame(av_frame_clone(last)));
            return Outcome::Found;
        }
    }
    failure = Ffmpeg::errorText(AVERROR_EOF);
    return Outcome::Failed;
}

QString FrameGrabber::Decoder::feedDecoder()
{
    if (m_draining)
        return Ffmpeg::errorText(AVERROR_EOF);
    int status = av_read_frame(m_format.get(), m_packet.get());
    if (status < 0) {
        // The end of the file, or where a file cut short stops: the pictures the decoder still holds
        // come out.
        m_draining = true;
        status = avcodec_send_packet(m_codec.get(), nullptr);
    } else {
        if (m_packet->stream_index == m_stream) {
            // Set per packet: the decoder reads it for each picture it is handed.
            const bool passOver =
                m_passOverBefore && m_packet->pts != AV_NOPTS_VALUE && m_packet->pts < *m_passOverBefore;
            m_codec->skip_frame = passOver ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            status = avcodec_send_packet(m_codec.get(), m_packet.get());
        }
        av_packet_unref(m_packet.get());
    }
    // Damaged packets are skipped; the decoder carries on with the next one.
    if (status < 0 && status != AVERROR(EAGAIN) && status != AVERROR_INVALIDDATA && status != AVERROR_EOF)
        return Ffmpeg::errorText(status);
    return {};
}

void FrameGrabber::Decoder::passOverUnreferencedBefore(int target)
{
    // Only pictures placed by their own presentation time: placing by decoding time counts every
    // picture that comes out.
    const int firstKept = target - framesKeptBeforeRequest;
    if (m_index->hasPresentationTimes() && firstKept > 0)
        m_passOverBefore = m_index->pts(firstKept);
    else
        m_passOverBefore.reset();
}

Result<const AVFrame *> FrameGrabber::Decoder::decoded(int target)
{
    if (const AVFrame *picture = cached(target))
        return picture;
    passOverUnreferencedBefore(target);

    const std::int64_t targetPts = m_index->pts(target);
    std::int64_t keyFrame = m_index->keyFrameAtOrBefore(targetPts);
    const bool decodeOn = m_positioned && !m_draining && m_lastFrame && *m_lastFrame < target &&
                          keyFrame <= m_index->pts(*m_lastFrame);
    QString failure;
    if (!decodeOn)
        failure = seek(keyFrame);
    while (failure.isEmpty()) {
        const Outcome outcome = decodeUntil(target, failure);
        if (outcome == Outcome::Found)
            return cached(target);
        if (outcome == Outcome::Failed)
            break;
        // The demuxer landed after the target: start again one key frame earlier, or from the start.
        const std::int64_t earlier = m_index->keyFrameBefore(keyFrame);
        if (earlier < keyFrame) {
            keyFrame = earlier;
            failure = seek(keyFrame);
            continue;
        }
        failure = seek(std::nullopt);
        if (failure.isEmpty() && decodeUntil(target, failure) == Outcome::Found)
            return cached(target);
        if (failure.isEmpty())
            failure = Ffmpeg::errorText(AVERROR_INVALIDDATA);
    }
    forget();
    return AppError::frameExtractionFailed(failure);
}

QString FrameGrabber::Decoder::decodeFromStart()
{
    m_passOverBefore.reset();
    QString failure = seek(std::nullopt);
    // Overshot: a later picture came out first (the first ones are damaged), which is enough.
    if (failure.isEmpty() && decodeUntil(0, failure) != Outcome::Failed && m_lastFrame)
        return {};
    forget();
    return failure.isEmpty() ? Ffmpeg::errorText(AVERROR_INVALIDDATA) : failure;
}

std::optional<AppError> FrameGrabber::Decoder::prepareScale(const ScaleKey &key, bool rgbSource)
{
    m_scale.reset(sws_alloc_context());
    if (!m_scale)
        return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(ENOMEM)));
    SwsContext *scale = m_scale.get();
    av_opt_set_int(scale, "srcw", key.width, 0);
    av_opt_set_int(scale, "srch", key.height, 0);
    av_opt_set_int(scale, "src_format", key.format, 0);
    av_opt_set_int(scale, "dstw", key.outputWidth, 0);
    av_opt_set_int(scale, "dsth", key.outputHeight, 0);
    av_opt_set_int(scale, "dst_format", AV_PIX_FMT_RGBA, 0);
    // Reduced pictures are the average of the area each output pixel covers; full-size ones only
    // change their pixel format.
    const bool reduced = key.outputWidth != key.width || key.outputHeight != key.height;
    av_opt_set_int(scale, "sws_flags", reduced ? SWS_AREA : SWS_FAST_BILINEAR, 0);
    // A small picture is made in less time than threads take to share it out.
    const bool small = key.outputWidth * 4 <= key.width && key.outputHeight * 4 <= key.height;
    av_opt_set_int(scale, "threads", small ? 1 : std::max(1, QThread::idealThreadCount()), 0);
    const int status = sws_init_context(scale, nullptr, nullptr);
    if (status < 0) {
        m_scale.reset();
        return AppError::frameExtractionFailed(Ffmpeg::errorText(status));
    }
    if (!rgbSource) {
        sws_setColorspaceDetails(scale, sws_getCoefficients(key.matrix), key.fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    m_scaleKey = key;
    return std::nullopt;
}

Result<QImage> FrameGrabber::Decoder::convert(const AVFrame *frame, const QSize &bound)
{
    const auto format = AVPixelFormat(frame->format);
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
    if (!descriptor || frame->width <= 0 || frame->height <= 0)
        return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR_INVALIDDATA));

    int rotation = m_rotation;
    if (rotation == 0) {
        if (const AVFrameSideData *side = av_frame_get_side_data(frame, AV_FRAME_DATA_DISPLAYMATRIX))
            rotation = clockwiseRotation(reinterpret_cast<const int32_t *>(side->data));
    }
    const QSize output = outputSize(QSize(frame->width, frame->height), bound, rotation);
    if (HdrToneMapper::handles(frame)) {
        Result<QImage> mapped = toneMapped(frame, output);
        if (!mapped)
            return mapped;
        QImage image = mapped.value();
        if (rotation != 0)
            image = image.transformed(QTransform().rotate(rotation));
        image.setColorSpace(QColorSpace::SRgb);
        return image;
    }

    bool fullRangeFormat = false;
    const AVPixelFormat plainFormat = withoutFullRange(format, fullRangeFormat);
    const bool rgbSource = descriptor->flags & AV_PIX_FMT_FLAG_RGB;
    const AVFrame *source = frame;
    if (!rgbSource) {
        const Result<const AVFrame *> thin = thinned(frame, plainFormat, output);
        if (!thin)
            return thin.error();
        source = thin.value();
    }
    // The colours are those of the decoded picture, whatever its size now.
    const ScaleKey key{source->width,
                       source->height,
                       plainFormat,
                       colourMatrix(frame),
                       frame->color_range == AVCOL_RANGE_JPEG || fullRangeFormat,
                       output.width(),
                       output.height()};
    if (!m_scale || !(key == m_scaleKey)) {
        if (std::optional<AppError> failure = prepareScale(key, rgbSource))
            return *failure;
    }

    const bool hasAlpha = descriptor->flags & AV_PIX_FMT_FLAG_ALPHA;
    QImage image(output.width(), output.height(),
                 hasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(ENOMEM)));
    uint8_t *destination[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int destinationStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    const int rows = sws_scale(m_scale.get(), source->data, source->linesize, 0, source->height, destination,
                               destinationStride);
    if (rows <= 0)
        return AppError::frameExtractionFailed(Ffmpeg::errorText(rows < 0 ? rows : AVERROR_INVALIDDATA));
    if (hasAlpha)
        image.convertTo(QImage::Format_RGBA8888_Premultiplied);

    if (rotation != 0)
        image = image.transformed(QTransform().rotate(rotation));
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}

Result<const AVFrame *> FrameGrabber::Decoder::thinned(const AVFrame *frame, AVPixelFormat format,
                                                       const QSize &output)
{
    constexpr int thinFrom = 8; // times the output's size, each way
    constexpr int thinTo = 4;
    if (!m_fast || frame->width < thinFrom * output.width() || frame->height < thinFrom * output.height())
        return frame;
    const QSize size = output * thinTo;
    // The same pixel format and range on both sides: the samples are taken, not converted.
    m_thin.reset(sws_getCachedContext(m_thin.release(), frame->width, frame->height, format, size.width(),
                                      size.height(), format, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_thin)
        return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(EINVAL)));
    if (!m_thinned || m_thinned->width != size.width() || m_thinned->height != size.height() ||
        m_thinned->format != format) {
        m_thinned.reset(av_frame_alloc());
        if (!m_thinned)
            return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(ENOMEM)));
        m_thinned->format = format;
        m_thinned->width = size.width();
        m_thinned->height = size.height();
        const int status = av_frame_get_buffer(m_thinned.get(), 0);
        if (status < 0) {
            m_thinned.reset();
            return AppError::frameExtractionFailed(Ffmpeg::errorText(status));
        }
    }
    const int rows = sws_scale(m_thin.get(), frame->data, frame->linesize, 0, frame->height, m_thinned->data,
                               m_thinned->linesize);
    if (rows <= 0)
        return AppError::frameExtractionFailed(Ffmpeg::errorText(rows < 0 ? rows : AVERROR_INVALIDDATA));
    return static_cast<const AVFrame *>(m_thinned.get());
}

Result<QImage> FrameGrabber::Decoder::toneMapped(const AVFrame *frame, const QSize &output)
{
    const AVFrame *source = frame;
    if (output != QSize(frame->width, frame->height)) {
        // Reduced in YUV with 16 bits a sample, as SDR pictures are reduced in their own YUV.
        m_reduce.reset(sws_getCachedContext(m_reduce.release(), frame->width, frame->height,
                                            AVPixelFormat(frame->format), output.width(), output.height(),
                                            AV_PIX_FMT_YUV444P16, SWS_BILINEAR, nullptr, nullptr, nullptr));
        if (!m_reduced || m_reduced->width != output.width() || m_reduced->height != output.height()) {
            m_reduced.reset(av_frame_alloc());
            if (!m_reduced)
                return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(ENOMEM)));
            m_reduced->format = AV_PIX_FMT_YUV444P16;
            m_reduced->width = output.width();
            m_reduced->height = output.height();
            const int status = av_frame_get_buffer(m_reduced.get(), 0);
            if (status < 0) {
                m_reduced.reset();
                return AppError::frameExtractionFailed(Ffmpeg::errorText(status));
            }
        }
        if (!m_reduce)
            return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(EINVAL)));
        // The light levels and other side data of the previous picture go; this picture's come along.
        while (m_reduced->nb_side_data > 0)
            av_frame_remove_side_data(m_reduced.get(), m_reduced->side_data[0]->type);
        const int status = av_frame_copy_props(m_reduced.get(), frame);
        if (status < 0)
            return AppError::frameExtractionFailed(Ffmpeg::errorText(status));
        const int rows = sws_scale(m_reduce.get(), frame->data, frame->linesize, 0, frame->height,
                                   m_reduced->data, m_reduced->linesize);
        if (rows <= 0)
            return AppError::frameExtractionFailed(Ffmpeg::errorText(rows < 0 ? rows : AVERROR_INVALIDDATA));
        source = m_reduced.get();
    }
    QImage image = m_toneMapper.convert(source);
    if (image.isNull())
        return AppError::frameExtractionFailed(Ffmpeg::errorText(AVERROR(ENOMEM)));
    return image;
}

FrameGrabber::FrameGrabber(const QString &path) : m_path(path) {}

FrameGrabber::FrameGrabber(const QString &path, std::shared_ptr<const FrameIndex> index)
    : m_path(path), m_indexer(std::make_shared<FrameIndexer>(path, std::move(index)))
{}

FrameGrabber::FrameGrabber(const QString &path, std::shared_ptr<FrameIndexer> indexer)
    : m_path(path), m_indexer(std::move(indexer))
{}

FrameGrabber::~FrameGrabber() = default;

Result<FrameGrabber::Decoder *> FrameGrabber::decoder()
{
    if (!m_decoder) {
        auto decoder = std::make_unique<Decoder>();
        const QString failure = decoder->open(m_path, m_indexer);
        if (!failure.isEmpty())
            return AppError::frameExtractionFailed(failure);
        decoder->setFastDecoding(m_fastDecoding);
        m_decoder = std::move(decoder);
    }
    return m_decoder.get();
}

Result<QImage> FrameGrabber::image(const MediaTime &time)
{
    QMutexLocker locker(&m_mutex);
    const Result<Decoder *> opened = decoder();
    if (!opened)
        return opened.error();
    Decoder *decoder = opened.value();
    decoder->waitForIndexCovering(time);
    const Result<const AVFrame *> picture = decoder->decoded(decoder->index().frameAt(time));
    if (!picture) {
        if (picture.error().detail().isEmpty())
            return AppError::frameExtractionFailed(QStringLiteral("inconnu"));
        return picture.error();
    }
    return decoder->convert(picture.value(), m_maximumSize);
}

void FrameGrabber::Decoder::setFastDecoding(bool fast)
{
    m_fast = fast;
    m_codec->skip_loop_filter = fast ? AVDISCARD_ALL : AVDISCARD_DEFAULT;
}

void FrameGrabber::setFastDecoding(bool fast)
{
    QMutexLocker locker(&m_mutex);
    m_fastDecoding = fast;
    if (m_decoder)
        m_decoder->setFastDecoding(fast);
}

void FrameGrabber::setMaximumSize(const QSize &bound)
{
    QMutexLocker locker(&m_mutex);
    m_maximumSize = bound;
}

std::optional<AppError> FrameGrabber::decodeFirstPicture()
{
    QMutexLocker locker(&m_mutex);
    const Result<Decoder *> opened = decoder();
    if (!opened)
        return opened.error();
    const QString failure = opened.value()->decodeFromStart();
    if (!failure.isEmpty())
        return AppError::frameExtractionFailed(failure);
    return std::nullopt;
}
