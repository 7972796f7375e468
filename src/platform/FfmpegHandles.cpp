#include "FfmpegHandles.h"

#include "SystemErrorText.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString reason(int errorCode)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("Ffmpeg", text); };
    switch (errorCode) {
    case AVERROR_INVALIDDATA:
        return tr("contenu non reconnu ou endommagé");
    case AVERROR_EOF:
        return tr("le fichier s'arrête avant la fin attendue");
    case AVERROR_DECODER_NOT_FOUND:
        return tr("codage vidéo non pris en charge");
    case AVERROR_DEMUXER_NOT_FOUND:
        return tr("format de fichier non pris en charge");
    case AVERROR_STREAM_NOT_FOUND:
        return tr("aucun flux lisible");
    case AVERROR_PATCHWELCOME:
        return tr("variante du format non prise en charge");
    case AVERROR_BUFFER_TOO_SMALL:
    case AVERROR_BUG:
    case AVERROR_BUG2:
    case AVERROR_EXTERNAL:
    case AVERROR_UNKNOWN:
        break;
    default:
        // The operating system's own errors (a missing file, a folder, no permission) travel as
        // negated errno values.
        if (errorCode < 0 && errorCode > -4096)
            return SystemErrorText::describe(-errorCode);
        break;
    }
    return QCoreApplication::translate("Ffmpeg", "erreur de lecture de la vidéo (code %1)").arg(errorCode);
}

} // namespace

QString Ffmpeg::errorText(int errorCode)
{
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(errorCode, buffer, sizeof buffer) >= 0)
        qInfo("FFmpeg: %s (%d)", buffer, errorCode);
    return reason(errorCode);
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
