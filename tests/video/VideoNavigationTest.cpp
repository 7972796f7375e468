#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/MediaProbe.h"
#include "platform/VideoPlayer.h"
#include "services/VideoFrameExtractorService.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageStore.h"
#include "views/CapturedFramesModel.h"
#include "views/TimeSlider.h"
#include "views/TimelineControlsView.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

using TestMedia::Clip;

Q_DECLARE_METATYPE(TestMedia::Clip)

namespace {

QUrl urlOf(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

// The frame number in the pixels of the still at the time the player reports.
int shownFrame(AppState &state)
{
    if (!TestVideo::settled(state))
        return -3;
    const Result<QImage> image =
        state.playback()->extractor()->image(state.playback()->player()->currentTime()).result();
    if (!image.ok())
        qWarning() << "grab failed at" << state.playback()->player()->currentTime()
                   << image.error().errorDescription();
    return image.ok() ? TestMedia::frameNumber(image.value()) : -2;
}

// The place of the frame whose start is nearest to `seconds`, from the file's own frame times.
int nearestFrame(const QList<MediaTime> &times, double seconds)
{
    int nearest = 0;
    for (int k = 1; k < times.size(); ++k) {
        if (std::abs(times[k].seconds() - seconds) < std::abs(times[nearest].seconds() - seconds))
            nearest = k;
    }
    return nearest;
}

// Four seconds at `rate`, key frames every half second.
QString fourSeconds(const QString &name, const QString &rate, int frameCount, const QString &container)
{
    TestMedia::VideoOptions options;
    options.name = name;
    options.frameRate = rate;
    options.frameCount = frameCount;
    options.keyFrameInterval = 15;
    options.container = container;
    return TestMedia::video(options);
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
        QTest::newRow("avi with b-frames") << Clip::Mpeg4Avi;
    }

    void stepsMoveOneFrameAndStopAtTheEnds()
    {
        QFETCH(Clip, clip);
        const QString path = TestMedia::clip(clip);
        const int last = int(TestMedia::frameTimes(path).size()) - 1;
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, path));
        QCOMPARE(shownFrame(state), 0);

        for (int k = 1; k <= 16; ++k) {
            state.playback()->stepFrame(1);
            QCOMPARE(shownFrame(state), k);
        }
        state.playback()->stepFrame(-1);
        QCOMPARE(shownFrame(state), 15);
        state.playback()->stepFrame(-3);
        QCOMPARE(shownFrame(state), 12);
        // Steps given before the previous one has reached the screen add up.
        state.playback()->stepFrame(-1);
        state.playback()->stepFrame(-1);
        QCOMPARE(shownFrame(state), 10);
        state.playback()->stepFrame(-100);
        QCOMPARE(shownFrame(state), 0);
        state.playback()->stepFrame(-1);
        QCOMPARE(shownFrame(state), 0);

        state.playback()->seek(MediaTime(100, 1));
        QCOMPARE(shownFrame(state), last);
        state.playback()->stepFrame(1);
        QCOMPARE(shownFrame(state), last);
        state.playback()->stepFrame(-1);
        QCOMPARE(shownFrame(state), last - 1);
        QVERIFY(!state.playback()->isPlaying());
    }

    void movesAskedForDuringTheOpeningAreKept()
    {
        // The video is installed, but mpv is still opening it.
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        state.loadVideo(urlOf(TestMedia::clip(Clip::Fps2997)));
        QVERIFY(QTest::qWaitFor([&] { return !state.playback()->videoURL().isEmpty(); }, 30000));
        state.playback()->seek(MediaTime(2, 5));
        state.playback()->stepFrame(2);
        // 0.4 s lies in frame 11 (frame 12 starts at 0.4004 s).
        QCOMPARE(shownFrame(state), 13);
    }

    void intervalStepsLandOnTheNearestFrameAndComeBack_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("29.97") << fourSeconds(QStringLiteral("four-2997"), QStringLiteral("30000/1001"), 120,
                                              QStringLiteral("mp4"));
        QTest::newRow("23.976") << fourSeconds(QStringLiteral("four-23976"), QStringLiteral("24000/1001"), 96,
                                               QStringLiteral("mp4"));
        QTest::newRow("transport stream starting at 1.467 s")
            << fourSeconds(QStringLiteral("four-ts"), QStringLiteral("30"), 120, QStringLiteral("ts"));
    }

    void intervalStepsLandOnTheNearestFrameAndComeBack()
    {
        QFETCH(QString, path);
        const QList<MediaTime> times = TestMedia::frameTimes(path);
        const int last = int(times.size()) - 1;
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, path));

        for (int start : {0, 5, 12, 17}) {
            state.playback()->seek(times[start]);
            QCOMPARE(shownFrame(state), start);
            state.playback()->stepInterval(true);
            QCOMPARE(shownFrame(state), nearestFrame(times, times[start].seconds() + 1));
            state.playback()->stepInterval(false);
            QCOMPARE(shownFrame(state), start);
        }
        // Two steps forth and two back, each waiting for the screen, then given all at once.
        state.playback()->seek(times[12]);
        for (bool forward : {true, true, false, false})
            state.playback()->stepInterval(forward);
        QCOMPARE(shownFrame(state), 12);

        // The ends stop the steps: the first and the last frame.
        state.playback()->seek(times[3]);
        QCOMPARE(shownFrame(state), 3);
        state.playback()->stepInterval(false);
        QCOMPARE(shownFrame(state), 0);
        state.playback()->seek(times[last - 4]);
        QCOMPARE(shownFrame(state), last - 4);
        state.playback()->stepInterval(true);
        QCOMPARE(shownFrame(state), last);
        QCOMPARE(state.playback()->clamp(MediaTime(-1, 1)), times.first());
        QCOMPARE(state.playback()->clamp(times.last() + MediaTime(1, 2)), times.last());
        QCOMPARE(state.playback()->clamp(times[7]), times[7]);
    }

    void timesAreReadFromTheFirstFrame()
    {
        // A transport stream's first frame starts at 1.467 s of its own clock.
        const QString path = TestMedia::clip(Clip::TransportStream);
        const QList<MediaTime> times = TestMedia::frameTimes(path);
        QVERIFY(times.first() > MediaTime(1, 1));
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, path));
        QCOMPARE(state.playback()->startTime(), times.first());
        QCOMPARE(state.playback()->duration(), MediaTime(45, 30));
        QTRY_COMPARE(state.playback()->currentTime(), times.first());
        QCOMPARE(state.playback()->currentTime().measuredFrom(state.playback()->startTime()).displayString(),
                 QStringLiteral("00:00.000"));

        // The time strip reads from the first frame, and its slider seeks from there.
        TimelineControlsView timeline(state.playback(), state.document());
        const QList<QLabel *> labels = timeline.findChildren<QLabel *>();
        QCOMPARE(labels.first()->text(), QStringLiteral("00:00.000"));
        QCOMPARE(labels.last()->text(), QStringLiteral("00:01.500"));
        timeline.slider()->setValue(timeline.slider()->positionForSeconds(1.0));
        QCOMPARE(shownFrame(state), 30);
        QTRY_COMPARE(labels.first()->text(), QStringLiteral("00:01.000"));
        QCOMPARE(timeline.slider()->seconds(), 1.0);

        // A step forward does not jump back to the clamped end, and the times kept are the stream's.
        state.playback()->seek(times[4]);
        state.playback()->stepInterval(true);
        QCOMPARE(shownFrame(state), 34);
        state.captureCurrentFrame();
        QCOMPARE(state.document()->groups().first().frames.first().time, times[34]);
        CapturedFramesModel frames(state.document(), state.images());
        frames.setTimeOrigin(state.playback()->startTime());
        QCOMPARE(frames.index(0, 0, frames.groupIndex(0)).data(CapturedFramesModel::TimeTextRole).toString(),
                 QStringLiteral("00:01.133"));
    }

    void cutFilesPlayWhatTheyHold()
    {
        // Cut at 30 %: the header still claims the whole length.
        const QString path = TestMedia::truncatedCopy(TestMedia::clip(Clip::FastStartMp4), 30);
        const Result<MediaProbe::Info> claimed = MediaProbe::probe(path);
        QVERIFY(claimed.ok());
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, path));
        const FrameIndex *index = state.playback()->player()->frameIndex();
        QCOMPARE(state.playback()->duration(), index->duration());
        QVERIFY(state.playback()->duration() < claimed.value().duration);

        // The end of the slider's range and a step past the end both show the last indexed frame.
        const int lastNumber = int(std::lround(index->seconds(index->count() - 1) * 30));
        state.playback()->seek(state.playback()->startTime() + state.playback()->duration());
        QCOMPARE(shownFrame(state), lastNumber);
        state.playback()->stepFrame(-2);
        QVERIFY(shownFrame(state) < lastNumber);
        state.playback()->stepInterval(true);
        QCOMPARE(shownFrame(state), lastNumber);
    }

    void refusedFilesLeaveTheWindowAsItWas()
    {
        // A window without a video stays without one.
        ExportRuns emptyRuns;
        AppState empty(&emptyRuns, PlayerOutput::Headless);
        empty.loadVideo(urlOf(TestMedia::audioOnly(QStringLiteral("tone"))));
        QTRY_VERIFY_WITH_TIMEOUT(empty.errorMessage().has_value(), 30000);
        QCOMPARE(*empty.errorMessage(),
                 QStringLiteral("Ce fichier ne contient aucune image vidéo : tone.mp4"));
        QVERIFY(empty.playback()->videoURL().isEmpty());
        QVERIFY(!empty.playback()->player()->hasItem());
        empty.clearErrorMessage();
        empty.captureCurrentFrame();
        QCOMPARE(*empty.errorMessage(), QStringLiteral("Aucune vidéo chargée."));

        // A window with a video and captures keeps all of it.
        const QString video = TestMedia::clip(Clip::Fps23976);
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, video));
        TestCaptures::addFrames(state, {{3}});
        state.playback()->stepFrame(5);
        QCOMPARE(shownFrame(state), 5);
        const std::shared_ptr<FrameGrabber> grabber = state.playback()->extractor()->generator();
        const QList<CaptureGroup> groups = state.document()->groups();
        const MediaTime duration = state.playback()->duration();

        TestMedia::VideoOptions oneGroup;
        oneGroup.name = QStringLiteral("one-group");
        oneGroup.frameCount = 10;
        const QStringList refused{TestMedia::notAVideo(), TestMedia::audioOnly(QStringLiteral("tone")),
                                  TestMedia::damagedStartCopy(TestMedia::video(oneGroup))};
        const QStringList messages{
            QStringLiteral("Impossible d'ouvrir la vidéo : notes.mp4 : contenu non reconnu ou endommagé"),
            QStringLiteral("Ce fichier ne contient aucune image vidéo : tone.mp4"),
            QStringLiteral("Impossible d'ouvrir la vidéo : one-group-damaged.mp4 : ")};
        for (int i = 0; i < refused.size(); ++i) {
            state.clearErrorMessage();
            state.loadVideo(urlOf(refused[i]));
            QTRY_VERIFY_WITH_TIMEOUT(state.errorMessage().has_value(), 30000);
            QVERIFY2(state.errorMessage()->startsWith(messages[i]), qPrintable(*state.errorMessage()));
            QCOMPARE(state.playback()->videoURL(), urlOf(video));
            QCOMPARE(state.playback()->player()->path(), video);
            QCOMPARE(state.playback()->extractor()->generator(), grabber);
            QCOMPARE(state.playback()->duration(), duration);
            QCOMPARE(state.document()->groups(), groups);
            QCOMPARE(state.playback()->frameDuration(), MediaTime(1, 24));
        }
        state.playback()->stepFrame(1);
        QCOMPARE(shownFrame(state), 6);
    }

    void aVideoThePlayerCannotPlayLeavesNoVideo()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, TestMedia::clip(Clip::Fps30)));
        TestCaptures::addFrames(state, {{3}});
        // What mpv reports when it cannot play a file.
        state.playback()->player()->replaceCurrentItem(TestMedia::notAVideo());
        QTRY_VERIFY_WITH_TIMEOUT(state.errorMessage().has_value(), 30000);
        QVERIFY2(
            state.errorMessage()->startsWith(QStringLiteral("Impossible de lire cette vidéo : notes.mp4 : ")),
            qPrintable(*state.errorMessage()));
        QVERIFY(state.playback()->videoURL().isEmpty());
        QCOMPARE(state.playback()->duration(), MediaTime::zero());
        const Result<QImage> still = state.playback()->extractor()->image(MediaTime::zero()).result();
        QVERIFY(!still.ok());
        QCOMPARE(still.error().kind(), AppError::Kind::NoVideoLoaded);
        state.captureCurrentFrame();
        QCOMPARE(*state.errorMessage(), QStringLiteral("Aucune vidéo chargée."));
        QCOMPARE(state.document()->allFrames().size(), 1);
    }

    void aStillThatCannotBeMadeIsReported()
    {
        // The first group of pictures is damaged: the video opens, but a frame kept at its first
        // frame's time (as a reopened project keeps it) has no picture.
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, TestMedia::damagedStartCopy(TestMedia::clip(Clip::Fps30))));
        QSignalSpy failures(&state, &AppState::stillFailed);
        TestCaptures::addFrames(state, {{0}});
        const QUuid id = state.document()->allFrames().first().id;
        QVERIFY(failures.wait(30000));
        QCOMPARE(failures.first().first().toUuid(), id);
        QVERIFY(failures.first().at(1).toString().startsWith(
            QStringLiteral("Échec de l'extraction de l'image : ")));
        const FrameImages images = state.images()->images(id);
        QVERIFY(images.hasFailed());
        QVERIFY(!images.hasStill());
    }

    void anOpeningReadsThePacketsOnce()
    {
        const QString path = TestMedia::clip(Clip::Fps30);
        const std::int64_t before = FrameIndex::packetsScanned();
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, path));
        for (int frame : {0, 20, 44})
            QVERIFY(state.playback()->extractor()->image(MediaTime(frame, 30)).result().ok());
        QCOMPARE(FrameIndex::packetsScanned() - before, TestMedia::frameTimes(path).size());
    }

    void observerFollowsPlayback()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, TestMedia::clip(Clip::WithAudio)));
        QVERIFY(TestVideo::settled(state));
        QSignalSpy timeChanges(state.playback(), &Playback::currentTimeChanged);

        state.playback()->togglePlayPause();
        QTRY_VERIFY_WITH_TIMEOUT(state.playback()->isPlaying(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(state.playback()->currentTime() > MediaTime(1, 5), 10000);
        state.playback()->togglePlayPause();
        QTRY_VERIFY_WITH_TIMEOUT(!state.playback()->isPlaying(), 5000);
        QVERIFY(!timeChanges.isEmpty());

        // Paused and settled, nothing changes and no observer is called at all.
        QVERIFY(TestVideo::settled(state));
        QTest::qWait(100);
        int calls = 0;
        const int token = state.playback()->player()->addPeriodicTimeObserver(
            MediaTime(1, 30), [&](const MediaTime &) { ++calls; });
        const MediaTime held = state.playback()->currentTime();
        timeChanges.clear();
        QTest::qWait(300);
        QCOMPARE(calls, 0);
        QCOMPARE(timeChanges.size(), 0);
        QCOMPARE(state.playback()->currentTime(), held);

        // Played to the end, the video pauses on its last frame; playing again starts from the first.
        state.playback()->seek(MediaTime(7, 5));
        QVERIFY(TestVideo::settled(state));
        state.playback()->togglePlayPause();
        QTRY_VERIFY_WITH_TIMEOUT(state.playback()->isPlaying(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!state.playback()->isPlaying(), 10000);
        QCOMPARE(state.playback()->currentTime(), MediaTime(44, 30));
        QVERIFY(calls > 0);
        state.playback()->player()->removeTimeObserver(token);
        state.playback()->togglePlayPause();
        QTRY_VERIFY_WITH_TIMEOUT(state.playback()->isPlaying(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(state.playback()->currentTime() < MediaTime(1, 1), 5000);

        // Stepping pauses a playing video at once.
        state.playback()->stepFrame(1);
        QVERIFY(!state.playback()->isPlaying());
        QCOMPARE(state.playback()->player()->timeControlStatus(), VideoPlayer::TimeControlStatus::Paused);
    }

    void transportDoesNothingWithoutAVideo()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QSignalSpy timeChanges(state.playback(), &Playback::currentTimeChanged);
        QSignalSpy playingChanges(state.playback(), &Playback::isPlayingChanged);
        state.playback()->togglePlayPause();
        state.playback()->stepFrame(1);
        state.playback()->stepInterval(true);
        state.playback()->seek(MediaTime(1, 1));
        QTest::qWait(150);
        QVERIFY(!state.playback()->player()->hasItem());
        QCOMPARE(state.playback()->player()->timeControlStatus(), VideoPlayer::TimeControlStatus::Paused);
        QCOMPARE(state.playback()->currentTime(), MediaTime::zero());
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
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, TestMedia::clip(before)));
        QCOMPARE(state.playback()->frameDuration(), durationBefore);
        QVERIFY(TestVideo::open(state, TestMedia::clip(clip)));
        QCOMPARE(state.playback()->frameDuration(), frameDuration);
        QCOMPARE(state.playback()->frameDuration().timescale(), frameDuration.timescale());
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

        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, path));
        QCOMPARE(shownFrame(state), 0);
        for (int frame : {50, 59, 61, 119, 90}) {
            state.playback()->seek(times[frame]);
            QCOMPARE(shownFrame(state), frame);
        }
        state.playback()->stepFrame(-31);
        QCOMPARE(shownFrame(state), 59);
        state.playback()->stepFrame(1);
        QCOMPARE(shownFrame(state), 60);
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
