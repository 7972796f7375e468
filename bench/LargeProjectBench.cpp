// Opening a large project whose video and cached liftings are there, as the window shows it.
#include "BenchRegistry.h"
#include "EventLoopWait.h"
#include "MainThreadStallProbe.h"
#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestVideo.h"

#include "services/LiftedFrame.h"
#include "services/LiftedFrameCache.h"
#include "services/SubjectExtractionService.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"
#include "views/CapturedFramesListView.h"
#include "views/CapturedFramesModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QProcess>
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
// Set in the process that prepares the project: where to save it, and the video it captures.
constexpr char setupVariable[] = "QUINTAREL_BENCH_LARGE_PROJECT";
constexpr char videoVariable[] = "QUINTAREL_BENCH_LARGE_PROJECT_VIDEO";

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

// Lifts one frame of `video` for real and stores that record in the cache under the key of each of
// the video's frames, as after an earlier session that lifted them all; then saves `project` with
// 10 groups of 1,000 frames of that video. Runs in a process of its own: the model it loads is not
// part of what opening costs.
void prepareLargeProject(const QString &video, const QString &project)
{
    ExportRuns runs;
    AppState state(&runs, PlayerOutput::Headless);
    if (!TestVideo::open(state, video))
        qFatal("the video does not open");
    const QUuid first = state.document()->captureFrame(MediaTime(0, 30));
    if (!TestCaptures::waitUntilMade(state, 600 * 1000))
        qFatal("the first capture was not lifted");
    const FrameImages images = state.images()->images(first);
    LiftedFrame lifted;
    lifted.hasSubject = images.isLifted() && !images.subjectThumbnail.isNull();
    lifted.frameSize = QSize(1920, 1080);
    lifted.mask = images.mask;
    lifted.thumbnail = images.thumbnail;
    lifted.subjectThumbnail = images.subjectThumbnail;
    const std::shared_ptr<LiftedFrameCache> frames = state.imageMaker()->cache();
    const QString model = state.imageMaker()->subjectExtractor()->modelPath();
    for (int f = 0; f < videoFrames; ++f) {
        if (const std::optional<QString> problem =
                frames->store(frames->key(video, MediaTime(f, 30), model), lifted))
            qFatal("the cache was not filled: %s", qPrintable(*problem));
    }
    state.document()->deleteFrame(first);
    QList<QList<int>> times;
    for (int g = 0; g < groupCount; ++g) {
        QList<int> group;
        for (int f = 0; f < framesPerGroup; ++f)
            group << (g * framesPerGroup + f) % videoFrames;
        times << group;
    }
    TestCaptures::addFramesWithoutPictures(state, times);
    state.saveProject(QUrl::fromLocalFile(project));
    if (state.errorMessage())
        qFatal("the project was not saved: %s", qPrintable(*state.errorMessage()));
}

void openLargeProjectBench(const QStringList &)
{
    if (const QByteArray project = qgetenv(setupVariable); !project.isEmpty()) {
        prepareLargeProject(QString::fromLocal8Bit(qgetenv(videoVariable)), QString::fromLocal8Bit(project));
        return;
    }
    const QString video =
        TestMedia::shapesVideo(QStringLiteral("bench-open-10k-1080p"), QSize(1920, 1080), videoFrames, 4);
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    QTemporaryDir folder;
    const QString project = folder.filePath(QStringLiteral("large.quintarel"));
    {
        QProcess setup;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(setupVariable), project);
        environment.insert(QString::fromLatin1(videoVariable), video);
        setup.setProcessEnvironment(environment);
        setup.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        setup.start(QCoreApplication::applicationFilePath(), {QStringLiteral("project.open.10k.video")});
        if (!setup.waitForFinished(900 * 1000) || setup.exitStatus() != QProcess::NormalExit ||
            setup.exitCode() != 0 || !QFileInfo::exists(project))
            qFatal("the large project was not prepared");
    }
    ExportRuns runs;
    // The peak counts from here: making the test video took far more than opening does.
    {
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
        if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1)
            qFatal("the peak resident size cannot be reset");
    }
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
        QStringLiteral("longest main-thread stall from opening until then (reading the project file "
                       "held it %1 ms)")
            .arg(openCallMs, 0, 'f', 0));
}

} // namespace

QUINTAREL_BENCH(LargeProjectOpen, (QStringList{QStringLiteral("project.open.10k.video")}),
                openLargeProjectBench)
