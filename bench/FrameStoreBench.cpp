// What the frames' pictures cost once made: reopening a project of lifted frames, and the memory
// each lifted capture keeps.
#include "BenchRegistry.h"
#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestProjects.h"
#include "TestVideo.h"

#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageStore.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>

namespace {

constexpr int reopenFrames = 100;
constexpr int reopenRuns = 3;
constexpr int rssCaptures = 200;

// Captures the frames at the given times (in 1/30 s) as the user would, one after another.
void capture(AppState &state, int count)
{
    for (int i = 0; i < count; ++i)
        state.document()->captureFrame(MediaTime(i, 30));
}

void reopenBench(const QStringList &)
{
    // The cache of the user's session stays out of it.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    const QString video =
        TestMedia::shapesVideo(QStringLiteral("bench-reopen-1080p"), QSize(1920, 1080), reopenFrames, 4);
    QTemporaryDir folder;
    const QString project = folder.filePath(QStringLiteral("reopen.quintarel"));
    ExportRuns runs;
    {
        AppState state(&runs, PlayerOutput::Headless);
        if (!TestVideo::open(state, video))
            qFatal("the video does not open");
        capture(state, reopenFrames);
        if (!TestCaptures::waitUntilMade(state, 3600 * 1000))
            qFatal("the captures were not lifted within an hour");
        state.saveProject(QUrl::fromLocalFile(project));
        if (state.errorMessage())
            qFatal("the project was not saved: %s", qPrintable(*state.errorMessage()));
    }

    std::vector<double> times;
    for (int run = 0; run < reopenRuns; ++run) {
        AppState state(&runs, PlayerOutput::Headless);
        QElapsedTimer clock;
        clock.start();
        if (!TestProjects::open(state, QUrl::fromLocalFile(project)))
            qFatal("the project did not open");
        if (!TestCaptures::waitUntilMade(state, 3600 * 1000))
            qFatal("the reopened project was not shown within an hour");
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    BenchRegistry::print(QStringLiteral("project.reopen.100"), BenchRegistry::median(times),
                         QStringLiteral("ms"),
                         QStringLiteral("%1 frames 1920×1080, two subjects each; open → every thumbnail and "
                                        "cut-out there; median of %2 openings after the first")
                             .arg(reopenFrames)
                             .arg(reopenRuns));
}

void captureMemoryBench(const QStringList &)
{
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    const QString video =
        TestMedia::shapesVideo(QStringLiteral("bench-rss-1080p"), QSize(1920, 1080), rssCaptures, 4);
    ExportRuns runs;
    AppState state(&runs, PlayerOutput::Headless);
    if (!TestVideo::open(state, video))
        qFatal("the video does not open");
    // One capture first, so that the model and the decoder are loaded before counting.
    state.document()->captureFrame(MediaTime(rssCaptures - 1, 30));
    if (!TestCaptures::waitUntilMade(state, 600 * 1000))
        qFatal("the first capture was not lifted");
    malloc_trim(0);
    const double before = BenchRegistry::statusMiB("VmRSS");

    QElapsedTimer clock;
    clock.start();
    capture(state, rssCaptures - 1);
    if (!TestCaptures::waitUntilMade(state, 7200 * 1000))
        qFatal("the captures were not lifted within two hours");
    malloc_trim(0);
    const double after = BenchRegistry::statusMiB("VmRSS");
    // What the store holds: full-size pictures under its budget, and per frame a mask and thumbnails.
    qint64 kept = 0;
    for (const CapturedFrame &frame : state.document()->allFrames()) {
        const FrameImages images = state.images()->images(frame.id);
        kept += images.mask.size() + images.thumbnail.sizeInBytes() + images.subjectThumbnail.sizeInBytes();
    }
    const qsizetype frames = state.document()->frameCount();
    BenchRegistry::print(QStringLiteral("capture.rss.1080p"), (after - before) / (rssCaptures - 1),
                         QStringLiteral("MiB"),
                         QStringLiteral("resident memory added per capture over %1 lifted 1920×1080 "
                                        "captures (%2 → %3 MiB, %4 s); full-size pictures held %5 MiB; "
                                        "mask and thumbnails %6 KiB per frame; one figure, not a median")
                             .arg(rssCaptures - 1)
                             .arg(before, 0, 'f', 0)
                             .arg(after, 0, 'f', 0)
                             .arg(clock.elapsed() / 1000)
                             .arg(state.images()->memoryUsed() / 1048576.0, 0, 'f', 0)
                             .arg(frames ? kept / frames / 1024 : 0));
}

} // namespace

QUINTAREL_BENCH(FrameStoreReopen, (QStringList{QStringLiteral("project.reopen.100")}), reopenBench)
QUINTAREL_BENCH(FrameStoreMemory, (QStringList{QStringLiteral("capture.rss.1080p")}), captureMemoryBench)
