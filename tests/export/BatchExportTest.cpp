#include "TestCaptures.h"
#include "TestImages.h"
#include "TestMedia.h"
#include "TestRegistry.h"

#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QSize frameSize(960, 540);

// 30 frames of two shapes on a gradient, which the segmentation model lifts as two subjects.
QString shapesVideo()
{
    return TestMedia::shapesVideo(QStringLiteral("shapes"), frameSize, 30);
}

// 30 frames of one flat colour: nothing to lift.
QString flatVideo()
{
    TestMedia::VideoOptions options;
    options.name = QStringLiteral("flat");
    options.size = frameSize;
    options.frameCount = 30;
    options.picture = [](int, QSize size) { return TestImages::flat(size, QColor(90, 140, 200)); };
    return TestMedia::video(options);
}

// A window with the video loaded and the given frames, as times in 1/30 s, in its groups.
void prepare(AppState &state, const QString &video, const QList<QList<int>> &framesPerGroup)
{
    state.loadVideo(QUrl::fromLocalFile(video));
    TestCaptures::addFramesWithoutPictures(state, framesPerGroup);
}

// Runs an export to the end and returns the progress counts it reported, from the start.
QList<int> exportAll(AppState &state, ExportMode mode)
{
    state.runExport(mode);
    ExportRun *run = state.exportRun();
    if (!run)
        return {};
    QList<int> counts{run->progress().completed};
    QObject::connect(run, &ExportRun::progressChanged, run, [&counts, run] {
        if (counts.last() != run->progress().completed)
            counts << run->progress().completed;
    });
    if (!QTest::qWaitFor([&] { return !run->isRunning(); }, 120000))
        qWarning("the export did not finish");
    return counts;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class BatchExportTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;

private slots:
    void mergedWithCropWritesOneTrimmedImagePerFrame()
    {
        QTemporaryDir output;
        AppState state(&m_runs, PlayerOutput::Headless);
        prepare(state, shapesVideo(), {{0, 15, 29}});
        state.document()->setOutputFolder(QUrl::fromLocalFile(output.path()));
        state.document()->setCropToSubject(true);
        EdgeOptions options;
        options.outline = true;
        options.outlineWidth = 6;
        options.outlineColor = QColor(0, 200, 0);
        state.document()->setEdgeOptions(options);

        QCOMPARE(exportAll(state, ExportMode::Merged), (QList<int>{0, 1, 2, 3}));
        QVERIFY(state.exportRun()->failures().isEmpty());
        QCOMPARE(state.exportRun()->finishedFolder(), QUrl::fromLocalFile(output.path()));
        // A single group goes straight into the folder; no notes, no Markdown file.
        QCOMPARE(entries(output.path()), (QStringList{"shapes_00-00-00-000.png", "shapes_00-00-00-500.png",
                                                      "shapes_00-00-00-966.png"}));

        QImageReader reader(output.filePath(QStringLiteral("shapes_00-00-00-500.png")));
        const QImage image = reader.read().convertToFormat(QImage::Format_RGBA8888);
        // Trimmed to both subjects with their outline, which the margins of the frame do not need.
        QVERIFY2(image.width() < frameSize.width() && image.height() < frameSize.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
        QVERIFY(image.width() > frameSize.width() / 2);
        // The outline ring is inside the picture: the border rows hold its green, not cut-off subject.
        bool greenOnTopRow = false;
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, 0);
            greenOnTopRow |= pixel.alpha() > 0 && pixel.green() > 150 && pixel.red() < 80;
        }
        QVERIFY(greenOnTopRow);
        QVERIFY(image.colorSpace().isValid());
    }

    void groupsGoToTheirFoldersWithMarkdownPerSubject()
    {
        QTemporaryDir output;
        AppState state(&m_runs, PlayerOutput::Headless);
        prepare(state, shapesVideo(), {{10}, {}});
        CaptureDocument *document = state.document();
        const QUuid group = document->groups()[0].id;
        const QUuid frame = document->groups()[0].frames[0].id;
        document->setGroupName(group, QStringLiteral("Plans/serrés"));
        document->setGroupNotes(group, QStringLiteral("Intro"));
        document->setNote(QStringLiteral("regard\ncaméra "), frame);
        Annotation arrow;
        arrow.start = {0.1, 0.1};
        arrow.end = {0.9, 0.9};
        document->addAnnotation(frame, arrow);
        document->setOutputFolder(QUrl::fromLocalFile(output.path()));

        QCOMPARE(exportAll(state, ExportMode::PerSubject), (QList<int>{0, 1}));
        QVERIFY(state.exportRun()->failures().isEmpty());
        QCOMPARE(entries(output.path()), (QStringList{"Groupe 2", "Plans-serrés"}));
        QCOMPARE(
            entries(output.filePath("Plans-serrés")),
            (QStringList{"Plans-serrés.md", "shapes_00-00-00-333_s1.png", "shapes_00-00-00-333_s2.png"}));
        QCOMPARE(readText(output.filePath("Plans-serrés/Plans-serrés.md")),
                 QStringLiteral("# Plans/serrés\n\nIntro\n\n## Images\n"
                                "- [shapes_00-00-00-333_s1.png](shapes_00-00-00-333_s1.png) — 00:00.333\n"
                                "  > regard caméra\n"
                                "- [shapes_00-00-00-333_s2.png](shapes_00-00-00-333_s2.png) — 00:00.333\n"
                                "  > regard caméra\n"));
        QCOMPARE(readText(output.filePath("Groupe 2/Groupe 2.md")),
                 QStringLiteral("# Groupe 2\n\n## Images\n_Aucune image_\n"));

        // Subjects come larger first, each cut to its own box; annotations are not drawn on them.
        const QImage first(output.filePath("Plans-serrés/shapes_00-00-00-333_s1.png"));
        const QImage second(output.filePath("Plans-serrés/shapes_00-00-00-333_s2.png"));
        QCOMPARE(first.size(), frameSize);
        QVERIFY(first.width() * first.height() >= second.width() * second.height());
    }

    void failuresAreReportedAndTheRunGoesOn()
    {
        QTemporaryDir output;
        AppState state(&m_runs, PlayerOutput::Headless);
        prepare(state, flatVideo(), {{3, 4}});
        state.document()->setOutputFolder(QUrl::fromLocalFile(output.path()));

        QCOMPARE(exportAll(state, ExportMode::Merged), (QList<int>{0, 1, 2}));
        const QList<ExportFailure> failures = state.exportRun()->failures();
        QCOMPARE(failures.size(), 2);
        QCOMPARE(failures[0].timestamp, QStringLiteral("00:00.100"));
        QCOMPARE(failures[0].message, QStringLiteral("Aucun sujet détecté dans cette image."));
        QVERIFY(entries(output.path()).isEmpty());
    }

    void anUnwritableFolderFailsEveryFrame()
    {
        QTemporaryDir scratch;
        QFile blocker(scratch.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        AppState state(&m_runs, PlayerOutput::Headless);
        prepare(state, shapesVideo(), {{1, 2}});
        state.document()->setOutputFolder(QUrl::fromLocalFile(blocker.fileName() + QStringLiteral("/out")));
        QCOMPARE(exportAll(state, ExportMode::Merged), (QList<int>{0, 1, 2}));
        QCOMPARE(state.exportRun()->failures().size(), 2);
        for (const ExportFailure &failure : state.exportRun()->failures())
            QVERIFY2(failure.message.startsWith(QStringLiteral("Échec de l'export : ")),
                     qPrintable(failure.message));
        QVERIFY(!state.exportRun()->finishedFolder().isEmpty());
    }

    void refusesToStartWithoutItsInputs()
    {
        AppState state(&m_runs, PlayerOutput::Headless);
        QSignalSpy started(&m_runs, &ExportRuns::runStarted);
        state.runExport(ExportMode::Merged);
        QCOMPARE(state.errorMessage(), QStringLiteral("Aucune vidéo chargée."));

        prepare(state, shapesVideo(), {{1}});
        state.runExport(ExportMode::Merged);
        QCOMPARE(state.errorMessage(), QStringLiteral("Aucun dossier de sortie sélectionné."));
        QCOMPARE(started.count(), 0);

        // With a folder but no frame nothing happens, silently.
        QTemporaryDir output;
        state.clearErrorMessage();
        state.document()->deleteFrame(state.document()->groups()[0].frames[0].id);
        state.document()->setOutputFolder(QUrl::fromLocalFile(output.path()));
        state.runExport(ExportMode::Merged);
        QVERIFY(!state.errorMessage());
        QCOMPARE(started.count(), 0);
        QVERIFY(!state.exportRun());
    }

    void aSecondExportWhileRunningIsIgnored()
    {
        QTemporaryDir output;
        AppState state(&m_runs, PlayerOutput::Headless);
        prepare(state, flatVideo(), {{1}});
        state.document()->setOutputFolder(QUrl::fromLocalFile(output.path()));
        state.runExport(ExportMode::Merged);
        ExportRun *run = state.exportRun();
        QVERIFY(run && run->isRunning());
        state.runExport(ExportMode::PerSubject);
        QCOMPARE(state.exportRun(), run);
        QTRY_VERIFY_WITH_TIMEOUT(!run->isRunning(), 60000);
        QCOMPARE(run->failures().size(), 1);
        QCOMPARE(run->progress().total, 1);

        // The end is shown once, then forgotten.
        QVERIFY(!run->finishedFolder().isEmpty());
        run->acknowledgeFinish();
        QVERIFY(run->finishedFolder().isEmpty());
    }

    // Cancelling stops the run after the frame in progress: the frames after it and the Markdown
    // file of the group are not written, and no end-of-export folder is offered.
    void aCancelledRunStopsAfterTheFrameInProgress()
    {
        QTemporaryDir output;
        AppState state(&m_runs, PlayerOutput::Headless);
        prepare(state, shapesVideo(), {{1, 2, 3, 4}, {5}});
        state.document()->setOutputFolder(QUrl::fromLocalFile(output.path()));
        state.runExport(ExportMode::Merged);
        ExportRun *run = state.exportRun();
        QVERIFY(run);
        QSignalSpy finished(run, &ExportRun::finished);
        run->cancel();
        QVERIFY(finished.wait(120000));
        QVERIFY(run->wasCancelled());
        QVERIFY(!run->isRunning());
        QCOMPARE(run->progress().completed, 1);
        QVERIFY(run->finishedFolder().isEmpty());
        QCOMPARE(entries(output.path()), QStringList{"Captures"});
        QCOMPARE(entries(output.filePath(QStringLiteral("Captures"))),
                 QStringList{"shapes_00-00-00-033.png"});
    }

    // A run belongs to the application: it goes on, and writes everything, after the window state
    // that started it is gone.
    void aRunOutlivesItsWindow()
    {
        QTemporaryDir output;
        QPointer<ExportRun> run;
        {
            AppState state(&m_runs, PlayerOutput::Headless);
            prepare(state, shapesVideo(), {{2, 4}});
            state.document()->setGroupNotes(state.document()->groups()[0].id, QStringLiteral("Gardé"));
            state.document()->setOutputFolder(QUrl::fromLocalFile(output.path()));
            state.runExport(ExportMode::Merged);
            run = state.exportRun();
            QVERIFY(run && run->isRunning());
        }
        QVERIFY(run);
        QVERIFY(m_runs.isRunning());
        QSignalSpy allFinished(&m_runs, &ExportRuns::allFinished);
        QVERIFY(allFinished.wait(120000));
        QCOMPARE(entries(output.path()),
                 (QStringList{"Captures.md", "shapes_00-00-00-066.png", "shapes_00-00-00-133.png"}));
        QVERIFY(readText(output.filePath(QStringLiteral("Captures.md")))
                    .startsWith(QStringLiteral("# Captures\n\nGardé\n")));
        // Ended, and held by no window any more, it goes.
        QTRY_VERIFY(!run);
    }
};

QUINTAREL_TEST(BatchExportTest)
#include "BatchExportTest.moc"
