#include "LargeProject.h"

#include "TestCaptures.h"
#include "TestVideo.h"

#include "services/LiftedFrame.h"
#include "services/LiftedFrameCache.h"
#include "services/SubjectExtractionService.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <cstdio>
#include <memory>

namespace {

// What the process that prepares is told.
constexpr char projectVariable[] = "QUINTAREL_LARGE_PROJECT";
constexpr char videoVariable[] = "QUINTAREL_LARGE_PROJECT_VIDEO";
constexpr char shapeVariable[] = "QUINTAREL_LARGE_PROJECT_SHAPE";
constexpr char cacheVariable[] = "QUINTAREL_LARGE_PROJECT_CACHE";
// Stands for no project at all.
constexpr char noProject[] = "-";

bool fail(const char *what)
{
    std::fprintf(stderr, "large project: %s\n", what);
    return false;
}

bool prepare(const QString &video, const LargeProject::Shape &shape, const QString &cacheFolder,
             const QString &project)
{
    ExportRuns runs;
    AppState state(&runs, PlayerOutput::Headless);
    const auto cache = std::make_shared<LiftedFrameCache>(cacheFolder);
    state.imageMaker()->setCache(cache);
    if (!TestVideo::open(state, video))
        return fail("the video does not open");
    const QUuid first = state.document()->captureFrame(MediaTime(0, 30));
    if (!TestCaptures::waitUntilMade(state, 600 * 1000))
        return fail("the first capture was not lifted");
    const FrameImages images = state.images()->images(first);
    LiftedFrame lifted;
    lifted.hasSubject = images.isLifted() && !images.subjectThumbnail.isNull();
    if (images.still.isNull())
        return fail("the first capture has no still");
    lifted.frameSize = images.still.size();
    lifted.mask = images.mask;
    lifted.thumbnail = images.thumbnail;
    lifted.subjectThumbnail = images.subjectThumbnail;
    const QString model = state.imageMaker()->subjectExtractor()->modelPath();
    for (int f = 0; f < shape.videoFrames; ++f) {
        if (cache->store(cache->key(video, MediaTime(f, 30), model), lifted))
            return fail("the cache was not filled");
    }
    state.document()->deleteFrame(first);
    if (project == QLatin1String(noProject))
        return true;
    QList<QList<int>> times;
    for (int g = 0; g < shape.groups; ++g) {
        QList<int> group;
        group.reserve(shape.framesPerGroup);
        for (int f = 0; f < shape.framesPerGroup; ++f)
            group << (g * shape.framesPerGroup + f) % shape.videoFrames;
        times << group;
    }
    TestCaptures::addFramesWithoutPictures(state, times);
    state.saveProject(QUrl::fromLocalFile(project));
    if (state.errorMessage())
        return fail("the project was not saved");
    return true;
}

} // namespace

bool LargeProject::preparedHere()
{
    const QByteArray project = qgetenv(projectVariable);
    if (project.isEmpty())
        return false;
    const QList<QByteArray> numbers = qgetenv(shapeVariable).split(',');
    const Shape shape{numbers.value(0).toInt(), numbers.value(1).toInt(), numbers.value(2).toInt()};
    if (!prepare(QString::fromLocal8Bit(qgetenv(videoVariable)), shape,
                 QString::fromLocal8Bit(qgetenv(cacheVariable)), QString::fromLocal8Bit(project)))
        qFatal("the large project was not prepared");
    return true;
}

bool LargeProject::prepareInOwnProcess(const QStringList &arguments, const QString &video, const Shape &shape,
                                       const QString &cacheFolder, const QString &project)
{
    QProcess setup;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(projectVariable),
                       project.isEmpty() ? QString::fromLatin1(noProject) : project);
    environment.insert(QString::fromLatin1(videoVariable), video);
    environment.insert(
        QString::fromLatin1(shapeVariable),
        QStringLiteral("%1,%2,%3").arg(shape.videoFrames).arg(shape.groups).arg(shape.framesPerGroup));
    environment.insert(QString::fromLatin1(cacheVariable), cacheFolder);
    setup.setProcessEnvironment(environment);
    setup.setProcessChannelMode(QProcess::ForwardedChannels);
    setup.start(QCoreApplication::applicationFilePath(), arguments);
    return setup.waitForFinished(900 * 1000) && setup.exitStatus() == QProcess::NormalExit &&
           setup.exitCode() == 0 && (project.isEmpty() || QFileInfo::exists(project));
}
