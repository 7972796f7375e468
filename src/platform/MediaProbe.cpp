#include "MediaProbe.h"

#include "FfmpegHandles.h"

#include <QtConcurrent/QtConcurrentRun>

#include <limits>

namespace {

float rateOf(AVRational rate)
{
    if (rate.num <= 0 || rate.den <= 0)
        return 0.0f;
    return float(av_q2d(rate));
}

} // namespace

Result<MediaProbe::Info> MediaProbe::probe(const QString &path)
{
    Ffmpeg::FormatContext format;
    const QString failure = Ffmpeg::openInput(path, format);
    if (!failure.isEmpty())
        return AppError::platformFailure(failure);

    Info info;
    if (format->duration != AV_NOPTS_VALUE && format->duration >= 0)
        info.duration = MediaTime(format->duration, AV_TIME_BASE);

    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *stream = format->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        // Cover art is stored as a video stream holding one picture; it is not a track to play.
        if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
            continue;
        info.videoTracks.append({int(i), QSize(stream->codecpar->width, stream->codecpar->height)});
    }

    if (!info.videoTracks.isEmpty()) {
        const AVStream *first = format->streams[info.videoTracks.first().streamIndex];
        info.nominalFrameRate = rateOf(first->avg_frame_rate);
        if (info.nominalFrameRate <= 0.0f)
            info.nominalFrameRate = rateOf(first->r_frame_rate);
    }
    return info;
}

QFuture<Result<MediaProbe::Info>> MediaProbe::load(const QString &path)
{
    return QtConcurrent::run([path] { return probe(path); });
}
