// Export throughput and main-thread responsiveness during an export run.
#include "BenchRegistry.h"
#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestVideo.h"

#include "state/AppState.h"

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
    AppState state(PlayerOutput::Headless);
    if (!TestVideo::open(state, video))
        qFatal("the video does not open");
    TestCaptures::addFrames(state, {{0, 5, 10, 15, 20, 25, 30, 35, 40, 45}});
    state.setOutputFolder(QUrl::fromLocalFile(output.path()));
    state.setCropToSubject(true);
    state.setSelectedFilter(FilterStyle::Comic);
    EdgeOptions options;
    options.outline = true;
    options.outlineWidth = 6;
    state.setEdgeOptions(options);

    // A probe that should fire every 5 ms: how late it comes is how long the main thread was held.
    QElapsedTimer clock;
    clock.start();
    qint64 lastProbe = clock.elapsed();
    qint64 longestStall = 0;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastProbe - 5);
        lastProbe = now;
    });

    std::vector<double> frameTimes;
    qint64 lastFrameEnd = 0;
    int lastCompleted = 0;
    QObject::connect(&state, &AppState::progressChanged, [&] {
        if (state.progress().completed == lastCompleted)
            return;
        lastCompleted = state.progress().completed;
        const qint64 now = clock.elapsed();
        frameTimes.push_back(double(now - lastFrameEnd));
        lastFrameEnd = now;
    });

    QEventLoop loop;
    QObject::connect(&state, &AppState::exportFinishedFolderChanged, &loop, &QEventLoop::quit);
    probe.start();
    lastFrameEnd = clock.elapsed();
    lastProbe = lastFrameEnd;
    state.runExport(ExportMode::Merged);
    loop.exec();
    probe.stop();

    // The first frame also loads the segmentation model.
    const QString detail =
        QStringLiteral("%1 frames, merged, crop, outline 6, comic; %2 failures; first frame %3 ms")
            .arg(frameTimes.size())
            .arg(state.failures().size())
            .arg(frameTimes.empty() ? 0.0 : frameTimes.front());
    if (frameTimes.size() > 1)
        frameTimes.erase(frameTimes.begin());
    BenchRegistry::print(QStringLiteral("export.frame.1080p"), BenchRegistry::median(frameTimes),
                         QStringLiteral("ms"), detail);
    BenchRegistry::print(
        QStringLiteral("export.mainstall"), double(longestStall), QStringLiteral("ms"),
        QStringLiteral(
            "longest lateness of a 5 ms main-thread timer during the run (a maximum, not a median)"));
}

} // namespace

QUINTAREL_BENCH(ExportBench,
                (QStringList{QStringLiteral("export.frame.1080p"), QStringLiteral("export.mainstall")}),
                exportBench)
