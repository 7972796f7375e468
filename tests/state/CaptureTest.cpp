#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "services/LiftedFrameCache.h"
#include "services/SubjectExtractionService.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

// A window showing frame 12 of a 30 fps video, paused. It keeps no liftings on disk, so that every
// capture is grabbed and lifted.
void openAtFrame12(AppState &state)
{
    state.imageMaker()->setCache(nullptr);
    state.loadVideo(QUrl::fromLocalFile(TestMedia::clip(TestMedia::Clip::Fps30)));
    QVERIFY(QTest::qWaitFor(
        [&] {
            return state.playback()->player()->frameIndex() &&
                   state.playback()->player()->frameIndex()->isComplete() &&
                   !state.playback()->player()->isSeeking();
        },
        20000));
    state.playback()->seek(MediaTime(12, 30));
    QVERIFY(QTest::qWaitFor([&] { return !state.playback()->player()->isSeeking(); }, 20000));
}

bool finished(const AppState &state, const QUuid &id)
{
    return state.images()->images(id).isFinished();
}

} // namespace

class CaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void capturesTheShownFrameTwice()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        openAtFrame12(state);
        state.captureCurrentFrame();
        state.captureCurrentFrame();

        const QList<CapturedFrame> frames = state.document()->groups()[0].frames;
        QCOMPARE(frames.size(), 2);
        QVERIFY(frames[0].id != frames[1].id);
        QCOMPARE(frames[0].time, MediaTime(12, 30));
        QCOMPARE(frames[1].time, frames[0].time);
        QCOMPARE(state.document()->selection(), QSet<QUuid>{frames[1].id});

        for (const CapturedFrame &frame : frames) {
            QTRY_VERIFY_WITH_TIMEOUT(finished(state, frame.id), 120000);
            const FrameImages done = state.images()->images(frame.id);
            QVERIFY(done.hasStill());
            QVERIFY(!done.hasFailed());
            QCOMPARE(TestMedia::frameNumber(done.still), 12);
            if (done.hasSubject())
                QCOMPARE(done.subject.size(), done.still.size());
        }
    }

    void backgroundResultsFollowTheFrameById()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        openAtFrame12(state);
        state.document()->addGroup();
        const QUuid firstGroup = state.document()->groups()[0].id;
        const QUuid secondGroup = state.document()->groups()[1].id;
        state.document()->setActiveGroup(firstGroup);

        state.captureCurrentFrame();
        state.captureCurrentFrame();
        const QUuid doomed = state.document()->groups()[0].frames[0].id;
        const QUuid moved = state.document()->groups()[0].frames[1].id;

        // Both changes happen while the still and the cut-out are still being made.
        state.document()->deleteFrame(doomed);
        state.document()->moveFrame(moved, secondGroup);
        QVERIFY(!state.images()->images(moved).hasStill());
        QVERIFY(!state.images()->isTracked(doomed));

        QTRY_VERIFY_WITH_TIMEOUT(finished(state, moved), 120000);
        QVERIFY(state.images()->images(moved).hasStill());
        // The deleted frame left the line before its lifting.
        QCOMPARE(state.imageMaker()->subjectExtractor()->liftCount(), 1u);
        QCOMPARE(state.document()->groups()[1].frames.size(), 1);
        QVERIFY(state.document()->groups()[0].frames.isEmpty());
        QTest::qWait(200);
        QVERIFY(!state.document()->frame(doomed));
        QVERIFY(!state.images()->isTracked(doomed));
    }

    // Undoing a deletion brings the frame back with its pictures, taken from the lifting kept on
    // disk instead of lifting it again; undoing the capture itself forgets them.
    void framesBroughtBackByUndoGetTheirPicturesAgain()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        openAtFrame12(state);
        QTemporaryDir cacheFolder;
        state.imageMaker()->setCache(std::make_shared<LiftedFrameCache>(cacheFolder.path()));
        state.captureCurrentFrame();
        const QUuid frame = state.document()->groups()[0].frames[0].id;
        QTRY_VERIFY_WITH_TIMEOUT(finished(state, frame), 120000);
        const FrameImages first = state.images()->images(frame);
        QCOMPARE(TestMedia::frameNumber(first.still), 12);
        const quint64 lifts = state.imageMaker()->subjectExtractor()->liftCount();
        QCOMPARE(lifts, 1u);
        // The entry reaches the disk in the background.
        QTRY_COMPARE_WITH_TIMEOUT(QDir(cacheFolder.path()).entryList(QDir::Files).size(), 1, 30000);

        state.document()->deleteFrame(frame);
        QVERIFY(!state.images()->isTracked(frame));
        state.document()->undoStack()->undo();
        QVERIFY(state.images()->isTracked(frame));
        QTRY_VERIFY_WITH_TIMEOUT(finished(state, frame), 120000);
        const FrameImages again = state.images()->images(frame);
        QCOMPARE(again.extraction, first.extraction);
        QCOMPARE(again.mask, first.mask);
        QCOMPARE(again.thumbnail, first.thumbnail);
        QCOMPARE(state.imageMaker()->subjectExtractor()->liftCount(), lifts);

        state.document()->undoStack()->undo(); // the capture
        QVERIFY(state.document()->groups()[0].frames.isEmpty());
        QVERIFY(!state.images()->isTracked(frame));
    }

    void capturesIntoTheFirstGroupWhenTheActiveOneIsGone()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        openAtFrame12(state);
        state.document()->addGroup();
        state.document()->setActiveGroup(QUuid::createUuid());
        state.captureCurrentFrame();
        QCOMPARE(state.document()->groups()[0].frames.size(), 1);
        QCOMPARE(state.document()->groups()[1].frames.size(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(finished(state, state.document()->groups()[0].frames[0].id), 120000);
    }

    void needsAVideo()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QSignalSpy groupsSpy(state.document(), &CaptureDocument::groupsChanged);
        state.captureCurrentFrame();
        QCOMPARE(state.errorMessage(), QStringLiteral("Aucune vidéo chargée."));
        QCOMPARE(groupsSpy.count(), 0);
    }
};

QUINTAREL_TEST(CaptureTest)
#include "CaptureTest.moc"
