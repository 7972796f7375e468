#include "BenchRegistry.h"
#include "EventLoopWait.h"
#include "MainThreadStallProbe.h"
#include "TestMedia.h"

#include "platform/FrameIndex.h"
#include "platform/FrameIndexer.h"
#include "platform/VideoPlayer.h"
#include "state/AppState.h"
#include "state/ExportRuns.h"
#include "state/HoverPreview.h"
#include "state/ShotScan.h"
#include "views/FramePreviewPopup.h"
#include "views/TimeSlider.h"
#include "views/TimelineControlsView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

#include <sys/resource.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Processor time used by the whole process so far, all threads, in seconds.
double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void scanShots(const QString &path, const std::shared_ptr<const FrameIndex> &index)
{
    std::vector<double> samples;
    std::vector<double> processorTimes;
    for (int round = 0; round < 3; ++round) {
        ShotScan scan;
        QElapsedTimer timer;
        const double processorBefore = processorSeconds();
        timer.start();
        scan.start(path, std::make_shared<FrameIndexer>(path, index));
        if (!waitForEvents([&] { return scan.isFinished(); }, 600000))
            qFatal("the shot scan does not end");
        samples.push_back(index->count() / (elapsedMs(timer) / 1000.0));
        processorTimes.push_back((processorSeconds() - processorBefore) * 1000.0 / index->count());
    }
    const double rate = BenchRegistry::median(samples);
    BenchRegistry::print(
        QStringLiteral("shots.scan.1080p"), rate, QStringLiteral("frames/s"),
        QStringLiteral("whole scan of 25 s of 1920×1080 H.264 at 30 fps, key frame every 2 s: "
                       "%1× real time, %2 ms of processor time per frame (all threads); 3 runs")
            .arg(rate / 30.0, 0, 'f', 1)
            .arg(BenchRegistry::median(processorTimes), 0, 'f', 2));
}

void hoverPreviews(const QString &path, const std::shared_ptr<const FrameIndex> &index)
{
    HoverPreview preview;
    preview.setVideo(path, std::make_shared<FrameIndexer>(path, index));
    bool ready = false;
    MediaTime shown;
    QObject::connect(&preview, &HoverPreview::pictureReady, [&](const MediaTime &frameStart, const QImage &) {
        ready = true;
        shown = frameStart;
    });
    const auto show = [&](int frame) {
        ready = false;
        QElapsedTimer timer;
        timer.start();
        preview.request(index->time(frame));
        if (!waitForEvents([&] { return ready && shown == index->time(frame); }))
            qFatal("no preview");
        return elapsedMs(timer);
    };
    show(0); // opening the file is not part of a preview

    std::mt19937 random(7);
    std::uniform_int_distribution<int> anyFrame(0, index->count() - 2);
    std::vector<double> far;
    std::vector<double> near;
    for (int i = 0; i < 20; ++i) {
        const int frame = anyFrame(random);
        far.push_back(show(frame));
        near.push_back(show(frame + 1));
    }
    BenchRegistry::print(QStringLiteral("hover.preview.1080p"), BenchRegistry::median(far),
                         QStringLiteral("ms"),
                         QStringLiteral("request to picture at a random frame, 256 px, key frame every 2 s; "
                                        "20 samples"));
    BenchRegistry::print(QStringLiteral("hover.preview.1080p.neighbour"), BenchRegistry::median(near),
                         QStringLiteral("ms"),
                         QStringLiteral("the frame after the one previewed; 20 samples"));
}

// The pointer sweeping over the time slider of a real strip for four seconds, one move per screen
// refresh, while a probe timer measures how long the main thread is held at a time.
void hoverStall(const QString &path)
{
    ExportRuns runs;
    AppState state(&runs, PlayerOutput::Headless);
    TimelineControlsView view(state.playback(), state.document());
    view.resize(1200, 90);
    view.show();
    state.loadVideo(QUrl::fromLocalFile(path));
    if (!waitForEvents([&] {
            return state.playback()->player()->frameIndex() && !state.playback()->player()->isSeeking();
        }))
        qFatal("the video does not open");
    TimeSlider *slider = view.slider();

    QElapsedTimer clock;
    clock.start();
    MainThreadStallProbe probe;
    int shown = 0;
    QImage last;
    QTimer mover;
    mover.setInterval(16);
    const qint64 sweepMs = 4000;
    QEventLoop loop;
    QObject::connect(&mover, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (now >= sweepMs) {
            loop.quit();
            return;
        }
        const QPoint at(int(slider->width() * double(now) / sweepMs), slider->height() / 2);
        QMouseEvent move(QEvent::MouseMove, at, slider->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(slider, &move);
        const QImage picture = view.framePreview()->picture();
        if (picture.cacheKey() != last.cacheKey()) {
            last = picture;
            ++shown;
        }
    });
    probe.start();
    mover.start();
    loop.exec();
    BenchRegistry::print(
        QStringLiteral("hover.mainstall"), double(probe.longestStall()), QStringLiteral("ms"),
        QStringLiteral("longest lateness of a 5 ms main-thread timer while the pointer sweeps "
                       "the slider for 4 s (a maximum); %1 previews shown")
            .arg(shown));
}

void run(const QStringList &prefixes)
{
    const bool scan = BenchRegistry::wanted(prefixes, QStringLiteral("shots.scan.1080p"));
    const bool hover = BenchRegistry::wanted(prefixes, QStringLiteral("hover.preview.1080p"));
    const bool stall = BenchRegistry::wanted(prefixes, QStringLiteral("hover.mainstall"));
    if (!scan && !hover && !stall)
        return;
    // The same 25 s of 1920×1080 H.264 as the still grabbing figures.
    const QString path =
        TestMedia::patternVideo(QStringLiteral("bench-1080p.mp4"), QSize(1920, 1080), 25, 60);
    Result<FrameIndex> built = FrameIndex::build(path);
    if (!built.ok())
        qFatal("no frame index");
    const auto index = std::make_shared<const FrameIndex>(std::move(built).value());
    if (scan)
        scanShots(path, index);
    if (hover)
        hoverPreviews(path, index);
    if (stall)
        hoverStall(path);
}

} // namespace

QUINTAREL_BENCH(NavigationBench,
                (QStringList{QStringLiteral("shots.scan.1080p"), QStringLiteral("hover.preview.1080p"),
                             QStringLiteral("hover.mainstall")}),
                run)
