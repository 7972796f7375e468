#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestProjects.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "platform/SubjectSegmenter.h"
#include "services/CutoutCorrector.h"
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
#include <QUndoStack>

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

// Exports the window's captures, merged then one file per subject, into `folder` and waits for the
// end of each run; the files written, by path.
std::optional<QMap<QString, QByteArray>> exported(AppState &state, const QString &folder)
{
    CaptureDocument *document = state.document();
    for (const ExportMode mode : {ExportMode::Merged, ExportMode::PerSubject}) {
        const QString modeFolder = folder + (mode == ExportMode::Merged ? "/merged" : "/subjects");
        document->setOutputFolder(QUrl::fromLocalFile(modeFolder));
        state.runExport(mode);
        ExportRun *run = state.exportRun();
        if (!run || !QTest::qWaitFor([&] { return !run->isRunning(); }, 900000) || !run->failures().isEmpty())
            return std::nullopt;
    }
    return filesUnder(folder);
}

// Waits until the cut-out of every frame shows the frame's corrections.
bool waitUntilCorrected(AppState &state)
{
    return QTest::qWaitFor(
        [&] {
            for (const CapturedFrame &frame : state.document()->allFrames()) {
                if (state.images()->images(frame.id).corrections != frame.corrections)
                    return false;
            }
            return true;
        },
        120000);
}

// The middle of the frame's subject `instance`, normalised, from the window's lifting of it.
QPointF middleOf(const AppState &state, const QUuid &frameId, int instance)
{
    const FrameImages images = state.images()->images(frameId);
    const Result<SubjectMask> mask = SubjectMask::decoded(images.mask, images.still);
    if (!mask || mask.value().instanceCount() <= instance)
        return {};
    return CutoutCorrector::normalisedOf(QPointF(mask.value().instanceBounds(instance).center()),
                                         mask.value().frameSize());
}

int pngCount(const QMap<QString, QByteArray> &files)
{
    return int(files.keys().filter(QStringLiteral(".png")).size());
}

} // namespace

// The corrections of a frame's cut-out reach its export, merged and per subject alike, whether the
// window applied them or the run does; undoing them gives back the export of the lifting itself,
// byte for byte, and so does a project saved with them and opened again.
class CorrectedExportTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;
    QTemporaryDir m_folder;

private slots:
    void droppedSubjectLeavesTheExportAndUndoBringsItBack()
    {
        const QString video = m_folder.filePath(QStringLiteral("shapes.mp4"));
        QVERIFY(
            QFile::copy(TestMedia::shapesVideo(QStringLiteral("corrected"), QSize(960, 540), 30, 6), video));
        AppState state(&m_runs, PlayerOutput::Headless);
        state.imageMaker()->setCache(nullptr);
        QVERIFY(TestVideo::open(state, video));
        TestCaptures::addFrames(state, {{9}});
        QVERIFY(TestCaptures::waitUntilMade(state, 600000));
        const QUuid frameId = state.document()->allFrames().first().id;
        CaptureDocument *document = state.document();
        document->setCropToSubject(true);

        const std::optional<QMap<QString, QByteArray>> lifted = exported(state, m_folder.filePath("lifted"));
        QVERIFY(lifted);
        // Merged, and the ellipse and the square apart.
        QCOMPARE(pngCount(*lifted), 3);

        // The square (the smaller subject) is dropped with a click in its middle.
        const QPointF square = middleOf(state, frameId, 1);
        QVERIFY(!square.isNull());
        const int stepsBefore = document->undoStack()->count();
        document->addCorrection(frameId, CutoutCorrection::dropSubject(square));
        QCOMPARE(document->undoStack()->count(), stepsBefore + 1);
        QCOMPARE(document->undoStack()->undoText(), QStringLiteral("le retrait du sujet"));
        QVERIFY(waitUntilCorrected(state));
        const FrameImages corrected = state.images()->images(frameId);
        QVERIFY(corrected.isLifted());
        QVERIFY(!corrected.correctedMask.isEmpty());
        // The list's picture and the cut-out follow the correction; the lifting stays the model's.
        QVERIFY(corrected.subject.width() == 960 && !corrected.subjectThumbnail.isNull());

        const std::optional<QMap<QString, QByteArray>> dropped =
            exported(state, m_folder.filePath("dropped"));
        QVERIFY(dropped);
        QCOMPARE(pngCount(*dropped), 2);
        QVERIFY(dropped->value(dropped->keys().filter("merged").first()) !=
                lifted->value(lifted->keys().filter("merged").first()));

        // Undone (the export's folder changes were steps of their own): the export is the lifting's
        // again, byte for byte.
        document->undoStack()->setIndex(stepsBefore);
        QVERIFY(document->frame(frameId)->corrections.isEmpty());
        QVERIFY(waitUntilCorrected(state));
        QVERIFY(state.images()->images(frameId).correctedMask.isEmpty());
        const std::optional<QMap<QString, QByteArray>> undone = exported(state, m_folder.filePath("undone"));
        QVERIFY(undone);
        QCOMPARE(*undone, *lifted);

        // Made again and saved: a window that opens the project never lifted the frame, and its
        // export applies the correction itself; it writes what the first window wrote.
        document->addCorrection(frameId, CutoutCorrection::dropSubject(square));
        QVERIFY(waitUntilCorrected(state));
        const QString project = m_folder.filePath(QStringLiteral("corrected.quintarel"));
        state.saveProject(QUrl::fromLocalFile(project));
        QVERIFY(!state.errorMessage());

        AppState reopened(&m_runs, PlayerOutput::Headless);
        reopened.imageMaker()->setCache(nullptr);
        QVERIFY(TestProjects::open(reopened, QUrl::fromLocalFile(project)));
        QVERIFY(QTest::qWaitFor([&] { return !reopened.playback()->videoURL().isEmpty(); }, 30000));
        const QList<CapturedFrame> frames = reopened.document()->allFrames();
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.first().corrections, QList<CutoutCorrection>{CutoutCorrection::dropSubject(square)});
        const std::optional<QMap<QString, QByteArray>> again =
            exported(reopened, m_folder.filePath("reopened"));
        QVERIFY(again);
        QCOMPARE(*again, *dropped);
        // And once it has made its own pictures, they show the correction too.
        QVERIFY(TestCaptures::waitUntilMade(reopened, 600000));
        QVERIFY(waitUntilCorrected(reopened));
        QCOMPARE(reopened.images()->images(frames.first().id).correctedMask, corrected.correctedMask);
    }
};

QUINTAREL_TEST(CorrectedExportTest)
#include "CorrectedExportTest.moc"
