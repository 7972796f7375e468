#include "TestRegistry.h"

#include "services/LiftedFrame.h"
#include "services/VideoFrameExtractorService.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QImage picture(int width)
{
    QImage image(width, 10, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::red);
    return image;
}

} // namespace

class FrameImageStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void resultsReachOnlyTheCurrentEntry()
    {
        FrameImageStore store;
        QSignalSpy changed(&store, &FrameImageStore::imagesChanged);
        const QUuid frame = QUuid::createUuid();
        QVERIFY(!store.isTracked(frame));
        QVERIFY(!store.images(frame).isFinished());

        // Results for a frame the store does not track are dropped.
        store.setStill(frame, 1, picture(4));
        QVERIFY(!store.isTracked(frame));
        QCOMPARE(changed.count(), 0);

        const FrameImageStore::Ticket first = store.track(frame);
        QVERIFY(store.hasPendingFrames());
        store.setStill(frame, first, picture(4));
        QCOMPARE(store.images(frame).still.width(), 4);
        QVERIFY(!store.images(frame).isFinished());

        // Forgotten, then tracked again (a deleted frame brought back): the old work's results no
        // longer count, the new work's do.
        store.forget(frame);
        QVERIFY(!store.isTracked(frame));
        const FrameImageStore::Ticket second = store.track(frame);
        QVERIFY(second != first);
        QVERIFY(!store.isCurrent(frame, first));
        store.setSubject(frame, first, picture(4));
        QVERIFY(!store.images(frame).hasSubject());
        store.setSubject(frame, second, picture(8));
        QCOMPARE(store.images(frame).subject.width(), 8);
        QCOMPARE(store.images(frame).extraction, FrameImages::Extraction::Lifted);
        QVERIFY(!store.hasPendingFrames());
        QVERIFY(changed.count() >= 4);
        QCOMPARE(changed.last().first().toUuid(), frame);
    }

    // A failure keeps what was made before it; a cleared store takes no more results.
    void failuresAndClearing()
    {
        FrameImageStore store;
        const QUuid frame = QUuid::createUuid();
        const FrameImageStore::Ticket ticket = store.track(frame);
        store.setStill(frame, ticket, picture(4));
        store.setFailed(frame, ticket, QStringLiteral("Aucune vidéo chargée."));
        const FrameImages failure = store.images(frame);
        QVERIFY(failure.hasFailed() && failure.isFinished());
        QCOMPARE(failure.failure, QStringLiteral("Aucune vidéo chargée."));
        QVERIFY(failure.hasStill());

        store.clear();
        QVERIFY(store.trackedFrames().isEmpty());
        store.setSubject(frame, ticket, picture(4));
        QVERIFY(!store.isTracked(frame));
    }

    // A still that cannot be grabbed ends the frame's waiting with the reason, instead of leaving
    // it pending for ever.
    void aStillThatCannotBeMadeEndsInAFailure()
    {
        VideoFrameExtractorService extractor; // no video
        FrameImageStore store;
        FrameImageMaker maker(&extractor, &store);
        const QUuid frame = QUuid::createUuid();
        maker.make(frame, MediaTime(1, 30));
        QVERIFY(store.isTracked(frame));
        QTRY_VERIFY(store.images(frame).isFinished());
        QVERIFY(store.images(frame).hasFailed());
        QCOMPARE(store.images(frame).failure, QStringLiteral("Aucune vidéo chargée."));
        QVERIFY(!store.hasPendingFrames());
    }

    // Full-size pictures are let go, those made or asked for least recently first, to stay within
    // the budget; what the list shows and the masks stay. A cut-out let go is asked for again once.
    void fullSizePicturesStayWithinTheBudget()
    {
        FrameImageStore store;
        const qint64 still = picture(400).sizeInBytes();
        store.setMemoryBudget(5 * still);
        QList<QUuid> frames;
        LiftedFrame lifted;
        lifted.hasSubject = true;
        lifted.mask = QByteArrayLiteral("mask");
        lifted.thumbnail = picture(40);
        lifted.subjectThumbnail = picture(40);
        for (int i = 0; i < 3; ++i) {
            frames << QUuid::createUuid();
            const FrameImageStore::Ticket ticket = store.track(frames[i]);
            store.setStill(frames[i], ticket, picture(400));
            store.setLifted(frames[i], ticket, lifted);
            store.setSubject(frames[i], ticket, picture(400));
            QVERIFY(store.memoryUsed() <= store.memoryBudget());
        }
        // Two frames' pictures fit: the first frame's went.
        QCOMPARE(store.memoryUsed(), 4 * still);
        const FrameImages first = store.images(frames[0]);
        QVERIFY(!first.hasStill() && !first.hasSubject());
        QVERIFY(first.isLifted() && first.hasThumbnail() && !first.subjectThumbnail.isNull());
        QCOMPARE(first.mask, lifted.mask);
        QVERIFY(store.images(frames[1]).hasSubject() && store.images(frames[2]).hasSubject());

        // Asked for, the first frame's cut-out is wanted once, however often it is asked for, and
        // the second frame, now used least recently, makes room for it.
        QSignalSpy wanted(&store, &FrameImageStore::picturesWanted);
        store.request(frames[0]);
        store.request(frames[0]);
        QCOMPARE(wanted.count(), 1);
        QCOMPARE(wanted.first().first().toUuid(), frames[0]);
        store.request(frames[2]); // held: nothing to make
        QCOMPARE(wanted.count(), 1);
        const FrameImageStore::Ticket ticket = store.ticket(frames[0]);
        store.setStill(frames[0], ticket, picture(400));
        store.setSubject(frames[0], ticket, picture(400));
        QVERIFY(store.images(frames[0]).hasSubject());
        QVERIFY(!store.images(frames[1]).hasSubject());
        QVERIFY(store.images(frames[2]).hasSubject());
        QCOMPARE(store.memoryUsed(), 4 * still);

        // Forgetting a frame gives its share back; a smaller budget lets go at once.
        store.forget(frames[2]);
        QCOMPARE(store.memoryUsed(), 2 * still);
        store.setMemoryBudget(still);
        QCOMPARE(store.memoryUsed(), 0);
        QVERIFY(store.images(frames[0]).isLifted());
    }
};

QUINTAREL_TEST(FrameImageStoreTest)
#include "FrameImageStoreTest.moc"
