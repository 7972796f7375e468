#include "HostileMedia.h"

#include "TestMedia.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>

namespace {

QString pathFor(HostileMedia::Kind kind)
{
    return QDir(TestMedia::folder())
        .filePath(QStringLiteral("hostile-") + HostileMedia::name(kind) + QStringLiteral(".mp4"));
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("HostileMedia: cannot write %s", qPrintable(path));
}

QByteArray read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("HostileMedia: cannot read %s", qPrintable(path));
    return file.readAll();
}

// Two seconds of H.264 with its index at the front, as cameras and phones write it, so that a
// copy cut short still has an index that promises the missing pictures.
QString soundVideo()
{
    TestMedia::VideoOptions options;
    options.name = QStringLiteral("hostile-source");
    options.frameCount = 60;
    options.keyFrameInterval = 10;
    options.outputArguments = {QStringLiteral("-movflags"), QStringLiteral("+faststart")};
    return TestMedia::video(options);
}

QString flatVideo(const QString &name, QSize size)
{
    TestMedia::VideoOptions options;
    options.name = name;
    options.size = size;
    options.frameCount = 10;
    // 4:4:4, since 4:2:0 needs even sizes.
    options.outputArguments = {QStringLiteral("-pix_fmt"), QStringLiteral("yuv444p")};
    options.picture = [](int number, QSize pictureSize) {
        QImage image(pictureSize, QImage::Format_RGB888);
        image.fill(QColor(40 + number * 10, 120, 200));
        return image;
    };
    return TestMedia::video(options);
}

void makeAudioOnly(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("sine=frequency=440:sample_rate=48000:duration=2"), QStringLiteral("-c:a"),
                  QStringLiteral("aac"), QStringLiteral("-f"), QStringLiteral("mp4"), path});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0)
        qFatal("HostileMedia: ffmpeg failed: %s", ffmpeg.readAllStandardError().constData());
}

QByteArray corrupted(QByteArray bytes)
{
    // The same blocks every run; the first quarter, where the index sits, is left alone.
    QRandomGenerator random(20240601);
    for (int block = 0; block < 6; ++block) {
        const qsizetype start = bytes.size() * (25 + 10 * block) / 100;
        for (qsizetype i = start; i < std::min(bytes.size(), start + 512); ++i)
            bytes[i] = char(random.bounded(256));
    }
    return bytes;
}

QByteArray hugeRawVideo()
{
    QByteArray bytes("YUV4MPEG2 W16000 H16000 F30:1 Ip A1:1 C420jpeg\nFRAME\n");
    bytes.append(QByteArray(4096, '\x80'));
    return bytes;
}

} // namespace

QList<HostileMedia::Kind> HostileMedia::all()
{
    return {Kind::Empty,           Kind::Text,      Kind::Truncated10, Kind::Truncated50, Kind::Truncated90,
            Kind::CorruptedBlocks, Kind::AudioOnly, Kind::StillImage,  Kind::OnePixel,    Kind::VeryWide,
            Kind::HugeSizeInHeader};
}

QString HostileMedia::name(Kind kind)
{
    switch (kind) {
    case Kind::Empty:
        return QStringLiteral("empty");
    case Kind::Text:
        return QStringLiteral("text");
    case Kind::Truncated10:
        return QStringLiteral("truncated-10");
    case Kind::Truncated50:
        return QStringLiteral("truncated-50");
    case Kind::Truncated90:
        return QStringLiteral("truncated-90");
    case Kind::CorruptedBlocks:
        return QStringLiteral("corrupted-blocks");
    case Kind::AudioOnly:
        return QStringLiteral("audio-only");
    case Kind::StillImage:
        return QStringLiteral("still-image");
    case Kind::OnePixel:
        return QStringLiteral("1x1");
    case Kind::VeryWide:
        return QStringLiteral("16000x16");
    case Kind::HugeSizeInHeader:
        return QStringLiteral("huge-size-header");
    }
    return {};
}

QString HostileMedia::file(Kind kind)
{
    const QString path = pathFor(kind);
    if (QFile::exists(path))
        return path;
    const auto cut = [&path](int percent) {
        const QByteArray whole = read(soundVideo());
        write(path, whole.left(whole.size() * percent / 100));
    };
    switch (kind) {
    case Kind::Empty:
        write(path, {});
        break;
    case Kind::Text:
        write(path, "This is a shopping list, not a film.\nEggs, flour, milk.\n");
        break;
    case Kind::Truncated10:
        cut(10);
        break;
    case Kind::Truncated50:
        cut(50);
        break;
    case Kind::Truncated90:
        cut(90);
        break;
    case Kind::CorruptedBlocks:
        write(path, corrupted(read(soundVideo())));
        break;
    case Kind::AudioOnly:
        makeAudioOnly(path);
        break;
    case Kind::StillImage: {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(QColor(200, 60, 40));
        if (!picture.save(path, "PNG"))
            qFatal("HostileMedia: cannot write %s", qPrintable(path));
        break;
    }
    case Kind::OnePixel:
        return flatVideo(QStringLiteral("hostile-1x1"), QSize(1, 1));
    case Kind::VeryWide:
        return flatVideo(QStringLiteral("hostile-16000x16"), QSize(16000, 16));
    case Kind::HugeSizeInHeader:
        write(path, hugeRawVideo());
        break;
    }
    return path;
}
