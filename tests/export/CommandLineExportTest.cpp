#include "TestCaptures.h"
#include "TestImages.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "services/LiftedFrameCache.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "state/ExportRuns.h"
#include "state/FrameImageMaker.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
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

// The two shapes moving right, then from frame 25 on the gradient alone, where no subject is found.
QString shapesThenEmptyVideo()
{
    TestMedia::VideoOptions options;
    options.name = QStringLiteral("shapes-then-empty");
    options.size = QSize(640, 360);
    options.frameCount = 30;
    options.picture = [](int number, QSize size) {
        if (number >= 25)
            return TestImages::gradient(size);
        const double scale = size.width() / 960.0;
        QList<TestImages::Shape> shapes = TestImages::twoShapes();
        for (TestImages::Shape &shape : shapes) {
            shape.rect = QRectF(shape.rect.x() * scale, shape.rect.y() * scale, shape.rect.width() * scale,
                                shape.rect.height() * scale)
                             .toRect()
                             .translated(number * 4, 0);
        }
        return TestImages::shapesOnGradient(size, shapes);
    };
    return TestMedia::video(options);
}

struct Run
{
    int exitCode = -1;
    QString errors;
};

// `quintarel export …` without a display, in the test's environment (its cache folder too).
Run runExport(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUINTAREL_TEST_BUILD_DIR "/quintarel"),
                  QStringList{QStringLiteral("export")} + arguments);
    Run run;
    if (!process.waitForStarted(30000) || !process.waitForFinished(900000)) {
        run.errors = process.errorString();
        return run;
    }
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    return run;
}

} // namespace

// The export run from the command line writes what the window's export writes, byte for byte,
// with the liftings the window kept in the cache, and says by its status whether every frame was
// written.
class CommandLineExportTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;

    bool exportFromWindow(AppState &state, const QString &folder, ExportMode mode)
    {
        state.document()->setOutputFolder(QUrl::fromLocalFile(folder));
        state.runExport(mode);
        ExportRun *run = state.exportRun();
        return run && QTest::qWaitFor([&] { return !run->isRunning(); }, 900000);
    }

private slots:
    void writesTheWindowsFilesAndTellsFailures()
    {
        AppState window(&m_runs, PlayerOutput::Headless);
        // The window keeps its liftings where the program finds them, in the test's cache folder.
        window.imageMaker()->setCache(
            std::make_shared<LiftedFrameCache>(QDir(QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME")))
                                                   .filePath(QStringLiteral("Quintarel/lifted-frames"))));
        QVERIFY(TestVideo::open(window, shapesThenEmptyVideo()));
        // Two groups, so sub-folders and Markdown files; frame 27 shows no subject.
        TestCaptures::addFrames(window, {{4, 21}, {12, 27}});
        QVERIFY(TestCaptures::waitUntilMade(window, 900000));
        CaptureDocument *document = window.document();
        const QList<CapturedFrame> frames = document->allFrames();
        Annotation arrow;
        arrow.start = QPointF(0.1, 0.1);
        arrow.end = QPointF(0.4, 0.5);
        document->addAnnotation(frames.at(0).id, arrow);
        document->setNote(QStringLiteral("Le carré passe."), frames.at(1).id);
        document->setGroupName(document->groups().at(1).id, QStringLiteral("Plans/serrés"));
        document->setCropToSubject(true);
        document->setSelectedFilter(FilterStyle::Comic);
        EdgeOptions edge;
        edge.outline = true;
        edge.outlineWidth = 6;
        edge.feather = 2;
        document->setEdgeOptions(edge);

        QTemporaryDir folder;
        const QString fromWindow = folder.filePath(QStringLiteral("window"));
        QVERIFY(exportFromWindow(window, fromWindow, ExportMode::Merged));
        QCOMPARE(window.exportRun()->failures().size(), 1);
        const QString project = folder.filePath(QStringLiteral("plans.quintarel"));
        window.saveProject(QUrl::fromLocalFile(project));
        QVERIFY(!window.errorMessage());

        const QString fromLine = folder.filePath(QStringLiteral("ligne"));
        const Run merged = runExport({project, QStringLiteral("--output"), fromLine});
        QCOMPARE(merged.exitCode, 1);
        // Every frame came lifted from the cache the window filled.
        QVERIFY2(merged.errors.contains(QStringLiteral("(4 déjà détourée(s))")), qPrintable(merged.errors));
        QVERIFY2(merged.errors.contains(QStringLiteral("4 / 4")), qPrintable(merged.errors));
        QVERIFY2(merged.errors.contains(QStringLiteral("00:00.900 — Aucun sujet détecté dans cette image.")),
                 qPrintable(merged.errors));
        QVERIFY2(merged.errors.contains(QStringLiteral("3 image(s) exportée(s), 1 échec(s).")),
                 qPrintable(merged.errors));

        const QMap<QString, QByteArray> expected = filesUnder(fromWindow);
        const QMap<QString, QByteArray> written = filesUnder(fromLine);
        QCOMPARE(expected.keys().filter(QStringLiteral(".png")).size(), 3);
        QCOMPARE(expected.keys().filter(QStringLiteral(".md")).size(), 2);
        QCOMPARE(written.keys(), expected.keys());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QVERIFY2(written.value(it.key()) == it.value(), qPrintable(it.key()));

        // Without the empty frame every frame is written, one image per subject, into the project's own
        // output folder this time.
        document->deleteFrame(frames.at(3).id);
        const QString subjectsFromWindow = folder.filePath(QStringLiteral("window-sujets"));
        QVERIFY(exportFromWindow(window, subjectsFromWindow, ExportMode::PerSubject));
        QVERIFY(window.exportRun()->failures().isEmpty());
        const QString subjectsFromLine = folder.filePath(QStringLiteral("ligne-sujets"));
        document->setOutputFolder(QUrl::fromLocalFile(subjectsFromLine));
        window.saveProject(QUrl::fromLocalFile(project));
        // A project's output folder that has gone is not made again.
        const Run gone = runExport({project});
        QCOMPARE(gone.exitCode, 2);
        QVERIFY2(gone.errors.contains(QStringLiteral("Le dossier de sortie du projet n'existe plus")),
                 qPrintable(gone.errors));
        QVERIFY(QDir().mkpath(subjectsFromLine));
        const Run subjects = runExport({QStringLiteral("--mode"), QStringLiteral("subjects"), project});
        QVERIFY2(subjects.exitCode == 0, qPrintable(subjects.errors));
        QVERIFY2(subjects.errors.contains(QStringLiteral("3 image(s) exportée(s).")),
                 qPrintable(subjects.errors));
        const QMap<QString, QByteArray> expectedSubjects = filesUnder(subjectsFromWindow);
        const QMap<QString, QByteArray> writtenSubjects = filesUnder(subjectsFromLine);
        QCOMPARE(expectedSubjects.keys().filter(QStringLiteral("_s2.png")).size(), 3);
        QCOMPARE(writtenSubjects.keys(), expectedSubjects.keys());
        for (auto it = expectedSubjects.cbegin(); it != expectedSubjects.cend(); ++it)
            QVERIFY2(writtenSubjects.value(it.key()) == it.value(), qPrintable(it.key()));

        // In WebP, chosen in the window or asked on the line of a project that keeps PNG: the same
        // files, named and linked as WebP, showing the pixels of the PNG export.
        const QString webpFromLine = folder.filePath(QStringLiteral("ligne-webp"));
        const Run webp = runExport({project, QStringLiteral("--format"), QStringLiteral("webp"),
                                    QStringLiteral("--output"), webpFromLine});
        QVERIFY2(webp.exitCode == 0, qPrintable(webp.errors));
        QVERIFY2(webp.errors.contains(QStringLiteral("3 image(s) WebP exportée(s).")),
                 qPrintable(webp.errors));
        document->setImageFormat(ImageFormat::WebP);
        const QString webpFromWindow = folder.filePath(QStringLiteral("window-webp"));
        QVERIFY(exportFromWindow(window, webpFromWindow, ExportMode::Merged));
        QVERIFY(window.exportRun()->failures().isEmpty());
        const QMap<QString, QByteArray> expectedWebp = filesUnder(webpFromWindow);
        const QMap<QString, QByteArray> writtenWebp = filesUnder(webpFromLine);
        QCOMPARE(expectedWebp.keys().filter(QStringLiteral(".webp")).size(), 3);
        QCOMPARE(writtenWebp.keys(), expectedWebp.keys());
        for (auto it = expectedWebp.cbegin(); it != expectedWebp.cend(); ++it)
            QVERIFY2(writtenWebp.value(it.key()) == it.value(), qPrintable(it.key()));
        for (auto it = expectedWebp.cbegin(); it != expectedWebp.cend(); ++it) {
            if (it.key().endsWith(QStringLiteral(".md"))) {
                QVERIFY2(it.value().contains(".webp") && !it.value().contains(".png"),
                         it.value().constData());
                continue;
            }
            QString pngName = it.key();
            pngName.replace(QStringLiteral(".webp"), QStringLiteral(".png"));
            QVERIFY2(expected.contains(pngName), qPrintable(pngName));
            const QImage fromWebp = QImage::fromData(it.value(), "webp");
            const QImage fromPng = QImage::fromData(expected.value(pngName), "png");
            QVERIFY(fromWebp.hasAlphaChannel());
            QCOMPARE(fromWebp.convertToFormat(QImage::Format_RGBA8888_Premultiplied),
                     fromPng.convertToFormat(QImage::Format_RGBA8888_Premultiplied));
        }

        // A format the program does not know is refused before anything is written.
        const Run unknown = runExport({project, QStringLiteral("--format"), QStringLiteral("gif")});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY2(unknown.errors.contains(QStringLiteral("Format inconnu : « gif »")),
                 qPrintable(unknown.errors));
    }

    void cannotStartWithoutProjectOrVideo()
    {
        QTemporaryDir folder;
        // No such project.
        const Run missing = runExport({folder.filePath(QStringLiteral("absent.quintarel"))});
        QCOMPARE(missing.exitCode, 2);
        QVERIFY2(missing.errors.contains(QStringLiteral("Échec de l'ouverture")), qPrintable(missing.errors));

        // A project whose video has gone.
        const QString video = folder.filePath(QStringLiteral("partie.mp4"));
        QVERIFY(QFile::copy(TestMedia::clip(TestMedia::Clip::Fps30), video));
        AppState window(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(window, video));
        TestCaptures::addFramesWithoutPictures(window, {{3}});
        const QString project = folder.filePath(QStringLiteral("partie.quintarel"));
        window.saveProject(QUrl::fromLocalFile(project));
        QVERIFY(QFile::remove(video));
        const Run gone = runExport({project, QStringLiteral("--output"), folder.path()});
        QCOMPARE(gone.exitCode, 2);
        QVERIFY2(gone.errors.contains(QStringLiteral("Vidéo introuvable : « %1 ».").arg(video)),
                 qPrintable(gone.errors));

        // A mistake on the line.
        const Run mode = runExport({project, QStringLiteral("--mode"), QStringLiteral("tout")});
        QCOMPARE(mode.exitCode, 2);
        QVERIFY2(mode.errors.contains(QStringLiteral("« tout »")), qPrintable(mode.errors));
        QVERIFY(filesUnder(folder.path()).keys() == QStringList{QStringLiteral("partie.quintarel")});
    }
};

QUINTAREL_TEST(CommandLineExportTest)
#include "CommandLineExportTest.moc"
