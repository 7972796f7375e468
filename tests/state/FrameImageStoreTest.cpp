#include "TestRegistry.h"

#include "services/LiftedFrame.h"
#include "services/LiftedFrameCache.h"
#include "services/VideoFrameExtractorService.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"
#include "state/FrameWorkQueue.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage picture(int width)
{
    QImage image(width, 10, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::red);
    return image;
}

LiftedFrame liftedRecord(const QByteArray &mask, bool subject = true)
{
    LiftedFrame lifted;
    lifted.hasSubject = subject;
    lifted.frameSize = QSize(400, 10);
    lifted.mask = mask;
    lifted.thumbnail = picture(40);
    if (subject)
        lifted.subjectThumbnail = picture(40);
    return lifted;
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

    // Masks the disk keeps are held only for the frames used last; the others are read back from
    // the disk, byte for byte. A mask only memory holds is never let go, and a new lifting replaces
    // the kept one.
    void masksOnDiskAreHeldOnlyForTheLastUsed()
    {
        QTemporaryDir folder;
        const auto cache = std::make_shared<LiftedFrameCache>(folder.path());
        FrameImageStore store;
        QList<QUuid> frames;
        const int count = FrameImageStore::MasksHeld + 5;
        for (int i = 0; i < count; ++i) {
            frames << QUuid::createUuid();
            const QByteArray mask = "mask " + QByteArray::number(i);
            const LiftedFrame lifted = liftedRecord(mask, i % 2 == 0);
            const QByteArray key = "key " + QByteArray::number(i);
            QVERIFY(!cache->store(key, lifted));
            const FrameImageStore::Ticket ticket = store.track(frames[i]);
            store.setLifted(frames[i], ticket, lifted);
            QCOMPARE(store.images(frames[i]).mask, mask);
            if (i != 3)
                store.setMaskKept(frames[i], ticket, cache, key);
        }
        QCOMPARE(store.heldMaskCount(), FrameImageStore::MasksHeld);
        for (int i = 0; i < count; ++i) {
            const FrameImages images = store.images(frames[i]);
            QVERIFY(images.hasMask());
            QCOMPARE(images.isLifted(), i % 2 == 0);
            // The first ones went (but the one only memory holds), the last ones stay.
            QCOMPARE(images.mask.isEmpty(), i < 5 && i != 3);
            const KeptMask kept = store.keptMask(frames[i]);
            QCOMPARE(kept.isInMemory(), !images.mask.isEmpty());
            QCOMPARE(kept.bytes(), "mask " + QByteArray::number(i));
        }
        QVERIFY(!store.hasPendingFrames());

        // Lifted again: the new mask is the frame's, and nothing is read from the old entry.
        const FrameImageStore::Ticket ticket = store.ticket(frames[0]);
        store.setLifted(frames[0], ticket, liftedRecord("again"));
        QCOMPARE(store.keptMask(frames[0]).bytes(), QByteArrayLiteral("again"));
        QVERIFY(store.keptMask(frames[0]).isInMemory());
        QVERIFY(store.images(frames[0]).lifting > store.images(frames[count - 1]).lifting);
        // Entries the cache has lost read as no mask; a frame never lifted has none.
        for (const QFileInfo &entry : QDir(folder.path()).entryInfoList(QDir::Files))
            QVERIFY(QFile::remove(entry.filePath()));
        QVERIFY(store.keptMask(frames[1]).bytes().isEmpty());
        QCOMPARE(store.keptMask(frames[count - 1]).bytes(), "mask " + QByteArray::number(count - 1));
        const QUuid pending = QUuid::createUuid();
        store.track(pending);
        QVERIFY(store.keptMask(pending).isEmpty() && !store.images(pending).hasMask());
        QVERIFY(store.hasPendingFrames());
        store.forget(pending);
        QVERIFY(!store.hasPendingFrames());
    }

    // Small pictures are held for the rows near those shown and for the frames made last; others,
    // whose pictures the disk keeps and which have no corrections, let them go and ask for them
    // again when they come near the rows shown.
    void smallPicturesFollowTheRowsShown()
    {
        QTemporaryDir folder;
        const auto cache = std::make_shared<LiftedFrameCache>(folder.path());
        FrameImageStore store;
        QSignalSpy wanted(&store, &FrameImageStore::thumbnailsWanted);
        QList<QUuid> frames;
        const int count = FrameImageStore::ThumbnailsHeld + 30;
        for (int i = 0; i < count; ++i)
            frames << QUuid::createUuid();
        // Near the rows shown from the start: frames 0 to 9.
        store.setFramesInView(frames.mid(0, 3), QSet<QUuid>(frames.cbegin(), frames.cbegin() + 10));
        for (int i = 0; i < count; ++i) {
            const FrameImageStore::Ticket ticket = store.track(frames[i]);
            store.setLifted(frames[i], ticket, liftedRecord("mask"));
            if (i == 12)
                store.setCorrected(frames[i], ticket, {CutoutCorrection::addSubjectInBox({0, 0}, {1, 1})},
                                   "corrected", picture(400));
            if (i != 15)
                store.setMaskKept(frames[i], ticket, cache, "key");
        }
        QCOMPARE(store.heldThumbnailCount(), FrameImageStore::ThumbnailsHeld);
        for (int i = 0; i < count; ++i) {
            const FrameImages images = store.images(frames[i]);
            const bool kept = i < 10 || i == 12 || i == 15 || i >= 10 + 3 + 30 - 1;
            QCOMPARE(images.hasThumbnail(), kept);
            QCOMPARE(images.thumbnailsLetGo, !kept);
            QVERIFY(images.isFinished());
        }
        QCOMPARE(wanted.count(), 0);

        // Scrolled to frames 20 to 29: those let go are asked for, once per change of view.
        store.setFramesInView(frames.mid(20, 5), QSet<QUuid>(frames.cbegin() + 20, frames.cbegin() + 30));
        QCOMPARE(wanted.count(), 10);
        store.setFramesInView(frames.mid(20, 5), QSet<QUuid>(frames.cbegin() + 20, frames.cbegin() + 30));
        QCOMPARE(wanted.count(), 10);
        const FrameImageStore::Ticket ticket = store.ticket(frames[20]);
        store.setThumbnails(frames[20], ticket, picture(40), picture(40));
        QVERIFY(store.images(frames[20]).hasThumbnail() && !store.images(frames[20]).thumbnailsLetGo);
        // Back near the rows shown, frame 20 keeps them; the oldest far one went in its place:
        // frame 0, no longer near the rows shown.
        QCOMPARE(store.heldThumbnailCount(), FrameImageStore::ThumbnailsHeld);
        QVERIFY(store.images(frames[0]).thumbnailsLetGo && store.images(frames[1]).hasThumbnail());
        // Small pictures that come for a frame not asking are ignored.
        store.setThumbnails(frames[50], store.ticket(frames[50]), picture(8), picture(8));
        QCOMPARE(store.images(frames[50]).thumbnail.width(), 40);
        store.setThumbnails(frames[20], ticket, picture(8), picture(8));
        QCOMPARE(store.images(frames[20]).thumbnail.width(), 40);
    }

    // The lines of waiting frames: rows shown first in their order, then the selected frames, then
    // those near the rows shown, then the rest in the order they came; each frame once.
    void waitingFramesAreTakenInTheOrderOfAttention()
    {
        QList<QUuid> frames;
        for (int i = 0; i < 8; ++i)
            frames << QUuid::createUuid();
        FrameWorkQueue line;
        for (const QUuid &frame : frames)
            line.add(frame);
        line.add(frames[0]);
        QCOMPARE(line.size(), 8);
        line.remove(frames[1]);
        const QList<QUuid> visible{frames[6], frames[5]};
        const QSet<QUuid> selected{frames[7]};
        const QSet<QUuid> nearby{frames[4], frames[5], frames[6]};
        const FrameWorkQueue::Attention attention{visible, selected, nearby};
        QList<QUuid> taken;
        while (!line.isEmpty())
            taken << line.take(attention);
        QCOMPARE(taken,
                 (QList<QUuid>{frames[6], frames[5], frames[7], frames[4], frames[0], frames[2], frames[3]}));
        QVERIFY(line.take(attention).isNull());
        // Taken, then added again: it waits once more, at the end.
        line.add(frames[2]);
        line.add(frames[0]);
        QCOMPARE(line.take(attention), frames[2]);
        QCOMPARE(line.take(attention), frames[0]);
        QVERIFY(line.isEmpty());
    }
};

QUINTAREL_TEST(FrameImageStoreTest)
#include "FrameImageStoreTest.moc"
