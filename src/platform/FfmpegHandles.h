#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <QString>

#include <memory>

// Owning handles for FFmpeg objects: each releases its object with the library's own function.
namespace Ffmpeg {

struct FormatContextDeleter
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct CodecContextDeleter
{
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct FrameDeleter
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct PacketDeleter
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct SwsContextDeleter
{
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};

using FormatContext = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;
using ScaleContext = std::unique_ptr<SwsContext, SwsContextDeleter>;

// What an error code means, in French words the user reads ("contenu non reconnu ou endommagé");
// the library's own text ("Invalid data found when processing input") goes to the log.
QString errorText(int errorCode);

// Opens a file and reads its stream information. On failure `context` stays empty and the
// result is a readable description naming the file.
QString openInput(const QString &path, FormatContext &context);

} // namespace Ffmpeg
