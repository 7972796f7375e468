#include "FfmpegHandles.h"

#include <QFileInfo>

QString Ffmpeg::errorText(int errorCode)
{
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(errorCode, buffer, sizeof buffer) < 0)
        return QStringLiteral("error %1").arg(errorCode);
    return QString::fromUtf8(buffer);
}

QString Ffmpeg::openInput(const QString &path, FormatContext &context)
{
    context.reset();
    const QString fileName = QFileInfo(path).fileName();
    AVFormatContext *raw = nullptr;
    int status = avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (status < 0)
        return QStringLiteral("%1 : %2").arg(fileName, errorText(status));
    FormatContext opened(raw);
    status = avformat_find_stream_info(opened.get(), nullptr);
    if (status < 0)
        return QStringLiteral("%1 : %2").arg(fileName, errorText(status));
    context = std::move(opened);
    return {};
}
