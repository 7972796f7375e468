#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "services/SubjectExtractionService.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every file under `folder`, by its path inside it, with its bytes.
QMap<QString, QByteArray> filesUnder(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(path), file.readAll());
    }
    return files;
}

// Exports the window's captures into `folder` with a crop, an outline and a style, and waits for
// the end of the run.
bool exportInto(AppState &state, const QString &folder, ExportMode mode)
{
    CaptureDocument *document = state.document();
    document->setOutputFolder(QUrl::fromLocalFile(folder));
    document->setCropToSubject(true);
    document->setSelectedFilter(FilterStyle::Comic);
    EdgeOptions options;
    options.outline = true;
    options.outlineWidth = 6;
    options.feather = 2;
    document->setEdgeOptions(options);
    state.runExport(mode);
    ExportRun *run = state.exportRun();
    // Lifting takes seconds per frame, many more on a loaded machine.
    return run && QTest::qWaitFor([&] { return !run->isRunning(); }, 900000) && run->failures().isEmpty();
}

quint64 lifts(const AppState &state)
{
    return state.imageMaker()->subjectExtractor()->liftCount();
}

} // namespace

// An export cuts the frames already lifted from their kept masks instead of lifting them again, and
// writes exactly the files an export that lifts them again writes. Frames not lifted yet are lifted
// by the export, and their liftings are kept for the window.
class KeptMaskExportTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;

private slots:
    void exportsFromKeptMasksMatchExportsThatLiftAgain()
    {
        const QString video = TestMedia::shapesVideo(QStringLiteral("kept-masks"), QSize(960, 540), 30, 6);
        const QList<QList<int>> frames{{4, 21}};

        // The captures were lifted as they were taken.
        AppState lifted(&m_runs, PlayerOutput::Headless);
        lifted.imageMaker()->setCache(nullptr);
        QVERIFY(TestVideo::open(lifted, video));
        TestCaptures::addFrames(lifted, frames);
        QVERIFY(TestCaptures::waitUntilMade(lifted, 600000));
        QCOMPARE(lifts(lifted), 2u);
        for (const CapturedFrame &frame : lifted.document()->allFrames())
            QVERIFY(lifted.images()->images(frame.id).isLifted());
        // One still let go, as under memory pressure: the run grabs it again.
        lifted.images()->setMemoryBudget(lifted.images()->memoryUsed() / 2);

        QTemporaryDir fromMasks;
        QVERIFY(exportInto(lifted, fromMasks.filePath(QStringLiteral("merged")), ExportMode::Merged));
        QVERIFY(exportInto(lifted, fromMasks.filePath(QStringLiteral("subjects")), ExportMode::PerSubject));
        QCOMPARE(lifts(lifted), 2u);

        // The same captures never lifted: the export lifts them.
        AppState fresh(&m_runs, PlayerOutput::Headless);
        fresh.imageMaker()->setCache(nullptr);
        QVERIFY(TestVideo::open(fresh, video));
        TestCaptures::addFramesWithoutPictures(fresh, frames);
        QTemporaryDir liftingAgain;
        QVERIFY(exportInto(fresh, liftingAgain.filePath(QStringLiteral("merged")), ExportMode::Merged));
        QCOMPARE(lifts(fresh), 2u);
        // What the export lifted is now the window's: the next export lifts nothing more.
        QTRY_VERIFY_WITH_TIMEOUT(TestCaptures::waitUntilMade(fresh, 0), 60000);
        for (const CapturedFrame &frame : fresh.document()->allFrames())
            QVERIFY(fresh.images()->images(frame.id).isLifted());
        QVERIFY(exportInto(fresh, liftingAgain.filePath(QStringLiteral("subjects")), ExportMode::PerSubject));
        QCOMPARE(lifts(fresh), 2u);

        const QMap<QString, QByteArray> expected = filesUnder(liftingAgain.path());
        const QMap<QString, QByteArray> written = filesUnder(fromMasks.path());
        // Two frames merged, two subjects each apart.
        QCOMPARE(expected.keys().filter(QStringLiteral(".png")).size(), 6);
        QCOMPARE(written.keys(), expected.keys());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QVERIFY2(written.value(it.key()) == it.value(), qPrintable(it.key()));
    }
};

QUINTAREL_TEST(KeptMaskExportTest)
#include "KeptMaskExportTest.moc"
