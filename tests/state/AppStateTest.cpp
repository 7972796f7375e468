#include "TestRegistry.h"

#include "state/AppState.h"

#include <QSignalSpy>
#include <QTest>

namespace {

CapturedFrame frameAt(int value)
{
    return CapturedFrame(MediaTime(value, 30));
}

} // namespace

class AppStateTest : public QObject
{
    Q_OBJECT

private slots:
    void startsWithOneActiveCapturesGroup()
    {
        AppState state;
        QCOMPARE(state.groups().size(), 1);
        QCOMPARE(state.groups().first().name, QStringLiteral("Captures"));
        QCOMPARE(state.activeGroupID(), state.groups().first().id);
        QVERIFY(!state.previewFrame());
        QCOMPARE(state.videoName(), QStringLiteral("video"));
        QCOMPARE(state.frameDuration(), MediaTime(1, 30));
        QCOMPARE(state.edgeOptions().signature(), QStringLiteral("0.0-0.0-0-6.0-1.00,1.00,1.00,1.00"));
        QVERIFY(!state.errorMessage());
        QVERIFY(state.outputFolder().isEmpty());
    }

    void videoNameDropsOnlyTheLastExtension()
    {
        AppState state;
        state.setVideoURL(QUrl::fromLocalFile(QStringLiteral("/films/clip.final.mov")));
        QCOMPARE(state.videoName(), QStringLiteral("clip.final"));
        state.setVideoURL(QUrl::fromLocalFile(QStringLiteral("/films/rushes")));
        QCOMPARE(state.videoName(), QStringLiteral("rushes"));
    }

    void previewFrameFallsBackToTheLastFrame()
    {
        AppState state;
        state.addGroup();
        QList<CaptureGroup> groups = state.groups();
        groups[0].frames << frameAt(1) << frameAt(2);
        groups[1].frames << frameAt(3);
        state.setGroups(groups);
        QCOMPARE(state.previewFrame()->id, groups[1].frames.last().id);

        groups[1].frames.clear();
        state.setGroups(groups);
        QCOMPARE(state.previewFrame()->id, groups[0].frames.last().id);

        state.setSelection({groups[0].frames.first().id});
        QCOMPARE(state.previewFrame()->id, groups[0].frames.first().id);

        // A selection naming only a deleted frame falls back to the last frame.
        state.setSelection({QUuid::createUuid()});
        QCOMPARE(state.previewFrame()->id, groups[0].frames.last().id);
    }

    void notifiesOnlyRealChanges()
    {
        AppState state;
        QSignalSpy groupsSpy(&state, &AppState::groupsChanged);
        QSignalSpy folderSpy(&state, &AppState::outputFolderChanged);
        QSignalSpy edgeSpy(&state, &AppState::edgeOptionsChanged);
        QSignalSpy progressSpy(&state, &AppState::progressChanged);
        QSignalSpy timeSpy(&state, &AppState::currentTimeChanged);

        const QList<CaptureGroup> identical = state.groups();
        state.setGroups(identical);
        QCOMPARE(groupsSpy.count(), 0);

        QList<CaptureGroup> renamed = state.groups();
        renamed[0].name = QStringLiteral("Plans larges");
        state.setGroups(renamed);
        QCOMPARE(groupsSpy.count(), 1);

        // A copy differing only in frame content is stored silently.
        QList<CaptureGroup> withFrame = state.groups();
        withFrame[0].frames << frameAt(1);
        state.setGroups(withFrame);
        QCOMPARE(groupsSpy.count(), 2);
        withFrame[0].frames[0].notes = QStringLiteral("note");
        state.setGroups(withFrame);
        QCOMPARE(groupsSpy.count(), 2);
        QCOMPARE(state.groups()[0].frames[0].notes, QStringLiteral("note"));

        const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/tmp/export"));
        state.setOutputFolder(folder);
        state.setOutputFolder(folder);
        QCOMPARE(folderSpy.count(), 1);

        state.setEdgeOptions(state.edgeOptions());
        state.setEdgeOptions(state.edgeOptions());
        QCOMPARE(edgeSpy.count(), 2);
        state.setProgress(state.progress());
        QCOMPARE(progressSpy.count(), 1);

        state.setCurrentTime(MediaTime(2, 60));
        state.setCurrentTime(MediaTime(1, 30));
        QCOMPARE(timeSpy.count(), 1);
    }

    void inPlaceFrameChangesAlwaysNotify()
    {
        AppState state;
        QList<CaptureGroup> groups = state.groups();
        groups[0].frames << frameAt(1);
        state.setGroups(groups);
        const QUuid id = groups[0].frames[0].id;

        QSignalSpy groupsSpy(&state, &AppState::groupsChanged);
        state.setNote(QStringLiteral("regard caméra"), id);
        QCOMPARE(groupsSpy.count(), 1);
        QCOMPARE(state.frame(id)->notes, QStringLiteral("regard caméra"));

        state.setNote(QStringLiteral("ignored"), QUuid::createUuid());
        QCOMPARE(groupsSpy.count(), 1);
    }
};

QUINTAREL_TEST(AppStateTest)
#include "AppStateTest.moc"
