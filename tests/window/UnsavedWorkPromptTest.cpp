#include "ModalAnswers.h"
#include "TestDrop.h"
#include "TestMedia.h"
#include "TestProjects.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "views/PlayerAreaView.h"

#include <QAction>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

using Answers = QList<ModalAnswers::Answer>;

QUrl fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

// A window showing a video, with one capture that was never saved.
ContentView *windowWithWork(QuintarelApp &app, const QString &video)
{
    ContentView *window = app.openWindow();
    // Shown, and its video on screen, before any question comes over it.
    if (!QTest::qWaitForWindowExposed(window) || !TestVideo::open(*window->state(), video) ||
        !TestVideo::settled(*window->state()))
        return nullptr;
    window->state()->document()->captureFrame(MediaTime(1, 30));
    return window;
}

} // namespace

// Nothing the user has done is replaced or closed without asking: closing the window, opening
// another video (from the dialog or by a drop) and opening another project all ask first.
class UnsavedWorkPromptTest : public QObject
{
    Q_OBJECT

    QString m_first;
    QString m_second;

private slots:
    void initTestCase()
    {
        QuintarelApp::prepareProcess();
        m_first = TestMedia::patternVideo(QStringLiteral("premiere.mp4"), QSize(320, 240), 4);
        m_second = TestMedia::patternVideo(QStringLiteral("seconde.mp4"), QSize(320, 240), 4);
        QVERIFY(!m_first.isEmpty() && !m_second.isEmpty());
    }

    void closingWithUnsavedCapturesAsksFirst()
    {
        QuintarelApp app;
        ContentView *window = windowWithWork(app, m_first);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));

        ModalAnswers cancel({ModalAnswers::click(QStringLiteral("Annuler"))});
        QVERIFY(!window->close());
        QCOMPARE(cancel.questions(),
                 QStringList{QStringLiteral("Enregistrer « premiere » avant de fermer ?")});
        QVERIFY(window->isVisible());
        QCOMPARE(window->state()->document()->frameCount(), 1);

        ModalAnswers discard({ModalAnswers::click(QStringLiteral("Ne pas enregistrer"))});
        QVERIFY(window->close());
    }

    void quitAsksEveryUnsavedWindowAndStopsAtTheFirstKept()
    {
        QuintarelApp app;
        ContentView *saved = app.openWindow();
        ContentView *unsaved = app.openWindow();
        QVERIFY(QTest::qWaitForWindowActive(unsaved));
        unsaved->state()->document()->captureFrame(MediaTime(1, 30));
        QAction *quit = saved->findChild<QAction *>(QStringLiteral("quit"));
        QVERIFY(quit);

        // The window in front asks first; keeping it keeps every window.
        {
            ModalAnswers keep({ModalAnswers::click(QStringLiteral("Annuler"))});
            quit->trigger();
            QCOMPARE(keep.questions(),
                     QStringList{QStringLiteral("Enregistrer « Quintarel » avant de fermer ?")});
        }
        QCOMPARE(app.windows().size(), 2);
        QVERIFY(saved->isVisible() && unsaved->isVisible());

        ModalAnswers discard({ModalAnswers::click(QStringLiteral("Ne pas enregistrer"))});
        quit->trigger();
        QTRY_COMPARE(app.windows().size(), 0);
    }

    void aWindowWithoutWorkClosesAtOnce()
    {
        QuintarelApp app;
        ContentView *window = app.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->state()->document()->addGroup();
        window->state()->document()->undoStack()->undo(); // back to nothing
        QVERIFY(window->close());
    }

    void openingAVideoFromTheDialogAsksFirst()
    {
        QTemporaryDir folder;
        QuintarelApp app;
        ContentView *window = windowWithWork(app, m_first);
        QVERIFY(window);
        CaptureDocument *document = window->state()->document();

        // Cancelled: the video and the captures stay.
        ModalAnswers cancel({ModalAnswers::choose(m_second), ModalAnswers::click(QStringLiteral("Annuler"))});
        window->showVideoImporter();
        QVERIFY(cancel.allAnswered());
        QCOMPARE(cancel.questions(),
                 QStringList{QStringLiteral("Enregistrer « premiere » avant d'ouvrir une autre vidéo ?")});
        QCOMPARE(window->state()->playback()->videoURL(), fileUrl(m_first));
        QCOMPARE(document->frameCount(), 1);

        // Saved first (the save panel comes, as for "Enregistrer"), then replaced.
        const QString project = folder.filePath(QStringLiteral("premiere.quintarel"));
        ModalAnswers save({ModalAnswers::choose(m_second), ModalAnswers::click(QStringLiteral("Enregistrer")),
                           ModalAnswers::choose(project)});
        window->showVideoImporter();
        QVERIFY(save.allAnswered());
        QVERIFY(QFile::exists(project));
        QTRY_COMPARE_WITH_TIMEOUT(window->state()->playback()->videoURL(), fileUrl(m_second), 30000);
        QCOMPARE(document->frameCount(), 0);
        QVERIFY(!window->state()->hasUnsavedChanges());

        // Nothing unsaved: no question at all.
        ModalAnswers none({ModalAnswers::choose(m_first)});
        window->showVideoImporter();
        QCOMPARE(none.questions(), QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(window->state()->playback()->videoURL(), fileUrl(m_first), 30000);
    }

    void droppingAVideoAsksFirst()
    {
        QuintarelApp app;
        ContentView *window = windowWithWork(app, m_first);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));

        ModalAnswers cancel({ModalAnswers::click(QStringLiteral("Annuler"))});
        QVERIFY(TestDrop::urls(window->playerArea(), {fileUrl(m_second)}));
        QTRY_VERIFY(cancel.allAnswered());
        QCOMPARE(window->state()->playback()->videoURL(), fileUrl(m_first));
        QCOMPARE(window->state()->document()->frameCount(), 1);

        ModalAnswers discard({ModalAnswers::click(QStringLiteral("Ne pas enregistrer"))});
        QVERIFY(TestDrop::urls(window->playerArea(), {fileUrl(m_second)}));
        QTRY_COMPARE_WITH_TIMEOUT(window->state()->playback()->videoURL(), fileUrl(m_second), 30000);
        QCOMPARE(discard.questions(),
                 QStringList{QStringLiteral("Enregistrer « premiere » avant d'ouvrir une autre vidéo ?")});
        QCOMPARE(window->state()->document()->frameCount(), 0);
    }

    void openingAProjectAsksFirst()
    {
        QTemporaryDir folder;
        const QString other = folder.filePath(QStringLiteral("autre.quintarel"));
        const QString mine = folder.filePath(QStringLiteral("mien.quintarel"));
        QuintarelApp app;
        {
            ContentView *source = app.openWindow();
            QVERIFY(TestVideo::open(*source->state(), m_second));
            source->state()->saveProject(fileUrl(other));
        }
        ContentView *window = windowWithWork(app, m_first);
        QVERIFY(window);
        CaptureDocument *document = window->state()->document();
        window->state()->saveProject(fileUrl(mine));
        document->setNote(QStringLiteral("pas encore enregistrée"), document->groups()[0].frames[0].id);
        QAction *open = window->findChild<QAction *>(QStringLiteral("openProject"));

        ModalAnswers cancel({ModalAnswers::choose(other), ModalAnswers::click(QStringLiteral("Annuler"))});
        open->trigger();
        QVERIFY(cancel.allAnswered());
        QCOMPARE(cancel.questions(),
                 QStringList{QStringLiteral("Enregistrer « mien » avant d'ouvrir un autre projet ?")});
        QCOMPARE(document->projectURL(), fileUrl(mine));
        QVERIFY(window->state()->hasUnsavedChanges());

        // Saved to its own file without a panel, then replaced.
        ModalAnswers save({ModalAnswers::choose(other), ModalAnswers::click(QStringLiteral("Enregistrer"))});
        open->trigger();
        QVERIFY(save.allAnswered());
        // The project is read off the main thread.
        QTRY_COMPARE_WITH_TIMEOUT(document->projectURL(), fileUrl(other), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(window->state()->playback()->videoURL(), fileUrl(m_second), 30000);
        QCOMPARE(document->frameCount(), 0);

        AppState reread(app.exportRuns(), PlayerOutput::Headless);
        QVERIFY(TestProjects::open(reread, fileUrl(mine)));
        QCOMPARE(reread.document()->allFrames().value(0).notes, QStringLiteral("pas encore enregistrée"));
    }
};

QUINTAREL_TEST(UnsavedWorkPromptTest)
#include "UnsavedWorkPromptTest.moc"
