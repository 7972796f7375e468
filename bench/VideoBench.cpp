#include "BenchRegistry.h"
#include "EventLoopWait.h"
#include "TestMedia.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "services/VideoFrameExtractorService.h"
#include "state/AppState.h"
#include "state/ExportRuns.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <random>
#include <vector>

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Packets read to index a video for one opening in a window and the still of its first frame.
void openingPackets(const QString &path, int videoPackets)
{
    const std::int64_t before = FrameIndex::packetsScanned();
    ExportRuns runs;
    AppState state(&runs, PlayerOutput::Headless);
    state.loadVideo(QUrl::fromLocalFile(path));
    if (!waitForEvents([&] {
            return state.playback()->videoURL().isValid() && state.playback()->player()->frameIndex() &&
                   !state.playback()->player()->isSeeking();
        }))
        qFatal("the video does not open");
    if (!state.playback()->extractor()->image(state.playback()->player()->currentTime()).result().ok())
        qFatal("grab failed");
    const double read = double(FrameIndex::packetsScanned() - before);
    BenchRegistry::print(QStringLiteral("player.open.packets"), read, QStringLiteral("packets"),
                         QStringLiteral("packets read by frame index scans for one opening and its first "
                                        "still; the file has %1 video packets")
                             .arg(videoPackets));
}

void run(const QStringList &prefixes)
{
    const bool grabRandom = BenchRegistry::wanted(prefixes, QStringLiteral("grab.random.1080p"));
    const bool grabNext = BenchRegistry::wanted(prefixes, QStringLiteral("grab.next.1080p"));
    const bool playerSeek = BenchRegistry::wanted(prefixes, QStringLiteral("player.seek.1080p"));
    const bool playerOpen = BenchRegistry::wanted(prefixes, QStringLiteral("player.open.packets"));
    if (!grabRandom && !grabNext && !playerSeek && !playerOpen)
        return;

    // 25 s of 1920×1080 H.264 at 30 fps with a key frame every 2 s.
    const QString path =
        TestMedia::patternVideo(QStringLiteral("bench-1080p.mp4"), QSize(1920, 1080), 25, 60);
    const Result<FrameIndex> built = FrameIndex::build(path);
    if (!built.ok())
        qFatal("no frame index");
    const FrameIndex &index = built.value();
    if (playerOpen)
        openingPackets(path, index.count());
    std::mt19937 random(42);
    std::uniform_int_distribution<int> anyFrame(0, index.count() - 2);

    if (grabRandom) {
        FrameGrabber grabber(path);
        (void)grabber.image(MediaTime::zero()); // opening the file is not part of a grab
        std::vector<double> samples;
        for (int i = 0; i < 30; ++i) {
            const MediaTime time = index.time(anyFrame(random));
            QElapsedTimer timer;
            timer.start();
            if (!grabber.image(time).ok())
                qFatal("grab failed");
            samples.push_back(elapsedMs(timer));
        }
        BenchRegistry::print(QStringLiteral("grab.random.1080p"), BenchRegistry::median(samples),
                             QStringLiteral("ms"), QStringLiteral("30 random frames, key frame every 2 s"));
    }

    if (grabNext) {
        FrameGrabber grabber(path);
        std::vector<double> samples;
        for (int round = 0; round < 3; ++round) {
            int frame = anyFrame(random) / 2;
            if (!grabber.image(index.time(frame)).ok())
                qFatal("grab failed");
            for (int i = 0; i < 20 && frame + 1 < index.count(); ++i) {
                ++frame;
                QElapsedTimer timer;
                timer.start();
                if (!grabber.image(index.time(frame)).ok())
                    qFatal("grab failed");
                samples.push_back(elapsedMs(timer));
            }
        }
        BenchRegistry::print(QStringLiteral("grab.next.1080p"), BenchRegistry::median(samples),
                             QStringLiteral("ms"),
                             QStringLiteral("frame after the previous grab, 60 samples"));
    }

    if (playerSeek) {
        VideoPlayer player(PlayerOutput::Headless);
        QEventLoop loop;
        QObject::connect(&player, &VideoPlayer::seekCompleted, &loop, &QEventLoop::quit);
        QObject::connect(&player, &VideoPlayer::frameIndexReady, &loop, [&] {
            if (!player.isSeeking())
                loop.quit();
        });
        player.replaceCurrentItem(path);
        while (!player.frameIndex() || player.isSeeking())
            loop.exec();
        std::vector<double> samples;
        for (int i = 0; i < 20; ++i) {
            const MediaTime target = index.time(anyFrame(random));
            QElapsedTimer timer;
            timer.start();
            player.seek(target);
            while (player.isSeeking())
                loop.exec();
            samples.push_back(elapsedMs(timer));
            if (player.currentTime() != target)
                qFatal("the player landed elsewhere");
        }
        BenchRegistry::print(QStringLiteral("player.seek.1080p"), BenchRegistry::median(samples),
                             QStringLiteral("ms"),
                             QStringLiteral("exact seek until the new frame is reported, vo=null"));
    }
}

} // namespace

QUINTAREL_BENCH(VideoBench,
                (QStringList{QStringLiteral("grab.random.1080p"), QStringLiteral("grab.next.1080p"),
                             QStringLiteral("player.seek.1080p"), QStringLiteral("player.open.packets")}),
                run)
