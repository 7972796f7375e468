#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestProjects.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUndoStack>

#include <memory>

// A project is read and decoded off the main thread; the window keeps its document until the new
// one is there, and an opening that something else has overtaken is never applied.
class ProjectOpeningTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ExportRuns m_runs;

    // Saves a project of groups with the given numbers of frames and returns its URL.
    QUrl saved(const QString &name, const QList<int> &framesPerGroup)
    {
        AppState source(&m_runs, PlayerOutput::Headless);
        TestCaptures::fill(source, framesPerGroup);
        const QUrl url = QUrl::fromLocalFile(m_dir.filePath(name));
        source.saveProject(url);
        return source.errorMessage() ? QUrl() : url;
    }

private slots:
    void theDocumentStaysUntilTheProjectIsRead()
    {
        const QUrl url = saved(QStringLiteral("trois.quintarel"), {2, 1});
        QVERIFY(!url.isEmpty());
        AppState state(&m_runs, PlayerOutput::Headless);
        const QUuid own = state.document()->captureFrame(MediaTime(7, 30));
        QSignalSpy groups(state.document(), &CaptureDocument::groupsChanged);
        QSignalSpy opening(&state, &AppState::openingProjectChanged);

        state.openProject(url);
        QVERIFY(state.isOpeningProject());
        QCOMPARE(opening.count(), 1);
        // Nothing of the window changes before the project is there.
        QCOMPARE(groups.count(), 0);
        QCOMPARE(state.document()->frame(own).has_value(), true);
        QVERIFY(state.document()->projectURL().isEmpty());

        QTRY_VERIFY(!state.isOpeningProject());
        QCOMPARE(opening.count(), 2);
        QCOMPARE(state.document()->frameCount(), 3);
        QCOMPARE(state.document()->groups().size(), 2);
        QVERIFY(!state.document()->frame(own));
        QCOMPARE(state.document()->projectURL(), url);
        QVERIFY(!state.document()->undoStack()->canUndo());
    }

    // Opened one after the other before the first is read: only the last one counts, and a
    // failure of one given up is not told.
    void theLatestOpeningWins()
    {
        const QUrl first = saved(QStringLiteral("premier.quintarel"), {4});
        const QUrl second = saved(QStringLiteral("second.quintarel"), {1, 1, 1});
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        const QString damagedPath = m_dir.filePath(QStringLiteral("abime.quintarel"));
        QFile damaged(damagedPath);
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("{\"groups\": [") > 0);
        damaged.close();
        const QUrl broken = QUrl::fromLocalFile(damagedPath);

        AppState state(&m_runs, PlayerOutput::Headless);
        state.openProject(first);
        state.openProject(broken);
        QVERIFY(TestProjects::open(state, second));
        // Long enough for the earlier readings to have ended too.
        QThreadPool::globalInstance()->waitForDone();
        QTest::qWait(50);
        QCOMPARE(state.document()->projectURL(), second);
        QCOMPARE(state.document()->groups().size(), 3);
        // What the window says is what opening the last project alone says (its video is missing).
        AppState alone(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(alone, second));
        QCOMPARE(state.errorMessage(), alone.errorMessage());

        // The other way round: the damaged file is the last, the window keeps the project it shows.
        state.openProject(first);
        QVERIFY(TestProjects::open(state, broken));
        QThreadPool::globalInstance()->waitForDone();
        QTest::qWait(50);
        QVERIFY(state.errorMessage() &&
                state.errorMessage()->startsWith(QStringLiteral("Échec de l'ouverture : ")));
        QCOMPARE(state.document()->projectURL(), second);
        QCOMPARE(state.document()->groups().size(), 3);
    }

    void aVideoOpenedMeanwhileTakesThePlaceOfTheProject()
    {
        const QUrl url = saved(QStringLiteral("remplace.quintarel"), {3});
        QVERIFY(!url.isEmpty());
        const QString video = TestMedia::patternVideo(QStringLiteral("remplace.mp4"), QSize(160, 120), 1);
        QVERIFY(!video.isEmpty());
        AppState state(&m_runs, PlayerOutput::Headless);
        state.openProject(url);
        QVERIFY(TestVideo::open(state, video));
        QVERIFY(!state.isOpeningProject());
        QThreadPool::globalInstance()->waitForDone();
        QTest::qWait(50);
        QCOMPARE(state.document()->frameCount(), 0);
        QVERIFY(state.document()->projectURL().isEmpty());
        QCOMPARE(state.playback()->videoURL(), QUrl::fromLocalFile(video));
    }

    // The window goes while its project is still read: the reading is given up, and nothing is
    // called back into what has gone.
    void aWindowClosedWhileReadingGetsNothing()
    {
        const QUrl url = saved(QStringLiteral("ferme.quintarel"), {20000, 20000});
        QVERIFY(!url.isEmpty());
        auto state = std::make_unique<AppState>(&m_runs, PlayerOutput::Headless);
        state->openProject(url);
        QVERIFY(state->isOpeningProject());
        state.reset();
        QThreadPool::globalInstance()->waitForDone();
        QTest::qWait(50);

        // The same file opens whole in the next window.
        AppState next(&m_runs, PlayerOutput::Headless);
        QVERIFY(TestProjects::open(next, url));
        QCOMPARE(next.document()->frameCount(), 40000);
    }
};

QUINTAREL_TEST(ProjectOpeningTest)
#include "ProjectOpeningTest.moc"
