#include "BenchRegistry.h"
#include "TestMedia.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"

#include <QElapsedTimer>
#include <QProcess>

#include <random>
#include <vector>

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The ffmpeg command-line tool's time for the still at `time`: an exact seek, one frame decoded
// and converted to RGBA, thrown away.
double commandLineStillMs(const QString &path, const MediaTime &time)
{
    QProcess ffmpeg;
    QElapsedTimer timer;
    timer.start();
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
                  QString::number(time.seconds(), 'f', 6), QStringLiteral("-i"), path,
                  QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-pix_fmt"),
                  QStringLiteral("rgba"), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                  QStringLiteral("-y"), QStringLiteral("/dev/null")});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0)
        qFatal("ffmpeg could not take a still");
    return elapsedMs(timer);
}

void run(const QStringList &prefixes)
{
    if (!BenchRegistry::wanted(prefixes, QStringLiteral("grab.random.2160p.hevc10")))
        return;
    // 8 s of 3840×2160 HEVC Main 10 in HLG at 30 fps with a key frame every 2 s, as phones record:
    // the stills are tone-mapped.
    const QString path = TestMedia::patternVideo(
        QStringLiteral("bench-2160p-hevc10-hlg.mp4"), QSize(3840, 2160), 8, 60,
        {QStringLiteral("-c:v"), QStringLiteral("libx265"), QStringLiteral("-preset"),
         QStringLiteral("ultrafast"), QStringLiteral("-x265-params"), QStringLiteral("log-level=error"),
         QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p10le"), QStringLiteral("-color_primaries"),
         QStringLiteral("bt2020"), QStringLiteral("-color_trc"), QStringLiteral("arib-std-b67"),
         QStringLiteral("-colorspace"), QStringLiteral("bt2020nc"), QStringLiteral("-tag:v"),
         QStringLiteral("hvc1")});
    const Result<FrameIndex> built = FrameIndex::build(path);
    if (!built.ok())
        qFatal("no frame index");
    const FrameIndex &index = built.value();
    std::mt19937 random(42);
    std::uniform_int_distribution<int> anyFrame(0, index.count() - 2);

    FrameGrabber grabber(path);
    (void)grabber.image(MediaTime::zero()); // opening the file is not part of a grab
    std::vector<double> ours;
    std::vector<double> commandLine;
    for (int i = 0; i < 15; ++i) {
        const MediaTime time = index.time(anyFrame(random));
        QElapsedTimer timer;
        timer.start();
        const Result<QImage> still = grabber.image(time);
        if (!still.ok() || still.value().size() != QSize(3840, 2160))
            qFatal("grab failed");
        ours.push_back(elapsedMs(timer));
        commandLine.push_back(commandLineStillMs(path, time));
    }
    const double median = BenchRegistry::median(ours);
    const double reference = BenchRegistry::median(commandLine);
    BenchRegistry::print(QStringLiteral("grab.random.2160p.hevc10"), median, QStringLiteral("ms"),
                         QStringLiteral("15 random full-size stills of 3840×2160 HEVC Main 10 HLG, key "
                                        "frame every 2 s; the ffmpeg tool takes %1 ms for the same stills "
                                        "(process start included): %2× its time")
                             .arg(reference, 0, 'f', 1)
                             .arg(median / reference, 0, 'f', 2));
}

} // namespace

QUINTAREL_BENCH(HevcBench, (QStringList{QStringLiteral("grab.random.2160p.hevc10")}), run)
