#include "WindowTestMedia.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

QString WindowTestMedia::patternVideo(const QString &fileName)
{
    const QString path = folder().filePath(fileName);
    if (QFile::exists(path))
        return path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc2=size=320x240:rate=30:duration=20"), QStringLiteral("-c:v"),
                  QStringLiteral("libx264"), QStringLiteral("-g"), QStringLiteral("60"),
                  QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0)
        return {};
    return path;
}

QString WindowTestMedia::textFile(const QString &fileName)
{
    const QString path = folder().filePath(fileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("Pas une vidéo.\n");
    return path;
}
