#include "TestRegistry.h"

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
};

QUINTAREL_TEST(FrameImageStoreTest)
#include "FrameImageStoreTest.moc"
