#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/FrameGrabber.h"
#include "platform/VideoPlayer.h"
#include "services/VideoFrameExtractorService.h"
#include "state/AppState.h"

#include <QSignalSpy>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

using TestMedia::Clip;

Q_DECLARE_METATYPE(TestMedia::Clip)

namespace {

QUrl urlOf(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

// Waits until the opened video's frame index is built and its first frame is on screen.
bool waitUntilSettled(VideoPlayer *player)
{
    return QTest::qWaitFor([player] { return player->frameIndex() && !player->isSeeking(); }, 20000);
}

// The frame number in the pixels of the still at the time the player reports.
int shownFrame(AppState &state)
{
    if (!waitUntilSettled(state.player()))
        return -3;
    const Result<QImage> image = state.extractor()->image(state.player()->currentTime()).result();
    if (!image.ok())
        qWarning() << "grab failed at" << state.player()->currentTime() << image.error().errorDescription();
    return image.ok() ? TestMedia::frameNumber(image.value()) : -2;
}

} // namespace

class VideoNavigationTest : public QObject
{
    Q_OBJECT

private slots:
    void stepsMoveOneFrameAndStopAtTheEnds_data()
    {
        QTest::addColumn<Clip>("clip");
        QTest::newRow("30") << Clip::Fps30;
        QTest::newRow("audio") << Clip::WithAudio;
        QTest::newRow("29.97") << Clip::Fps2997;
        QTest::newRow("matroska") << Clip::Matroska2997;
        QTest::newRow("transport stream") << Clip::TransportStream;
    }

    void stepsMoveOneFrameAndStopAtTheEnds()
    {
        QFETCH(Clip, clip);
        const QString path = TestMedia::clip(clip);
        const int last = int(TestMedia::frameTimes(path).size()) - 1;
        AppState state(PlayerOutput::Headless);
        state.loadVideo(urlOf(path));
        QCOMPARE(shownFrame(state), 0);

        for (int k = 1; k <= 16; ++k) {
            state.stepFrame(1);
            QCOMPARE(shownFrame(state), k);
        }
        state.stepFrame(-1);
        QCOMPARE(shownFrame(state), 15);
        state.stepFrame(-3);
        QCOMPARE(shownFrame(state), 12);
        // Steps given before the previous one has reached the screen add up.
        state.stepFrame(-1);
        state.stepFrame(-1);
        QCOMPARE(shownFrame(state), 10);
        state.stepFrame(-100);
        QCOMPARE(shownFrame(state), 0);
        state.stepFrame(-1);
        QCOMPARE(shownFrame(state), 0);

        state.seek(MediaTime(100, 1));
        QCOMPARE(shownFrame(state), last);
        state.stepFrame(1);
        QCOMPARE(shownFrame(state), last);
        state.stepFrame(-1);
        QCOMPARE(shownFrame(state), last - 1);
        QVERIFY(!state.isPlaying());
    }

    void movesAskedForDuringTheOpeningAreKept()
    {
        AppState state(PlayerOutput::Headless);
        state.loadVideo(urlOf(TestMedia::clip(Clip::Fps2997)));
        state.seek(MediaTime(2, 5));
        state.stepFrame(2);
        // 0.4 s lies in frame 11 (frame 12 starts at 0.4004 s).
        QCOMPARE(shownFrame(state), 13);
    }

    void intervalStepsClampToTheVideo()
    {
        const QString path = TestMedia::clip(Clip::Fps30);
        AppState state(PlayerOutput::Headless);
        state.loadVideo(urlOf(path));
        QTRY_COMPARE_WITH_TIMEOUT(state.duration(), MediaTime(3, 2), 20000);
        QCOMPARE(state.frameDuration(), MediaTime(1, 30));

        QCOMPARE(state.clamp(MediaTime(-1, 600)), MediaTime::zero());
        QCOMPARE(state.clamp(MediaTime(2, 1)), MediaTime(3, 2));
        QCOMPARE(state.clamp(MediaTime(1, 1)), MediaTime(1, 1));

        state.seek(MediaTime(2, 5));
        QCOMPARE(shownFrame(state), 12);
        state.stepInterval(false);
        QCOMPARE(shownFrame(state), 0);
        QCOMPARE(state.player()->currentTime(), MediaTime::zero());

        state.stepInterval(true);
        QCOMPARE(shownFrame(state), 30);
        // 0.3 s before the end: the step lands on the end, which shows the last frame.
        state.seek(MediaTime(6, 5));
        QCOMPARE(shownFrame(state), 36);
        state.stepInterval(true);
        QCOMPARE(shownFrame(state), 44);
    }

    void seeksAreExactInMpegTransportStreams()
    {
        // Transport streams have no index: mpv must start decoding a whole key-frame interval early.
        TestMedia::VideoOptions options;
        options.name = QStringLiteral("transport-stream-long-gop");
        options.container = QStringLiteral("ts");
        options.frameCount = 120;
        options.keyFrameInterval = 60;
        const QString path = TestMedia::video(options);
        const QList<MediaTime> times = TestMedia::frameTimes(path);
        QCOMPARE(times.size(), 120);

        AppState state(PlayerOutput::Headless);
        state.loadVideo(urlOf(path));
        QCOMPARE(shownFrame(state), 0);
        for (int frame : {50, 59, 61, 119, 90}) {
            state.seek(times[frame]);
            QCOMPARE(shownFrame(state), frame);
        }
        state.stepFrame(-31);
        QCOMPARE(shownFrame(state), 59);
        state.stepFrame(1);
        QCOMPARE(shownFrame(state), 60);
    }

    void observerFollowsPlayback()
    {
        AppState state(PlayerOutput::Headless);
        state.loadVideo(urlOf(TestMedia::clip(Clip::WithAudio)));
        QVERIFY(waitUntilSettled(state.player()));
        QSignalSpy timeChanges(&state, &AppState::currentTimeChanged);

        state.togglePlayPause();
        QTRY_VERIFY_WITH_TIMEOUT(state.isPlaying(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(state.currentTime() > MediaTime(1, 5), 10000);
        state.togglePlayPause();
        QTRY_VERIFY_WITH_TIMEOUT(!state.isPlaying(), 5000);
        QVERIFY(!timeChanges.isEmpty());

        // Paused: the observer keeps firing but reports no change.
        QVERIFY(waitUntilSettled(state.player()));
        QTest::qWait(100);
        const MediaTime held = state.currentTime();
        timeChanges.clear();
        QTest::qWait(200);
        QCOMPARE(timeChanges.size(), 0);
        QCOMPARE(state.currentTime(), held);

        // Stepping pauses a playing video at once.
        state.togglePlayPause();
        QTRY_VERIFY_WITH_TIMEOUT(state.isPlaying(), 5000);
        state.stepFrame(1);
        QVERIFY(!state.isPlaying());
        QCOMPARE(state.player()->timeControlStatus(), VideoPlayer::TimeControlStatus::Paused);
    }

    void transportDoesNothingWithoutAVideo()
    {
        AppState state(PlayerOutput::Headless);
        QSignalSpy timeChanges(&state, &AppState::currentTimeChanged);
        QSignalSpy playingChanges(&state, &AppState::isPlayingChanged);
        state.togglePlayPause();
        state.stepFrame(1);
        state.stepInterval(true);
        state.seek(MediaTime(1, 1));
        QTest::qWait(150);
        QVERIFY(!state.player()->hasItem());
        QCOMPARE(state.player()->timeControlStatus(), VideoPlayer::TimeControlStatus::Paused);
        QCOMPARE(state.currentTime(), MediaTime::zero());
        QCOMPARE(timeChanges.size(), 0);
        QCOMPARE(playingChanges.size(), 0);
        QVERIFY(!state.errorMessage());
    }

    void frameDurationFollowsTheRoundedRate_data()
    {
        QTest::addColumn<Clip>("clip");
        QTest::addColumn<MediaTime>("frameDuration");
        QTest::addColumn<Clip>("before");
        QTest::addColumn<MediaTime>("durationBefore");
        // Each video follows one of another rate, so that its own value has to arrive: 1/30 s is
        // also the frame duration of a window without a video.
        QTest::newRow("29.97") << Clip::Fps2997 << MediaTime(1, 30) << Clip::Fps23976 << MediaTime(1, 24);
        QTest::newRow("23.976") << Clip::Fps23976 << MediaTime(1, 24) << Clip::Fps2997 << MediaTime(1, 30);
    }

    void frameDurationFollowsTheRoundedRate()
    {
        QFETCH(Clip, clip);
        QFETCH(MediaTime, frameDuration);
        QFETCH(Clip, before);
        QFETCH(MediaTime, durationBefore);
        AppState state(PlayerOutput::Headless);
        state.loadVideo(urlOf(TestMedia::clip(before)));
        QTRY_COMPARE_WITH_TIMEOUT(state.frameDuration(), durationBefore, 20000);
        state.loadVideo(urlOf(TestMedia::clip(clip)));
        QTRY_COMPARE_WITH_TIMEOUT(state.frameDuration(), frameDuration, 20000);
        QCOMPARE(state.frameDuration().timescale(), frameDuration.timescale());
    }

    void unreadableFileReportsAndKeepsTheFrameDuration()
    {
        AppState state(PlayerOutput::Headless);
        state.loadVideo(urlOf(TestMedia::clip(Clip::Fps23976)));
        QTRY_COMPARE_WITH_TIMEOUT(state.frameDuration(), MediaTime(1, 24), 20000);

        state.loadVideo(urlOf(TestMedia::notAVideo()));
        QTRY_VERIFY_WITH_TIMEOUT(state.errorMessage().has_value(), 20000);
        QVERIFY2(state.errorMessage()->startsWith(QStringLiteral("Échec de l'extraction de l'image : ")),
                 qPrintable(*state.errorMessage()));
        QVERIFY(state.errorMessage()->contains(QStringLiteral("Invalid data found when processing input")));
        QCOMPARE(state.frameDuration(), MediaTime(1, 24));
        // The player stays usable and inert.
        state.stepFrame(1);
        state.togglePlayPause();
        QCOMPARE(state.player()->currentTime(), MediaTime::zero());
    }

    void requestsInFlightFinishAgainstTheirVideo()
    {
        VideoFrameExtractorService extractor;
        const Result<QImage> none = extractor.image(MediaTime::zero()).result();
        QVERIFY(!none.ok());
        QCOMPARE(none.error().errorDescription(), QStringLiteral("Aucune vidéo chargée."));

        extractor.setGenerator(std::make_shared<FrameGrabber>(TestMedia::clip(Clip::Fps30)));
        QFuture<Result<QImage>> first = extractor.image(MediaTime(10, 30));
        QFuture<Result<QImage>> second = extractor.image(MediaTime(20, 30));
        TestMedia::VideoOptions large;
        large.name = QStringLiteral("large");
        large.size = QSize(640, 360);
        large.frameCount = 10;
        extractor.setGenerator(std::make_shared<FrameGrabber>(TestMedia::video(large)));
        QFuture<Result<QImage>> third = extractor.image(MediaTime(5, 30));

        QVERIFY(first.result().ok() && second.result().ok() && third.result().ok());
        QCOMPARE(first.result().value().size(), QSize(320, 240));
        QCOMPARE(TestMedia::frameNumber(first.result().value()), 10);
        QCOMPARE(TestMedia::frameNumber(second.result().value()), 20);
        QCOMPARE(third.result().value().size(), QSize(640, 360));
        QCOMPARE(TestMedia::frameNumber(third.result().value()), 5);

        // From a worker thread, waiting on the future there.
        const int fromWorker = QtConcurrent::run([&extractor] {
                                   const Result<QImage> image = extractor.image(MediaTime(7, 30)).result();
                                   return image.ok() ? TestMedia::frameNumber(image.value()) : -1;
                               }).result();
        QCOMPARE(fromWorker, 7);
    }
};

QUINTAREL_TEST(VideoNavigationTest)
#include "VideoNavigationTest.moc"
