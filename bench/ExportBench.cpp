// Export throughput and main-thread responsiveness during an export run.
#include "BenchRegistry.h"
#include "MainThreadStallProbe.h"
#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestVideo.h"

#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace {

void exportBench(const QStringList &)
{
    const QString video =
        TestMedia::shapesVideo(QStringLiteral("bench-export-1080p"), QSize(1920, 1080), 60, 4);
    QTemporaryDir output;
    ExportRuns runs;
    AppState state(&runs, PlayerOutput::Headless);
    if (!TestVideo::open(state, video))
        qFatal("the video does not open");
    CaptureDocument *document = state.document();
    // The frames are captured and lifted first, as the user's are by the time they export.
    TestCaptures::addFrames(state, {{0, 5, 10, 15, 20, 25, 30, 35, 40, 45}});
    if (!TestCaptures::waitUntilMade(state, 1800 * 1000))
        qFatal("the captures were not lifted within half an hour");
    document->setOutputFolder(QUrl::fromLocalFile(output.path()));
    document->setCropToSubject(true);
    document->setSelectedFilter(FilterStyle::Comic);
    EdgeOptions options;
    options.outline = true;
    options.outlineWidth = 6;
    document->setEdgeOptions(options);

    QElapsedTimer clock;
    clock.start();
    MainThreadStallProbe probe;

    std::vector<double> frameTimes;
    qint64 lastFrameEnd = 0;
    int lastCompleted = 0;
    QEventLoop loop;
    QObject::connect(&runs, &ExportRuns::runStarted, [&](ExportRun *run) {
        QObject::connect(run, &ExportRun::progressChanged, [&, run] {
            if (run->progress().completed == lastCompleted)
                return;
            lastCompleted = run->progress().completed;
            const qint64 now = clock.elapsed();
            frameTimes.push_back(double(now - lastFrameEnd));
            lastFrameEnd = now;
        });
        QObject::connect(run, &ExportRun::finished, &loop, &QEventLoop::quit);
    });

    probe.start();
    lastFrameEnd = clock.elapsed();
    state.runExport(ExportMode::Merged);
    loop.exec();
    probe.stop();

    const QString detail =
        QStringLiteral("%1 frames lifted before, merged, crop, outline 6, comic; %2 failures; first frame "
                       "%3 ms")
            .arg(frameTimes.size())
            .arg(state.exportRun()->failures().size())
            .arg(frameTimes.empty() ? 0.0 : frameTimes.front());
    if (frameTimes.size() > 1)
        frameTimes.erase(frameTimes.begin());
    BenchRegistry::print(QStringLiteral("export.frame.1080p"), BenchRegistry::median(frameTimes),
                         QStringLiteral("ms"), detail);
    BenchRegistry::print(
        QStringLiteral("export.mainstall"), double(probe.longestStall()), QStringLiteral("ms"),
        QStringLiteral(
            "longest lateness of a 5 ms main-thread timer during the run (a maximum, not a median)"));
}

} // namespace

QUINTAREL_BENCH(ExportBench,
                (QStringList{QStringLiteral("export.frame.1080p"), QStringLiteral("export.mainstall")}),
                exportBench)
