#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/VideoPlayer.h"
#include "state/AppState.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A window showing frame 12 of a 30 fps video, paused.
void openAtFrame12(AppState &state)
{
    state.loadVideo(QUrl::fromLocalFile(TestMedia::clip(TestMedia::Clip::Fps30)));
    QVERIFY(
        QTest::qWaitFor([&] { return state.player()->frameIndex() && !state.player()->isSeeking(); }, 20000));
    state.seek(MediaTime(12, 30));
    QVERIFY(QTest::qWaitFor([&] { return !state.player()->isSeeking(); }, 20000));
}

bool finished(const AppState &state, const QUuid &id)
{
    const std::optional<CapturedFrame> frame = state.frame(id);
    return frame && frame->subjectExtracted;
}

} // namespace

class CaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void capturesTheShownFrameTwice()
    {
        AppState state(PlayerOutput::Headless);
        openAtFrame12(state);
        state.captureCurrentFrame();
        state.captureCurrentFrame();

        const QList<CapturedFrame> frames = state.groups()[0].frames;
        QCOMPARE(frames.size(), 2);
        QVERIFY(frames[0].id != frames[1].id);
        QCOMPARE(frames[0].time, MediaTime(12, 30));
        QCOMPARE(frames[1].time, frames[0].time);
        QCOMPARE(state.selection(), QSet<QUuid>{frames[1].id});

        for (const CapturedFrame &frame : frames) {
            QTRY_VERIFY_WITH_TIMEOUT(finished(state, frame.id), 120000);
            const CapturedFrame done = *state.frame(frame.id);
            QVERIFY(done.hasThumbnail());
            QCOMPARE(TestMedia::frameNumber(done.thumbnail), 12);
            if (done.hasSubjectPreview())
                QCOMPARE(done.subjectPreview.size(), done.thumbnail.size());
        }
    }

    void backgroundResultsFollowTheFrameById()
    {
        AppState state(PlayerOutput::Headless);
        openAtFrame12(state);
        state.addGroup();
        const QUuid firstGroup = state.groups()[0].id;
        const QUuid secondGroup = state.groups()[1].id;
        state.setActiveGroup(firstGroup);

        state.captureCurrentFrame();
        state.captureCurrentFrame();
        const QUuid doomed = state.groups()[0].frames[0].id;
        const QUuid moved = state.groups()[0].frames[1].id;

        // Both changes happen while the still and the cut-out are still being made.
        state.deleteFrame(doomed);
        state.moveFrame(moved, secondGroup);
        QVERIFY(!state.frame(moved)->hasThumbnail());

        QTRY_VERIFY_WITH_TIMEOUT(finished(state, moved), 120000);
        QVERIFY(state.frame(moved)->hasThumbnail());
        QCOMPARE(state.groups()[1].frames.size(), 1);
        QVERIFY(state.groups()[0].frames.isEmpty());
        QTest::qWait(200);
        QVERIFY(!state.frame(doomed));
    }

    void capturesIntoTheFirstGroupWhenTheActiveOneIsGone()
    {
        AppState state(PlayerOutput::Headless);
        openAtFrame12(state);
        state.addGroup();
        state.setActiveGroup(QUuid::createUuid());
        state.captureCurrentFrame();
        QCOMPARE(state.groups()[0].frames.size(), 1);
        QCOMPARE(state.groups()[1].frames.size(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(finished(state, state.groups()[0].frames[0].id), 120000);
    }

    void needsAVideo()
    {
        AppState state(PlayerOutput::Headless);
        QSignalSpy groupsSpy(&state, &AppState::groupsChanged);
        state.captureCurrentFrame();
        QCOMPARE(state.errorMessage(), QStringLiteral("Aucune vidéo chargée."));
        QCOMPARE(groupsSpy.count(), 0);
    }
};

QUINTAREL_TEST(CaptureTest)
#include "CaptureTest.moc"
