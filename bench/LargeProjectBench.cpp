// Large projects as the window shows them: opening one whose video and cached liftings are there, and
// the memory that each of many captures keeps.
#include "BenchRegistry.h"
#include "EventLoopWait.h"
#include "LargeProject.h"
#include "MainThreadStallProbe.h"
#include "TestMedia.h"
#include "TestVideo.h"

#include "services/LiftedFrameCache.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageStore.h"
#include "views/CapturedFramesListView.h"
#include "views/CapturedFramesModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUuid>

#include <algorithm>

namespace {

constexpr int videoFrames = 300;
constexpr int groupCount = 10;
constexpr int framesPerGroup = 1000;
// Opening is followed this long at most, after the visible thumbnails are there.
constexpr int settleMs = 60 * 1000;

// The frames of the rows the list shows now.
QList<QUuid> visibleFrames(const CapturedFramesListView &list)
{
    QList<QUuid> frames;
    QTreeView *tree = list.tree();
    const QRect viewport = tree->viewport()->rect();
    for (QModelIndex index = tree->indexAt(viewport.topLeft() + QPoint(1, 1)); index.isValid();
         index = tree->indexBelow(index)) {
        if (tree->visualRect(index).top() > viewport.bottom())
            break;
        const QUuid id = list.model()->frameId(index);
        if (!id.isNull())
            frames << id;
    }
    return frames;
}

bool thumbnailsThere(const AppState &state, const QList<QUuid> &frames)
{
    return !frames.isEmpty() && std::all_of(frames.cbegin(), frames.cend(), [&](const QUuid &id) {
        return state.images()->images(id).hasThumbnail();
    });
}

// The video and liftings of the 10,000-frame project, and the project at `project` unless it is
// empty, made in a process of their own; the cache is the one XDG_CACHE_HOME names.
void prepare(const QString &figure, const QString &video, const QString &project)
{
    if (!LargeProject::prepareInOwnProcess({figure}, video, {videoFrames, groupCount, framesPerGroup},
                                           LiftedFrameCache::standardFolder(), project))
        qFatal("the lifted frames were not prepared");
}

// The peak counts from here on.
void resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1)
        qFatal("the peak resident size cannot be reset");
}

void openLargeProjectBench(const QStringList &)
{
    if (LargeProject::preparedHere())
        return;
    const QString video =
        TestMedia::shapesVideo(QStringLiteral("bench-open-10k-1080p"), QSize(1920, 1080), videoFrames, 4);
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    QTemporaryDir folder;
    const QString project = folder.filePath(QStringLiteral("large.quintarel"));
    prepare(QStringLiteral("project.open.10k.video"), video, project);
    ExportRuns runs;
    // Making the test video took far more than opening does.
    resetPeak();
    const double baseMiB = BenchRegistry::statusMiB("VmRSS");

    AppState state(&runs, PlayerOutput::Headless);
    CapturedFramesListView list(state.document(), state.images());
    list.resize(360, 900);
    list.show();
    QCoreApplication::processEvents();

    MainThreadStallProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    state.openProject(QUrl::fromLocalFile(project));
    const double openCallMs = clock.nsecsElapsed() / 1e6;
    if (!waitForEvents(
            [&] { return list.model()->rowCount() == groupCount && !visibleFrames(list).isEmpty(); },
            600 * 1000))
        qFatal("the list was not shown");
    const double listMs = clock.nsecsElapsed() / 1e6;
    const double listPeakMiB = BenchRegistry::statusMiB("VmHWM");
    if (!waitForEvents([&] { return thumbnailsThere(state, visibleFrames(list)); }, 600 * 1000))
        qFatal("the visible thumbnails were not shown");
    const double thumbnailsMs = clock.nsecsElapsed() / 1e6;
    const double thumbnailsPeakMiB = BenchRegistry::statusMiB("VmHWM");
    const qint64 stallToThumbnails = probe.longestStall();
    // Looked at every 50 ms, so that looking takes no part of the main thread worth measuring.
    QElapsedTimer lastLook;
    lastLook.start();
    const bool settled = waitForEvents(
        [&] {
            if (lastLook.elapsed() < 50)
                return false;
            lastLook.restart();
            return !state.images()->hasPendingFrames();
        },
        settleMs);
    const double settledMs = clock.nsecsElapsed() / 1e6;
    const double settledMiB = BenchRegistry::statusMiB("VmRSS");
    probe.stop();
    const double peakMiB = BenchRegistry::statusMiB("VmHWM");

    const QString detail =
        QStringLiteral("%1 frames in %2 groups, video 1920×1080 of %3 frames, every lifting "
                       "cached; resident before opening %4 MiB; one run")
            .arg(groupCount * framesPerGroup)
            .arg(groupCount)
            .arg(videoFrames)
            .arg(baseMiB, 0, 'f', 0);
    BenchRegistry::print(QStringLiteral("project.open.10k.video"), listMs, QStringLiteral("ms"),
                         QStringLiteral("open → list shown; ") + detail);
    BenchRegistry::print(
        QStringLiteral("project.open.10k.video.thumbnails"), thumbnailsMs, QStringLiteral("ms"),
        QStringLiteral("open → thumbnails of the visible rows shown (stall until then %1 ms)")
            .arg(stallToThumbnails));
    BenchRegistry::print(QStringLiteral("project.open.10k.video.peak"), peakMiB, QStringLiteral("MiB"),
                         QStringLiteral("peak resident memory of the process until every frame was made or "
                                        "%1 s passed (%2 after %3 ms); peak %4 MiB when the list showed, "
                                        "%5 MiB when its thumbnails did; resident at the end %6 MiB")
                             .arg(settleMs / 1000)
                             .arg(settled ? QStringLiteral("all made") : QStringLiteral("not all made"))
                             .arg(settledMs, 0, 'f', 0)
                             .arg(listPeakMiB, 0, 'f', 0)
                             .arg(thumbnailsPeakMiB, 0, 'f', 0)
                             .arg(settledMiB, 0, 'f', 0));
    BenchRegistry::print(
        QStringLiteral("project.open.10k.video.stall"), double(probe.longestStall()), QStringLiteral("ms"),
        QStringLiteral("longest main-thread stall from opening until then (the call that opens "
                       "held it %1 ms)")
            .arg(openCallMs, 0, 'f', 0));
}

// Resident memory that each capture keeps, over 2,000 captures of a 1080p video shown in the list.
// Each capture's lifting comes from the disk cache, which holds for every frame of the video the
// record of one real lifting of one of its frames: each capture gets a mask and small pictures of
// the real size, as a lifting leaves them once kept on the disk, without seconds of model time
// each. The full-size pictures of freshly lifted frames are not made: the store's budget bounds
// them apart (part of the fixed base).
void captureMemoryBench(const QStringList &)
{
    if (LargeProject::preparedHere())
        return;
    constexpr int captures = 2000;
    constexpr int warmUp = 100;
    constexpr int batch = 50;
    const QString video =
        TestMedia::shapesVideo(QStringLiteral("bench-open-10k-1080p"), QSize(1920, 1080), videoFrames, 4);
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    prepare(QStringLiteral("capture.rss.2000"), video, QString());

    ExportRuns runs;
    AppState state(&runs, PlayerOutput::Headless);
    CapturedFramesListView list(state.document(), state.images());
    list.resize(360, 900);
    list.show();
    if (!TestVideo::open(state, video))
        qFatal("the video does not open");
    int captured = 0;
    const auto capture = [&](int count) {
        for (int done = 0; done < count;) {
            for (int i = 0; i < batch && done < count; ++i, ++done, ++captured)
                state.document()->captureFrame(MediaTime(captured % videoFrames, 30));
            if (!waitForEvents([&] { return !state.images()->hasPendingFrames(); }, 600 * 1000))
                qFatal("captures were not made");
        }
        // The list has followed the last capture and shown it.
        waitForEvents([] { return false; }, 200);
    };
    capture(warmUp);
    const double baseMiB = BenchRegistry::statusMiB("VmRSS");
    QElapsedTimer clock;
    clock.start();
    capture(captures);
    const double afterMiB = BenchRegistry::statusMiB("VmRSS");
    const double perCaptureKiB = (afterMiB - baseMiB) * 1024.0 / captures;
    BenchRegistry::print(QStringLiteral("capture.rss.2000"), perCaptureKiB, QStringLiteral("KiB"),
                         QStringLiteral("resident growth per capture over %1 captures of a 1920×1080 video "
                                        "after %2 (resident %3 → %4 MiB; %5 small pictures and %6 masks "
                                        "held; %7 ms); liftings from the disk cache; one run")
                             .arg(captures)
                             .arg(warmUp)
                             .arg(baseMiB, 0, 'f', 0)
                             .arg(afterMiB, 0, 'f', 0)
                             .arg(state.images()->heldThumbnailCount())
                             .arg(state.images()->heldMaskCount())
                             .arg(clock.elapsed()));
}

} // namespace

QUINTAREL_BENCH(CaptureMemory, (QStringList{QStringLiteral("capture.rss.2000")}), captureMemoryBench)
QUINTAREL_BENCH(LargeProjectOpen, (QStringList{QStringLiteral("project.open.10k.video")}),
                openLargeProjectBench)
