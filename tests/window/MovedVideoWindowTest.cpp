#include "ModalAnswers.h"
#include "TestMedia.h"
#include "TestProjects.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"
#include "views/PlayerAreaView.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

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
        QVERIFY(TestProjects::open(*state, QUrl::fromLocalFile(project)));
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
        QCOMPARE(state->playback()->videoURL(), QUrl::fromLocalFile(moved));
        QVERIFY(!area->isAskingForMissingVideo());
        QVERIFY(!locate->isEnabled());
        QCOMPARE(state->document()->frameCount(), 1);
        QVERIFY(window->isWindowModified());
        QVERIFY(!window->errorAlert());
    }

    // Another video than the captures' own is questioned, naming what differs from the one they
    // came from; refused, nothing changes; accepted, it is bound as one step that undo takes back.
    // The captures' own video under another name is taken without a question.
    void anotherVideoIsQuestionedAndItsBindingUndone()
    {
        QTemporaryDir folder;
        const QString video = folder.filePath(QStringLiteral("rue.mp4"));
        QVERIFY(QFile::copy(TestMedia::patternVideo(QStringLiteral("rue.mp4"), QSize(320, 240), 4), video));
        const QString project = folder.filePath(QStringLiteral("rue.quintarel"));
        TestMedia::VideoOptions options;
        options.name = QStringLiteral("telephone");
        options.size = QSize(640, 360);
        options.frameRate = QStringLiteral("25");
        options.frameCount = 150;
        const QString other = TestMedia::video(options);
        QVERIFY(!other.isEmpty());
        QuintarelApp app;
        {
            ContentView *first = app.openWindow();
            AppState *state = first->state();
            QVERIFY(TestVideo::open(*state, video));
            // 3 s is a frame at 25 frames a second too, 3 s and a thirtieth is not.
            const QUuid captured = state->document()->captureFrame(MediaTime(90, 30));
            state->document()->captureFrame(MediaTime(91, 30));
            // Its lifting kept in the cache tells the size of the video's frames.
            QTRY_VERIFY_WITH_TIMEOUT(state->images()->images(captured).isLifted(), 120000);
            state->saveProject(QUrl::fromLocalFile(project));
            QVERIFY(first->close());
        }
        const QString renamed = folder.filePath(QStringLiteral("archives/rue renommée.mp4"));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("archives")));
        QVERIFY(QFile::rename(video, renamed));

        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        AppState *state = window->state();
        QVERIFY(TestProjects::open(*state, QUrl::fromLocalFile(project)));
        QTRY_VERIFY(window->errorAlert());
        window->errorAlert()->buttons().first()->click();
        PlayerAreaView *area = window->playerArea();
        QAction *locate = window->findChild<QAction *>(QStringLiteral("locateVideo"));
        QUndoStack *undo = state->document()->undoStack();

        ModalAnswers refused({ModalAnswers::choose(other), ModalAnswers::click(QStringLiteral("Annuler"))});
        locate->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(refused.allAnswered(), 30000);
        QCOMPARE(refused.questions().size(), 1);
        const QString question = refused.questions().constFirst();
        QVERIFY2(
            question.startsWith(QStringLiteral("La vidéo choisie ne semble pas être celle des captures : ")),
            qPrintable(question));
        QVERIFY2(question.endsWith(QStringLiteral(" Utiliser quand même ?")), qPrintable(question));
        for (const QString &difference :
             {QStringLiteral("« telephone.mp4 »"), QStringLiteral("« rue.mp4 »"),
              QStringLiteral("640 × 360 pixels au lieu de 320 × 240"),
              QStringLiteral("25 images par seconde au lieu de 30"),
              QStringLiteral("1 capture(s) sur 2 ne tombe(nt) sur aucune de ses images")})
            QVERIFY2(question.contains(difference), qPrintable(question));
        QTest::qWait(200);
        QVERIFY(state->document()->needsVideo());
        QVERIFY(!area->isShowingPlayer());
        QVERIFY(!undo->canUndo());

        ModalAnswers accepted(
            {ModalAnswers::choose(other), ModalAnswers::click(QStringLiteral("Utiliser quand même"))});
        locate->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(area->isShowingPlayer(), 30000);
        QVERIFY(accepted.allAnswered());
        QCOMPARE(state->playback()->videoURL(), QUrl::fromLocalFile(other));
        QVERIFY(window->isWindowModified());
        QCOMPARE(undo->undoText(), QStringLiteral("la localisation de la vidéo"));

        // Undone: the captures wait for their video again, with nothing to save; redone: bound again.
        undo->undo();
        QVERIFY(state->document()->needsVideo());
        QCOMPARE(state->document()->missingVideoURL(), QUrl::fromLocalFile(video));
        QVERIFY(state->playback()->videoURL().isEmpty());
        QTRY_VERIFY(area->isAskingForMissingVideo());
        QVERIFY(!area->isShowingPlayer());
        QVERIFY(locate->isEnabled());
        QVERIFY(!window->isWindowModified());
        const QUuid frame = state->document()->allFrames().constFirst().id;
        QTRY_VERIFY(state->images()->images(frame).hasFailed());
        undo->redo();
        QTRY_VERIFY_WITH_TIMEOUT(area->isShowingPlayer(), 30000);
        QCOMPARE(state->playback()->videoURL(), QUrl::fromLocalFile(other));
        QTRY_VERIFY_WITH_TIMEOUT(state->images()->images(frame).hasThumbnail(), 60000);
        QCOMPARE(state->images()->images(frame).thumbnail.width() * 9,
                 state->images()->images(frame).thumbnail.height() * 16);
        undo->undo();
        QTRY_VERIFY(area->isAskingForMissingVideo());

        // The captures' own file, moved and renamed: no question.
        ModalAnswers own({ModalAnswers::choose(renamed)});
        locate->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(area->isShowingPlayer(), 30000);
        QVERIFY(own.questions().isEmpty());
        QCOMPARE(state->playback()->videoURL(), QUrl::fromLocalFile(renamed));
        QVERIFY(!window->errorAlert());
    }
};

QUINTAREL_TEST(MovedVideoWindowTest)
#include "MovedVideoWindowTest.moc"
