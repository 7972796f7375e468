#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/CommandLine.h"
#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "views/PlayerAreaView.h"

#include <QTemporaryDir>
#include <QTest>

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void namesFilesAsTheyAreGiven()
    {
        const CommandLine line = CommandLine::parse(
            {QStringLiteral("/usr/bin/quintarel"), QStringLiteral("clip.mp4"),
             QStringLiteral("../projets/match.quintarel"), QStringLiteral("/v/autre clip.mov"),
             QStringLiteral("file:///v/lien%20web.mkv"), QStringLiteral("--"), QStringLiteral("-tiret.mp4")},
            QStringLiteral("/home/marie/videos"));
        QVERIFY(!line.exits());
        QCOMPARE(line.files(),
                 (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/home/marie/videos/clip.mp4")),
                              QUrl::fromLocalFile(QStringLiteral("/home/marie/projets/match.quintarel")),
                              QUrl::fromLocalFile(QStringLiteral("/v/autre clip.mov")),
                              QUrl::fromLocalFile(QStringLiteral("/v/lien web.mkv")),
                              QUrl::fromLocalFile(QStringLiteral("/home/marie/videos/-tiret.mp4"))}));
        QVERIFY(CommandLine::parse({QStringLiteral("quintarel")}, QStringLiteral("/tmp")).files().isEmpty());
    }

    void answersHelpVersionAndMistakes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0
                                << QStringLiteral("Vidéos ou projets (.quintarel) à ouvrir");
        QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << 0
                            << QStringLiteral("Affiche la version.");
        QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << 0
                                   << QStringLiteral("Quintarel 0.1.0\n");
        QTest::newRow("help beside a mistake")
            << QStringList{QStringLiteral("--bof"), QStringLiteral("--help")} << 0
            << QStringLiteral("Affiche cette aide.");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bof"), QStringLiteral("clip.mp4")}
                                        << 1 << QStringLiteral("Essayez « quintarel --help ».");
        QTest::newRow("help names the export")
            << QStringList{QStringLiteral("--help")} << 0
            << QStringLiteral("export PROJET.quintarel [--mode merged|subjects] [--output DOSSIER]");
        QTest::newRow("export help") << QStringList{QStringLiteral("export"), QStringLiteral("--help")} << 0
                                     << QStringLiteral("--output <dossier>");
        QTest::newRow("export without project")
            << QStringList{QStringLiteral("export")} << 2 << QStringLiteral("Nommez le projet à exporter.");
        QTest::newRow("export of two projects")
            << QStringList{QStringLiteral("export"), QStringLiteral("a.quintarel"),
                           QStringLiteral("b.quintarel")}
            << 2 << QStringLiteral("Un seul projet à la fois.");
        QTest::newRow("export in an unknown mode")
            << QStringList{QStringLiteral("export"), QStringLiteral("a.quintarel"),
                           QStringLiteral("--mode=tout")}
            << 2 << QStringLiteral("Essayez « quintarel export --help ».");
        QTest::newRow("export to an empty folder name")
            << QStringList{QStringLiteral("export"), QStringLiteral("a.quintarel"),
                           QStringLiteral("--output="), QStringLiteral("--mode"), QStringLiteral("subjects")}
            << 2 << QStringLiteral("Le dossier de sortie est vide.");
    }

    void readsTheExportCommand()
    {
        const CommandLine line = CommandLine::parse({QStringLiteral("quintarel"), QStringLiteral("export"),
                                                     QStringLiteral("../plans.quintarel"),
                                                     QStringLiteral("--mode"), QStringLiteral("subjects"),
                                                     QStringLiteral("--output"), QStringLiteral("png")},
                                                    QStringLiteral("/home/marie/videos"));
        QVERIFY(line.isExport());
        QVERIFY(!line.exits());
        QCOMPARE(line.exportRequest().projectPath, QStringLiteral("/home/marie/plans.quintarel"));
        QCOMPARE(line.exportRequest().mode, ExportMode::PerSubject);
        QCOMPARE(line.exportRequest().outputFolder, QStringLiteral("/home/marie/videos/png"));
        QVERIFY(!line.exportRequest().format);
        const CommandLine webp = CommandLine::parse({QStringLiteral("quintarel"), QStringLiteral("export"),
                                                     QStringLiteral("p.quintarel"),
                                                     QStringLiteral("--format"), QStringLiteral("webp")},
                                                    QStringLiteral("/tmp"));
        QCOMPARE(webp.exportRequest().format, std::optional(ImageFormat::WebP));
        const CommandLine gif = CommandLine::parse({QStringLiteral("quintarel"), QStringLiteral("export"),
                                                    QStringLiteral("p.quintarel"), QStringLiteral("--format"),
                                                    QStringLiteral("gif")},
                                                   QStringLiteral("/tmp"));
        QVERIFY(gif.exits());
        QCOMPARE(gif.exitCode(), CommandLine::exportCannotStart);
        QVERIFY(CommandLine::parse({QStringLiteral("quintarel"), QStringLiteral("--help")},
                                   QStringLiteral("/tmp"))
                    .output()
                    .contains(QStringLiteral("[--format png|webp]")));
        // Merged by default, into the project's own folder; a file named "export" opens as ./export.
        const CommandLine plain = CommandLine::parse(
            {QStringLiteral("quintarel"), QStringLiteral("export"), QStringLiteral("p.quintarel")},
            QStringLiteral("/"));
        QCOMPARE(plain.exportRequest().mode, ExportMode::Merged);
        QVERIFY(plain.exportRequest().outputFolder.isEmpty());
        const CommandLine file = CommandLine::parse({QStringLiteral("quintarel"), QStringLiteral("./export")},
                                                    QStringLiteral("/tmp"));
        QVERIFY(!file.isExport());
        QCOMPARE(file.files(), QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/export"))});
    }

    void answersHelpVersionAndMistakes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const CommandLine line = CommandLine::parse(
            QStringList{QStringLiteral("/opt/bin/quintarel")} + arguments, QStringLiteral("/tmp"));
        QVERIFY(line.exits());
        QCOMPARE(line.exitCode(), exitCode);
        QVERIFY2(line.output().contains(says), qPrintable(line.output()));
        QVERIFY(line.files().isEmpty());
    }

    void opensEachFileInAWindowOfItsOwn()
    {
        const QString video = TestMedia::patternVideo(QStringLiteral("ligne.mp4"), QSize(320, 240), 20);
        QVERIFY(!video.isEmpty());
        QTemporaryDir folder;
        const QString project = folder.filePath(QStringLiteral("seance.quintarel"));
        {
            ExportRuns runs;
            AppState saved(&runs);
            QVERIFY(TestVideo::open(saved, video));
            saved.saveProject(QUrl::fromLocalFile(project));
            QVERIFY(QFile::exists(project));
        }
        const QString missing = folder.filePath(QStringLiteral("absente.mp4"));

        QuintarelApp app;
        app.openFiles({QUrl::fromLocalFile(video), QUrl::fromLocalFile(project), QUrl::fromLocalFile(missing),
                       QUrl(QStringLiteral("https://example.org/clip.mp4"))});
        const QList<ContentView *> windows = app.windows();
        QCOMPARE(windows.size(), 4);

        QTRY_COMPARE_WITH_TIMEOUT(windows[0]->state()->playback()->videoURL(), QUrl::fromLocalFile(video),
                                  30000);
        QVERIFY(windows[0]->state()->document()->projectURL().isEmpty());
        QTRY_VERIFY(windows[0]->playerArea()->isShowingPlayer());

        QCOMPARE(windows[1]->state()->document()->projectURL(), QUrl::fromLocalFile(project));
        QTRY_COMPARE_WITH_TIMEOUT(windows[1]->state()->playback()->videoURL(), QUrl::fromLocalFile(video),
                                  30000);
        QCOMPARE(windows[1]->windowTitleText(), QStringLiteral("seance"));

        // What cannot be opened is said in its own window, which stays empty.
        for (ContentView *window : {windows[2], windows[3]}) {
            QVERIFY(window->state()->playback()->videoURL().isEmpty());
            QVERIFY(window->state()->errorMessage());
            QVERIFY(window->errorAlert());
        }
        QVERIFY(
            windows[3]->state()->errorMessage()->contains(QStringLiteral("https://example.org/clip.mp4")));
    }

    void withoutFilesOneEmptyWindowOpens()
    {
        QuintarelApp app;
        app.openFiles({});
        QCOMPARE(app.windows().size(), 1);
        QVERIFY(app.windows().first()->state()->playback()->videoURL().isEmpty());
        QVERIFY(!app.windows().first()->state()->errorMessage());
    }
};

QUINTAREL_TEST(CommandLineTest)
#include "CommandLineTest.moc"
