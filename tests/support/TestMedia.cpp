#include "TestMedia.h"

#include "TestImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTransform>
#include <QtGlobal>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/mastering_display_metadata.h>
}

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace {

constexpr int cellCount = 16; // a white marker, fourteen bits (most significant first), a black marker
constexpr int bitCount = 14;

QTemporaryDir &mediaFolder()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quintarel-media-XXXXXX"));
    return dir;
}

QHash<QString, QString> &madeVideos()
{
    static QHash<QString, QString> made;
    return made;
}

QByteArray runOrFail(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted())
        qFatal("TestMedia: %s does not start", qPrintable(program));
    if (!input.isEmpty()) {
        process.write(input);
        process.waitForBytesWritten(-1);
    }
    process.closeWriteChannel();
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        qFatal("TestMedia: %s %s failed: %s", qPrintable(program),
               qPrintable(arguments.join(QLatin1Char(' '))), process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

// Copies `source` to `target` as it is, `describe` adding side data to the video stream.
void remuxDescribed(const QString &source, const QString &target,
                    const std::function<void(AVStream *)> &describe)
{
    struct InputDeleter
    {
        void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
    };
    struct OutputDeleter
    {
        void operator()(AVFormatContext *c) const
        {
            if (!(c->oformat->flags & AVFMT_NOFILE))
                avio_closep(&c->pb);
            avformat_free_context(c);
        }
    };
    AVFormatContext *rawInput = nullptr;
    if (avformat_open_input(&rawInput, QFile::encodeName(source).constData(), nullptr, nullptr) < 0)
        qFatal("TestMedia: cannot reopen %s", qPrintable(source));
    std::unique_ptr<AVFormatContext, InputDeleter> input(rawInput);
    avformat_find_stream_info(input.get(), nullptr);

    AVFormatContext *rawOutput = nullptr;
    avformat_alloc_output_context2(&rawOutput, nullptr, nullptr, QFile::encodeName(target).constData());
    if (!rawOutput)
        qFatal("TestMedia: no muxer for %s", qPrintable(target));
    std::unique_ptr<AVFormatContext, OutputDeleter> output(rawOutput);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream *in = input->streams[i];
        AVStream *out = avformat_new_stream(output.get(), nullptr);
        avcodec_parameters_copy(out->codecpar, in->codecpar);
        out->codecpar->codec_tag = 0;
        out->time_base = in->time_base;
        if (in->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            describe(out);
    }
    if (avio_open(&output->pb, QFile::encodeName(target).constData(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(output.get(), nullptr) < 0)
        qFatal("TestMedia: cannot write %s", qPrintable(target));
    AVPacket *packet = av_packet_alloc();
    while (av_read_frame(input.get(), packet) >= 0) {
        av_packet_rescale_ts(packet, input->streams[packet->stream_index]->time_base,
                             output->streams[packet->stream_index]->time_base);
        packet->pos = -1;
        av_interleaved_write_frame(output.get(), packet);
    }
    av_packet_free(&packet);
    av_write_trailer(output.get());
}

// Copies `source` to `target` as it is, adding a display matrix that turns the video clockwise.
void remuxWithRotation(const QString &source, const QString &target, int clockwise)
{
    remuxDescribed(source, target, [clockwise](AVStream *video) {
        auto *matrix = reinterpret_cast<int32_t *>(
            av_stream_new_side_data(video, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        // Read back through MP4 this is the clockwise turn that ffmpeg's own autorotation applies.
        av_display_rotation_set(matrix, clockwise);
    });
}

} // namespace

QString TestMedia::folder()
{
    return mediaFolder().path();
}

QImage TestMedia::frameImage(int number, QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(QColor(128, 128, 128));
    QPainter painter(&image);
    const int bandHeight = size.height() / 4;
    for (int cell = 0; cell < cellCount; ++cell) {
        bool white = false;
        if (cell == 0)
            white = true;
        else if (cell <= bitCount)
            white = (number >> (bitCount - cell)) & 1;
        const int left = cell * size.width() / cellCount;
        const int right = (cell + 1) * size.width() / cellCount;
        painter.fillRect(QRect(left, 0, right - left, bandHeight), white ? Qt::white : Qt::black);
    }
    return image;
}

int TestMedia::frameNumber(const QImage &source)
{
    if (source.isNull())
        return -1;
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    const int cellWidth = image.width() / cellCount;
    const int bandHeight = image.height() / 4;
    const int radius = std::max(1, std::min(cellWidth, bandHeight) / 4);
    const int y = bandHeight / 2;
    int number = 0;
    for (int cell = 0; cell < cellCount; ++cell) {
        const int x = cell * image.width() / cellCount + cellWidth / 2;
        int sum = 0;
        int count = 0;
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx) {
                sum += qGray(image.pixel(x + dx, y + dy));
                ++count;
            }
        }
        const int level = sum / count;
        if (level > 64 && level < 192)
            return -1;
        const bool white = level >= 192;
        if ((cell == 0 && !white) || (cell == cellCount - 1 && white))
            return -1;
        if (cell >= 1 && cell <= bitCount)
            number = (number << 1) | (white ? 1 : 0);
    }
    return number;
}

QList<TestMedia::ColourPatch> TestMedia::colourPatches(QSize size)
{
    const QColor colours[] = {QColor(200, 40, 40),   QColor(40, 180, 60), QColor(50, 60, 210),
                              QColor(230, 230, 230), QColor(20, 20, 20),  QColor(240, 200, 30),
                              QColor(128, 128, 128), QColor(90, 30, 150)};
    QList<ColourPatch> patches;
    const int columns = 4;
    const int w = size.width() / columns;
    const int h = size.height() / 2;
    for (int i = 0; i < 8; ++i)
        patches.append({colours[i], QPoint((i % columns) * w + w / 2, (i / columns) * h + h / 2)});
    return patches;
}

QImage TestMedia::colourImage(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    QPainter painter(&image);
    const int columns = 4;
    const int w = size.width() / columns;
    const int h = size.height() / 2;
    const QList<ColourPatch> patches = colourPatches(size);
    for (int i = 0; i < patches.size(); ++i)
        painter.fillRect(QRect((i % columns) * w, (i / columns) * h, w, h), patches.at(i).colour);
    return image;
}

QString TestMedia::video(const VideoOptions &options)
{
    if (!mediaFolder().isValid())
        qFatal("TestMedia: no temporary folder");
    const auto made = madeVideos().constFind(options.name);
    if (made != madeVideos().constEnd())
        return made.value();

    const QString path = mediaFolder().filePath(options.name + QLatin1Char('.') + options.container);
    const QString encoded =
        options.rotation
            ? mediaFolder().filePath(options.name + QStringLiteral("-unrotated.") + options.container)
            : path;

    // Frames are stored turned against the display rotation, so that they show upright.
    const QSize stored = (options.rotation % 180) ? options.size.transposed() : options.size;
    QByteArray frames;
    for (int number = 0; number < options.frameCount; ++number) {
        QImage upright =
            options.picture ? options.picture(number, options.size) : frameImage(number, options.size);
        upright = upright.convertToFormat(QImage::Format_RGB888);
        const QImage image =
            options.rotation ? upright.transformed(QTransform().rotate(-options.rotation)) : upright;
        Q_ASSERT(image.size() == stored);
        for (int y = 0; y < image.height(); ++y)
            frames.append(reinterpret_cast<const char *>(image.constScanLine(y)), image.width() * 3);
    }

    QStringList arguments{
        QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
        QStringLiteral("error"),        QStringLiteral("-y"),
        QStringLiteral("-f"),           QStringLiteral("rawvideo"),
        QStringLiteral("-pix_fmt"),     QStringLiteral("rgb24"),
        QStringLiteral("-s"),           QStringLiteral("%1x%2").arg(stored.width()).arg(stored.height()),
        QStringLiteral("-framerate"),   options.frameRate,
        QStringLiteral("-i"),           QStringLiteral("-")};
    if (options.audio)
        arguments << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                  << QStringLiteral("sine=frequency=440:sample_rate=48000");
    if (options.codecArguments.isEmpty())
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                  << QStringLiteral("veryfast") << QStringLiteral("-crf") << QStringLiteral("16")
                  << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
    else
        arguments << options.codecArguments;
    if (options.keyFrameInterval > 0)
        arguments << QStringLiteral("-g") << QString::number(options.keyFrameInterval);
    if (options.audio)
        arguments << QStringLiteral("-c:a") << QStringLiteral("aac") << QStringLiteral("-shortest");
    arguments << options.outputArguments << encoded;
    runOrFail(QStringLiteral("ffmpeg"), arguments, frames);

    if (options.rotation) {
        remuxWithRotation(encoded, path, options.rotation);
        QFile::remove(encoded);
    }
    madeVideos().insert(options.name, path);
    return path;
}

QString TestMedia::clipName(Clip which)
{
    switch (which) {
    case Clip::Fps30:
        return QStringLiteral("fps30");
    case Clip::Fps2997:
        return QStringLiteral("fps2997");
    case Clip::Fps23976:
        return QStringLiteral("fps23976");
    case Clip::Timescale90k:
        return QStringLiteral("timescale90k");
    case Clip::Matroska2997:
        return QStringLiteral("matroska2997");
    case Clip::TransportStream:
        return QStringLiteral("transport-stream");
    case Clip::Rotated90:
        return QStringLiteral("rotated90");
    case Clip::WithAudio:
        return QStringLiteral("audio");
    case Clip::Mpeg4Avi:
        return QStringLiteral("mpeg4-avi");
    case Clip::FastStartMp4:
        return QStringLiteral("fast-start");
    }
    return {};
}

QList<TestMedia::Clip> TestMedia::allClips()
{
    return {Clip::Fps30,           Clip::Fps2997,   Clip::Fps23976,  Clip::Timescale90k, Clip::Matroska2997,
            Clip::TransportStream, Clip::Rotated90, Clip::WithAudio, Clip::Mpeg4Avi};
}

QString TestMedia::clip(Clip which)
{
    VideoOptions options;
    options.name = clipName(which);
    // Key frames every 15 frames: grabs and seeks cross group boundaries within the short clips.
    options.keyFrameInterval = 15;
    switch (which) {
    case Clip::Fps30:
        break;
    case Clip::Fps2997:
        options.frameRate = QStringLiteral("30000/1001");
        break;
    case Clip::Fps23976:
        options.frameRate = QStringLiteral("24000/1001");
        options.frameCount = 36;
        break;
    case Clip::Timescale90k:
        options.outputArguments = {QStringLiteral("-video_track_timescale"), QStringLiteral("90000")};
        break;
    case Clip::Matroska2997:
        options.container = QStringLiteral("mkv");
        options.frameRate = QStringLiteral("30000/1001");
        break;
    case Clip::TransportStream:
        options.container = QStringLiteral("ts");
        options.keyFrameInterval = 15;
        break;
    case Clip::Rotated90:
        options.rotation = 90;
        break;
    case Clip::WithAudio:
        options.audio = true;
        break;
    case Clip::Mpeg4Avi:
        options.container = QStringLiteral("avi");
        options.frameRate = QStringLiteral("25");
        options.frameCount = 60;
        options.codecArguments = {QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-bf"),
                                  QStringLiteral("2"),    QStringLiteral("-q:v"),  QStringLiteral("2")};
        break;
    case Clip::FastStartMp4:
        options.frameCount = 150;
        // Key frames close together, so that a cut at 30 % still leaves whole groups of pictures.
        options.keyFrameInterval = 10;
        options.outputArguments = {QStringLiteral("-movflags"), QStringLiteral("+faststart")};
        break;
    }
    return video(options);
}

QString TestMedia::truncatedCopy(const QString &path, int percent)
{
    const QString target =
        mediaFolder().filePath(QFileInfo(path).completeBaseName() + QStringLiteral("-cut%1.").arg(percent) +
                               QFileInfo(path).suffix());
    if (QFile::exists(target))
        return target;
    QFile source(path);
    QFile copy(target);
    if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
        qFatal("TestMedia: cannot cut %s", qPrintable(path));
    const QByteArray bytes = source.readAll();
    copy.write(bytes.left(bytes.size() * percent / 100));
    return target;
}

QString TestMedia::damagedStartCopy(const QString &path)
{
    const QString target = mediaFolder().filePath(QFileInfo(path).completeBaseName() +
                                                  QStringLiteral("-damaged.") + QFileInfo(path).suffix());
    if (QFile::exists(target))
        return target;
    // ffprobe gives the size first, then the position.
    const QList<QByteArray> first =
        runOrFail(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                   QStringLiteral("v:0"), QStringLiteral("-read_intervals"), QStringLiteral("%+#1"),
                   QStringLiteral("-show_entries"), QStringLiteral("packet=pos,size"), QStringLiteral("-of"),
                   QStringLiteral("csv=p=0"), path})
            .trimmed()
            .split(',');
    if (first.size() != 2)
        qFatal("TestMedia: no first packet in %s", qPrintable(path));
    if (!QFile::copy(path, target))
        qFatal("TestMedia: cannot copy %s", qPrintable(path));
    QFile copy(target);
    if (!copy.open(QIODevice::ReadWrite) || !copy.seek(first.at(1).toLongLong()))
        qFatal("TestMedia: cannot damage %s", qPrintable(target));
    copy.write(QByteArray(first.at(0).toInt(), '\xff'));
    return target;
}

QString TestMedia::trimmedCopy(const QString &path, double seconds)
{
    const QString target = mediaFolder().filePath(QFileInfo(path).completeBaseName() +
                                                  QStringLiteral("-from%1.mp4").arg(seconds));
    if (!QFile::exists(target))
        runOrFail(QStringLiteral("ffmpeg"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-ss"),
                   QString::number(seconds), QStringLiteral("-i"), path, QStringLiteral("-c"),
                   QStringLiteral("copy"), target});
    return target;
}

QString TestMedia::audioOnly(const QString &name)
{
    const QString target = mediaFolder().filePath(name + QStringLiteral(".mp4"));
    if (!QFile::exists(target))
        runOrFail(QStringLiteral("ffmpeg"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                   QStringLiteral("lavfi"), QStringLiteral("-i"),
                   QStringLiteral("sine=frequency=440:sample_rate=48000:duration=2"), QStringLiteral("-c:a"),
                   QStringLiteral("aac"), target});
    return target;
}

QString TestMedia::notAVideo()
{
    return textFile(QStringLiteral("notes.mp4"));
}

QString TestMedia::textFile(const QString &fileName)
{
    const QString path = mediaFolder().filePath(fileName);
    if (!QFile::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("TestMedia: cannot write %s", qPrintable(path));
        file.write("This is a shopping list, not a film.\nEggs, flour, milk.\n");
    }
    return path;
}

QString TestMedia::patternVideo(const QString &fileName, QSize size, int seconds, int keyFrameInterval,
                                const QStringList &codecArguments)
{
    const QString path = mediaFolder().filePath(fileName);
    if (QFile::exists(path))
        return path;
    const QString pattern =
        QStringLiteral("testsrc2=s=%1x%2:r=30:d=%3").arg(size.width()).arg(size.height()).arg(seconds);
    QStringList arguments{QStringLiteral("-v"),
                          QStringLiteral("error"),
                          QStringLiteral("-y"),
                          QStringLiteral("-f"),
                          QStringLiteral("lavfi"),
                          QStringLiteral("-i"),
                          pattern};
    if (codecArguments.isEmpty()) {
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                  << QStringLiteral("veryfast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
    } else {
        arguments << codecArguments;
    }
    arguments << QStringLiteral("-g") << QString::number(keyFrameInterval) << path;
    runOrFail(QStringLiteral("ffmpeg"), arguments);
    return path;
}

QString TestMedia::hdrVideo(const QString &transfer, int masteringPeak, int maxContentLight)
{
    QString encoder = QStringLiteral("log-level=error");
    if (masteringPeak > 0 || maxContentLight > 0)
        encoder += QStringLiteral(":hdr10=1");
    if (masteringPeak > 0) {
        // P3 primaries, a D65 white, luminances in units of 0.0001 cd/m².
        encoder += QStringLiteral(":master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)"
                                  "L(%1,1)")
                       .arg(qint64(masteringPeak) * 10000);
    }
    if (maxContentLight > 0)
        encoder += QStringLiteral(":max-cll=%1,%2").arg(maxContentLight).arg(std::min(maxContentLight, 400));
    QString name = QStringLiteral("hdr-%1").arg(transfer);
    if (masteringPeak > 0)
        name += QStringLiteral("-mastered%1").arg(masteringPeak);
    if (maxContentLight > 0)
        name += QStringLiteral("-maxcll%1").arg(maxContentLight);
    name += QStringLiteral(".mp4");
    return patternVideo(name, QSize(320, 240), 2, 30,
                        {QStringLiteral("-vf"), QStringLiteral("scale=out_color_matrix=bt2020:out_range=tv"),
                         QStringLiteral("-c:v"), QStringLiteral("libx265"), QStringLiteral("-preset"),
                         QStringLiteral("ultrafast"), QStringLiteral("-x265-params"), encoder,
                         QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p10le"),
                         QStringLiteral("-color_primaries"), QStringLiteral("bt2020"),
                         QStringLiteral("-color_trc"), transfer, QStringLiteral("-colorspace"),
                         QStringLiteral("bt2020nc"), QStringLiteral("-tag:v"), QStringLiteral("hvc1")});
}

QString TestMedia::hdrContainerVideo(int masteringPeak, int maxContentLight)
{
    const QString path = mediaFolder().filePath(
        QStringLiteral("hdr-vp9-mastered%1-maxcll%2.webm").arg(masteringPeak).arg(maxContentLight));
    if (QFile::exists(path))
        return path;
    const QString plain = patternVideo(
        QStringLiteral("hdr-vp9.webm"), QSize(320, 240), 2, 30,
        {QStringLiteral("-vf"), QStringLiteral("scale=out_color_matrix=bt2020:out_range=tv"),
         QStringLiteral("-c:v"), QStringLiteral("libvpx-vp9"), QStringLiteral("-deadline"),
         QStringLiteral("realtime"), QStringLiteral("-cpu-used"), QStringLiteral("8"),
         QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p10le"), QStringLiteral("-color_primaries"),
         QStringLiteral("bt2020"), QStringLiteral("-color_trc"), QStringLiteral("smpte2084"),
         QStringLiteral("-colorspace"), QStringLiteral("bt2020nc")});
    remuxDescribed(plain, path, [=](AVStream *video) {
        auto *light = reinterpret_cast<AVContentLightMetadata *>(
            av_stream_new_side_data(video, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, sizeof(AVContentLightMetadata)));
        light->MaxCLL = unsigned(maxContentLight);
        light->MaxFALL = unsigned(std::min(maxContentLight, 400));
        auto *mastering = reinterpret_cast<AVMasteringDisplayMetadata *>(av_stream_new_side_data(
            video, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, sizeof(AVMasteringDisplayMetadata)));
        *mastering = AVMasteringDisplayMetadata{};
        // P3 primaries and a D65 white, as hdrVideo() writes them.
        const int primaries[3][2] = {{34000, 16000}, {13250, 34500}, {7500, 3000}};
        for (int c = 0; c < 3; ++c) {
            mastering->display_primaries[c][0] = av_make_q(primaries[c][0], 50000);
            mastering->display_primaries[c][1] = av_make_q(primaries[c][1], 50000);
        }
        mastering->white_point[0] = av_make_q(15635, 50000);
        mastering->white_point[1] = av_make_q(16450, 50000);
        mastering->min_luminance = av_make_q(1, 10000);
        mastering->max_luminance = av_make_q(masteringPeak, 1);
        mastering->has_primaries = 1;
        mastering->has_luminance = masteringPeak > 0 ? 1 : 0;
    });
    return path;
}

QString TestMedia::shapesVideo(const QString &name, QSize size, int frameCount, int drift,
                               const QString &container)
{
    VideoOptions options;
    options.name = name;
    options.container = container;
    options.size = size;
    options.frameCount = frameCount;
    options.picture = [drift](int number, QSize frameSize) {
        const double scale = frameSize.width() / 960.0;
        QList<TestImages::Shape> shapes = TestImages::twoShapes();
        for (TestImages::Shape &shape : shapes) {
            const QRectF scaled(shape.rect.x() * scale, shape.rect.y() * scale, shape.rect.width() * scale,
                                shape.rect.height() * scale);
            shape.rect = scaled.toRect().translated(number * drift, 0);
        }
        return TestImages::shapesOnGradient(frameSize, shapes);
    };
    return video(options);
}

QList<MediaTime> TestMedia::frameTimes(const QString &path)
{
    const QStringList common{
        QStringLiteral("-v"),  QStringLiteral("error"), QStringLiteral("-select_streams"),
        QStringLiteral("v:0"), QStringLiteral("-of"),   QStringLiteral("default=nw=1:nk=1")};
    const QString timeBase =
        QString::fromUtf8(runOrFail(QStringLiteral("ffprobe"),
                                    common + QStringList{QStringLiteral("-show_entries"),
                                                         QStringLiteral("stream=time_base"), path})
                              .trimmed())
            .section(QLatin1Char('\n'), 0, 0); // a transport stream lists its stream again under its program
    const QStringList parts = timeBase.split(QLatin1Char('/'));
    if (parts.size() != 2)
        qFatal("TestMedia: no time base for %s", qPrintable(path));
    const qint64 numerator = parts.at(0).toLongLong();
    const int denominator = parts.at(1).toInt();

    // Frames without a presentation time of their own mean a file of decoding times: its pictures
    // come one per packet, in the order of the packet times.
    const QByteArray frames =
        runOrFail(QStringLiteral("ffprobe"),
                  common + QStringList{QStringLiteral("-show_entries"), QStringLiteral("frame=pts"), path});
    QList<qint64> ticks;
    bool everyFrameTimed = true;
    for (const QByteArray &line : frames.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        bool ok = false;
        ticks.append(line.trimmed().toLongLong(&ok));
        everyFrameTimed = everyFrameTimed && ok;
    }
    if (!everyFrameTimed) {
        ticks.clear();
        const QByteArray packets =
            runOrFail(QStringLiteral("ffprobe"), common + QStringList{QStringLiteral("-show_entries"),
                                                                      QStringLiteral("packet=dts"), path});
        for (const QByteArray &line : packets.split('\n')) {
            bool ok = false;
            const qint64 dts = line.trimmed().toLongLong(&ok);
            if (ok)
                ticks.append(dts);
        }
        std::sort(ticks.begin(), ticks.end());
    }
    QList<MediaTime> times;
    for (qint64 pts : ticks)
        times.append(MediaTime(pts * numerator, denominator));
    return times;
}

QList<MediaTime> TestMedia::packetTimes(const QString &path)
{
    struct InputDeleter
    {
        void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
    };
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        qFatal("TestMedia: cannot open %s", qPrintable(path));
    std::unique_ptr<AVFormatContext, InputDeleter> input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        qFatal("TestMedia: no streams in %s", qPrintable(path));
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        qFatal("TestMedia: no video in %s", qPrintable(path));
    const AVRational timeBase = input->streams[stream]->time_base;

    // Every packet's data is read, as a player reads it; the last one is left out when it is cut short.
    std::multiset<std::int64_t> shown;
    std::optional<std::pair<std::int64_t, bool>> last; // time, corrupt
    AVPacket *packet = av_packet_alloc();
    while (av_read_frame(input.get(), packet) >= 0) {
        const std::int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (packet->stream_index == stream && time != AV_NOPTS_VALUE) {
            const bool isShown = !(packet->flags & AV_PKT_FLAG_DISCARD);
            if (isShown)
                shown.insert(time);
            last = {isShown ? time : AV_NOPTS_VALUE, bool(packet->flags & AV_PKT_FLAG_CORRUPT)};
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (last && last->second && last->first != AV_NOPTS_VALUE)
        shown.erase(shown.find(last->first));
    QList<MediaTime> times;
    for (std::int64_t ticks : std::set<std::int64_t>(shown.begin(), shown.end()))
        times.append(MediaTime(ticks * timeBase.num, timeBase.den));
    return times;
}

int TestMedia::LongVideo::numberOf(int frame) const
{
    const int repeated = minutes * minuteFrames;
    return frame < repeated ? frame % minuteFrames : lastBase + frame - repeated;
}

TestMedia::LongVideo TestMedia::longVideo(int minutes, const QString &container, int frameRate)
{
    LongVideo made;
    made.minutes = minutes;
    made.minuteFrames = 60 * frameRate;
    made.frameCount = minutes * made.minuteFrames + made.lastFrames;
    // Named as before at 30 frames a second.
    const QString rate = frameRate == 30 ? QString() : QStringLiteral("-%1fps").arg(frameRate);
    made.path = mediaFolder().filePath(QStringLiteral("long-%1min%2.%3").arg(minutes).arg(rate, container));
    if (QFile::exists(made.path))
        return made;

    // Small, so that an hour of it stays some tens of megabytes, with a patch of noise that makes
    // the pictures, not the tables, the bulk of the file, as in any real video.
    const auto picture = [](int number, QSize size) {
        QImage image = frameImage(number, size);
        QRandomGenerator noise{quint32(number)};
        for (int y = size.height() / 2; y < size.height() / 2 + 24; ++y) {
            uchar *line = image.scanLine(y);
            for (int x = 0; x < 32 * 3; ++x)
                line[x] = uchar(noise.bounded(256));
        }
        return image;
    };
    VideoOptions minute;
    minute.name = QStringLiteral("long-minute") + rate;
    minute.size = QSize(160, 120);
    minute.frameRate = QString::number(frameRate);
    minute.frameCount = made.minuteFrames;
    minute.keyFrameInterval = 60;
    minute.picture = picture;
    VideoOptions last = minute;
    last.name = QStringLiteral("long-last") + rate;
    last.frameCount = made.lastFrames;
    const int lastBase = made.lastBase;
    last.picture = [lastBase, picture](int number, QSize size) { return picture(lastBase + number, size); };
    const QString minutePath = video(minute);
    const QString lastPath = video(last);

    const QString listPath =
        mediaFolder().filePath(QStringLiteral("long-%1min%2.txt").arg(minutes).arg(rate));
    QFile list(listPath);
    if (!list.open(QIODevice::WriteOnly))
        qFatal("TestMedia: cannot write %s", qPrintable(listPath));
    for (int i = 0; i < minutes; ++i)
        list.write(QStringLiteral("file '%1'\n").arg(minutePath).toUtf8());
    list.write(QStringLiteral("file '%1'\n").arg(lastPath).toUtf8());
    list.close();
    runOrFail(QStringLiteral("ffmpeg"),
              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
               QStringLiteral("concat"), QStringLiteral("-safe"), QStringLiteral("0"), QStringLiteral("-i"),
               listPath, QStringLiteral("-c"), QStringLiteral("copy"), made.path});
    QFile::remove(listPath);
    return made;
}
