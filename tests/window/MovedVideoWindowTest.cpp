#include "ModalAnswers.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "views/PlayerAreaView.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// A project whose video has moved opens with its captures under no video, and the window offers to
// locate the video: a wrong file is refused, a cancelled choice changes nothing, the right file
// brings the captures back onto their video.
class MovedVideoWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void theWindowLocatesAMovedVideo()
    {
        QTemporaryDir folder;
        const QString video = folder.filePath(QStringLiteral("match.mp4"));
        QVERIFY(QFile::copy(TestMedia::patternVideo(QStringLiteral("match.mp4"), QSize(320, 240), 4), video));
        const QString project = folder.filePath(QStringLiteral("match.quintarel"));
        QuintarelApp app;
        {
            ContentView *first = app.openWindow();
            QVERIFY(TestVideo::open(*first->state(), video));
            first->state()->document()->captureFrame(MediaTime(90, 30));
            first->state()->saveProject(QUrl::fromLocalFile(project));
            QVERIFY(first->close());
        }
        const QString moved = folder.filePath(QStringLiteral("archives/match.mp4"));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("archives")));
        QVERIFY(QFile::rename(video, moved));

        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        AppState *state = window->state();
        state->openProject(QUrl::fromLocalFile(project));
        QTRY_VERIFY(window->errorAlert());
        QCOMPARE(window->errorAlert()->text(),
                 QStringLiteral("Vidéo introuvable. Localisez-la via « Localiser la vidéo… »."));
        window->errorAlert()->buttons().first()->click();

        // No picture of another video: the placeholder asks for this one.
        PlayerAreaView *area = window->playerArea();
        QVERIFY(!area->isShowingPlayer());
        QVERIFY(area->isAskingForMissingVideo());
        auto *button = area->findChild<QPushButton *>(QStringLiteral("placeholderOpenButton"));
        QCOMPARE(button->text(), QStringLiteral("Localiser la vidéo…"));
        QCOMPARE(area->findChild<QLabel *>(QStringLiteral("placeholderTitle"))->text(),
                 QStringLiteral("Vidéo introuvable"));
        QAction *locate = window->findChild<QAction *>(QStringLiteral("locateVideo"));
        QVERIFY(locate->isEnabled());
        QCOMPARE(state->document()->frameCount(), 1);

        // Exporting is refused until the video is found.
        state->document()->setOutputFolder(QUrl::fromLocalFile(folder.path()));
        state->runExport(ExportMode::Merged);
        QVERIFY(state->errorMessage()->startsWith(QStringLiteral("Vidéo introuvable.")));
        QVERIFY(!state->exportRun());
        state->clearErrorMessage();

        // Cancelled: nothing changes.
        ModalAnswers cancelled({ModalAnswers::dismiss()});
        button->click();
        QVERIFY(cancelled.allAnswered());
        QVERIFY(state->document()->needsVideo());

        // A video too short for the captures is refused, and says why.
        ModalAnswers wrong({ModalAnswers::choose(TestMedia::clip(TestMedia::Clip::Fps30))});
        locate->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(window->errorAlert(), 20000);
        QVERIFY2(window->errorAlert()->text().contains(QStringLiteral("trop courte")),
                 qPrintable(window->errorAlert()->text()));
        window->errorAlert()->buttons().first()->click();
        QVERIFY(state->document()->needsVideo());
        QVERIFY(!area->isShowingPlayer());

        // The right one: the captures are on their video again, and the window has work to save.
        ModalAnswers right({ModalAnswers::choose(moved)});
        button->click();
        QTRY_VERIFY_WITH_TIMEOUT(area->isShowingPlayer(), 20000);
        QCOMPARE(state->videoURL(), QUrl::fromLocalFile(moved));
        QVERIFY(!area->isAskingForMissingVideo());
        QVERIFY(!locate->isEnabled());
        QCOMPARE(state->document()->frameCount(), 1);
        QVERIFY(window->isWindowModified());
        QVERIFY(!window->errorAlert());
    }
};

QUINTAREL_TEST(MovedVideoWindowTest)
#include "MovedVideoWindowTest.moc"
