#include "TestRegistry.h"

#include "persistence/RecoveryFile.h"
#include "services/RecoveryStore.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/RecoveryAutosave.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

// What the window would save, with the recovery file's own members.
void compareWithWindow(const RecoveryFile &file, const AppState &state)
{
    QCOMPARE(file.project, state.makeProjectFile());
    const CaptureDocument &document = *state.document();
    QSet<QUuid> selection;
    for (const RecoveryFile::FramePosition &position : file.selection)
        selection.insert(document.groups().at(position.group).frames.at(position.frame).id);
    QCOMPARE(selection, document.selection());
    const QUrl project = document.projectURL();
    QCOMPARE(file.projectPath.value_or(QString()), project.isEmpty() ? QString() : project.toLocalFile());
}

RecoveryFile readBack(const QString &path)
{
    const Result<RecoveryFile> file = RecoveryStore::read(path);
    if (!file.ok())
        qWarning("%s", qPrintable(file.error().errorDescription()));
    return file.ok() ? file.value() : RecoveryFile{};
}

} // namespace

class RecoveryAutosaveTest : public QObject
{
    Q_OBJECT

private slots:
    void writesSoonAfterAChange()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("session/window.quintarel"));
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        state.startRecovery(path);
        QSignalSpy written(state.recovery(), &RecoveryAutosave::written);
        CaptureDocument *document = state.document();

        // Nothing to recover in a fresh window: no file.
        QTest::qWait(RecoveryAutosave::quietMs + 300);
        QVERIFY(!QFileInfo::exists(path));

        QElapsedTimer sinceChange;
        const QUuid frame = document->captureFrame(MediaTime(1001, 30000));
        sinceChange.start();
        document->setNote(QStringLiteral("regard caméra"), frame);
        Annotation arrow;
        arrow.start = {0.1, 0.2};
        document->addAnnotation(frame, arrow);
        document->addGroup();
        const QUuid second = document->captureFrame(MediaTime(2002, 30000));
        document->setSelection({frame, second});
        QVERIFY(written.wait(3000));
        QVERIFY2(sinceChange.elapsed() < 3000, "written within 3 s of the last change");
        QVERIFY(QFileInfo::exists(path));
        compareWithWindow(readBack(path), state);
        // The active group is the one added.
        QCOMPARE(readBack(path).project.activeGroupIndex, 1);

        // A change of the selection alone is written too.
        document->setSelection({second});
        QVERIFY(written.wait(3000));
        compareWithWindow(readBack(path), state);
    }

    // Changes that never pause still reach the file every couple of seconds.
    void continuousEditingIsWrittenAsItGoes()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("window.quintarel"));
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        state.startRecovery(path);
        QSignalSpy written(state.recovery(), &RecoveryAutosave::written);
        CaptureDocument *document = state.document();
        const QUuid frame = document->captureFrame(MediaTime(1, 30));
        QElapsedTimer editing;
        editing.start();
        int count = 0;
        while (editing.elapsed() < 3 * RecoveryAutosave::shortestCeilingMs) {
            document->setNote(QStringLiteral("note %1").arg(++count), frame);
            document->captureFrame(MediaTime(count, 30));
            QTest::qWait(RecoveryAutosave::quietMs / 4);
        }
        QVERIFY2(written.size() >= 2, qPrintable(QString::number(written.size())));
        // The last write holds the work of at most a ceiling and a quiet second before.
        const QDateTime last = written.last().at(0).toDateTime();
        QVERIFY(last.msecsTo(QDateTime::currentDateTimeUtc()) <=
                RecoveryAutosave::shortestCeilingMs + RecoveryAutosave::quietMs);
        QVERIFY(state.recovery()->path() == path);
    }

    void savingOrUndoingRemovesTheFile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("window.quintarel"));
        const QString project = folder.filePath(QStringLiteral("essai.quintarel"));
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        state.startRecovery(path);
        QSignalSpy written(state.recovery(), &RecoveryAutosave::written);
        CaptureDocument *document = state.document();
        document->captureFrame(MediaTime(1, 30));
        QVERIFY(written.wait(3000));
        QVERIFY(QFileInfo::exists(path));

        state.saveProject(QUrl::fromLocalFile(project));
        QVERIFY(!state.hasUnsavedChanges());
        state.recovery()->waitForWrites();
        QVERIFY(!QFileInfo::exists(path));

        // The saved project's path is in the next file.
        document->captureFrame(MediaTime(2, 30));
        QVERIFY(written.wait(3000));
        QCOMPARE(readBack(path).projectPath, project);

        // Undoing back to the saved state: nothing left to recover.
        document->undoStack()->undo();
        QVERIFY(!state.hasUnsavedChanges());
        state.recovery()->waitForWrites();
        QVERIFY(!QFileInfo::exists(path));

        // A write under way when the work is saved does not bring the file back.
        document->captureFrame(MediaTime(3, 30));
        state.recovery()->writeNow();
        state.saveProject(QUrl::fromLocalFile(project));
        state.recovery()->waitForWrites();
        QTest::qWait(RecoveryAutosave::quietMs + 500);
        QVERIFY(!QFileInfo::exists(path));
    }

    void closingTheWindowRemovesTheFile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("window.quintarel"));
        ExportRuns runs;
        {
            AppState state(&runs, PlayerOutput::Headless);
            state.startRecovery(path);
            QSignalSpy written(state.recovery(), &RecoveryAutosave::written);
            state.document()->captureFrame(MediaTime(1, 30));
            QVERIFY(written.wait(3000));
            QVERIFY(QFileInfo::exists(path));
            // A write still under way when the window goes.
            state.document()->captureFrame(MediaTime(2, 30));
            state.recovery()->writeNow();
        }
        QVERIFY(!QFileInfo::exists(path));
    }

    void twoWindowsKeepTheirOwnFiles()
    {
        QTemporaryDir folder;
        ExportRuns runs;
        AppState first(&runs, PlayerOutput::Headless);
        AppState second(&runs, PlayerOutput::Headless);
        first.startRecovery(folder.filePath(QStringLiteral("first.quintarel")));
        second.startRecovery(folder.filePath(QStringLiteral("second.quintarel")));
        QSignalSpy firstWritten(first.recovery(), &RecoveryAutosave::written);
        QSignalSpy secondWritten(second.recovery(), &RecoveryAutosave::written);
        first.document()->captureFrame(MediaTime(1, 30));
        second.document()->captureFrame(MediaTime(7, 30));
        second.document()->captureFrame(MediaTime(8, 30));
        QVERIFY(firstWritten.wait(3000));
        QVERIFY(secondWritten.size() == 1 || secondWritten.wait(3000));
        compareWithWindow(readBack(first.recovery()->path()), first);
        compareWithWindow(readBack(second.recovery()->path()), second);
    }

    void aFailedWriteIsToldAndTriedAgain()
    {
        QTemporaryDir folder;
        // A file stands where the folder should be.
        QFile blocker(folder.filePath(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        state.startRecovery(folder.filePath(QStringLiteral("blocked/window.quintarel")));
        QSignalSpy failed(state.recovery(), &RecoveryAutosave::writeFailed);
        state.document()->captureFrame(MediaTime(1, 30));
        QVERIFY(failed.wait(3000));
        QVERIFY(!failed.first().at(0).toString().isEmpty());
        QVERIFY(QFile::remove(blocker.fileName()));
        QSignalSpy written(state.recovery(), &RecoveryAutosave::written);
        state.document()->captureFrame(MediaTime(2, 30));
        QVERIFY(written.wait(3000));
    }

    // The work comes back as unsaved work, with its selection, active group and project path; a
    // video that is not there is to be located.
    void restoringBringsTheWorkBack()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("window.quintarel"));
        ExportRuns runs;
        RecoveryFile file;
        {
            AppState state(&runs, PlayerOutput::Headless);
            state.startRecovery(path);
            QSignalSpy written(state.recovery(), &RecoveryAutosave::written);
            CaptureDocument *document = state.document();
            document->captureFrame(MediaTime(10, 30));
            const QUuid kept = document->captureFrame(MediaTime(20, 30));
            document->setNote(QStringLiteral("la bonne"), kept);
            document->addGroup();
            document->captureFrame(MediaTime(30, 30));
            document->setActiveGroup(document->groups().first().id);
            document->setSelection({kept});
            document->setSelectedFilter(FilterStyle::Sketch);
            QVERIFY(written.wait(3000));
            file = readBack(path);
        }
        // The video of this work was never there.
        file.project.videoBookmark = folder.filePath(QStringLiteral("disparue.mp4")).toUtf8();
        file.projectPath = folder.filePath(QStringLiteral("essai.quintarel"));

        AppState restored(&runs, PlayerOutput::Headless);
        restored.restoreRecovery(file);
        const CaptureDocument *document = restored.document();
        QVERIFY(restored.hasUnsavedChanges());
        QCOMPARE(document->groups().size(), 2);
        QCOMPARE(document->indexOfActiveGroup(), 0);
        QCOMPARE(document->selection().size(), 1);
        QCOMPARE(document->frame(*document->selection().begin())->notes, "la bonne");
        QCOMPARE(document->selectedFilter(), FilterStyle::Sketch);
        QCOMPARE(document->projectURL(), QUrl::fromLocalFile(*file.projectPath));
        QVERIFY(document->needsVideo());
        QCOMPARE(document->missingVideoURL().fileName(), "disparue.mp4");
        QVERIFY(restored.errorMessage() && restored.errorMessage()->contains("Localiser la vidéo"));

        // Positions beyond the captures select nothing and break nothing.
        RecoveryFile beyond = file;
        beyond.selection = {{5, 0}, {0, 9}};
        AppState other(&runs, PlayerOutput::Headless);
        other.restoreRecovery(beyond);
        QVERIFY(other.document()->selection().isEmpty());
        QCOMPARE(other.document()->frameCount(), 3);
    }
};

QUINTAREL_TEST(RecoveryAutosaveTest)
#include "RecoveryAutosaveTest.moc"
