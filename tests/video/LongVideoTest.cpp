#include "TestMedia.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/FrameIndexer.h"
#include "platform/VideoPlayer.h"
#include "services/VideoFrameExtractorService.h"
#include "state/AppState.h"
#include "state/ExportRuns.h"

#include <QFileInfo>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <condition_variable>
#include <mutex>

using TestMedia::Clip;

namespace {

// Holds an indexer's reading at chosen packets until the test lets it go on.
class ScanGate
{
public:
    explicit ScanGate(QList<std::int64_t> stops) : m_stops(std::move(stops)) {}

    FrameIndexer::Options options()
    {
        FrameIndexer::Options options;
        // A part after every few packets, so that the part at a stop reaches close to it.
        options.firstPartMs = 0;
        options.partIntervalMs = 0;
        options.afterPacket = [this](std::int64_t packets) {
            std::unique_lock lock(m_mutex);
            if (m_stops.isEmpty() || packets != m_stops.first())
                return;
            m_held = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_held; });
            m_stops.removeFirst();
        };
        return options;
    }
    // Waits until the reading stands at the next stop.
    bool waitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [this] { return m_held; });
    }
    void release()
    {
        const std::lock_guard lock(m_mutex);
        m_held = false;
        m_changed.notify_all();
    }
    ~ScanGate()
    {
        const std::lock_guard lock(m_mutex);
        m_stops.clear();
        m_held = false;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<std::int64_t> m_stops;
    bool m_held = false;
};

int grabbedNumber(FrameGrabber &grabber, const MediaTime &time)
{
    const Result<QImage> image = grabber.image(time);
    if (!image.ok()) {
        qWarning() << image.error().errorDescription();
        return -2;
    }
    return TestMedia::frameNumber(image.value());
}

QList<MediaTime> indexTimes(const FrameIndex &index)
{
    QList<MediaTime> times;
    for (int k = 0; k < index.count(); ++k)
        times.append(index.time(k));
    return times;
}

// Frames with a pause in the middle: 20 frames at 30 fps, then a gap of ten frames, as phones
// record when the scene stops changing.
QString variableRateVideo()
{
    TestMedia::VideoOptions options;
    options.name = QStringLiteral("variable-rate");
    options.frameCount = 40;
    options.keyFrameInterval = 15;
    options.outputArguments = {QStringLiteral("-vf"), QStringLiteral("setpts='if(lt(N,20),N,N+10)/30/TB'"),
                               QStringLiteral("-fps_mode"), QStringLiteral("passthrough")};
    return TestMedia::video(options);
}

QString hevcVideo()
{
    TestMedia::VideoOptions options;
    options.name = QStringLiteral("hevc-bframes");
    options.frameCount = 40;
    options.keyFrameInterval = 15;
    options.codecArguments = {QStringLiteral("-c:v"),         QStringLiteral("libx265"),
                              QStringLiteral("-preset"),      QStringLiteral("ultrafast"),
                              QStringLiteral("-x265-params"), QStringLiteral("log-level=error:bframes=3"),
                              QStringLiteral("-pix_fmt"),     QStringLiteral("yuv420p10le")};
    return TestMedia::video(options);
}

QString movVideo()
{
    TestMedia::VideoOptions options;
    options.name = QStringLiteral("quicktime");
    options.container = QStringLiteral("mov");
    options.keyFrameInterval = 15;
    return TestMedia::video(options);
}

} // namespace

class LongVideoTest : public QObject
{
    Q_OBJECT

private slots:
    void theSampleTableGivesTheTimesOfEveryPacket_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("30") << TestMedia::clip(Clip::Fps30);
        QTest::newRow("29.97") << TestMedia::clip(Clip::Fps2997);
        QTest::newRow("23.976") << TestMedia::clip(Clip::Fps23976);
        QTest::newRow("timescale 90k") << TestMedia::clip(Clip::Timescale90k);
        QTest::newRow("rotated") << TestMedia::clip(Clip::Rotated90);
        QTest::newRow("audio") << TestMedia::clip(Clip::WithAudio);
        QTest::newRow("quicktime") << movVideo();
        QTest::newRow("hevc with b-frames") << hevcVideo();
        QTest::newRow("variable rate") << variableRateVideo();
        QTest::newRow("edit list") << TestMedia::trimmedCopy(TestMedia::clip(Clip::Fps30), 0.5);
        QTest::newRow("cut at 30 %") << TestMedia::truncatedCopy(TestMedia::clip(Clip::FastStartMp4), 30);
        QTest::newRow("cut at 50 %") << TestMedia::truncatedCopy(TestMedia::clip(Clip::FastStartMp4), 50);
    }

    void theSampleTableGivesTheTimesOfEveryPacket()
    {
        QFETCH(QString, path);
        FrameIndexer indexer(path);
        const std::shared_ptr<const FrameIndex> index = indexer.waitUntilComplete();
        QVERIFY(index);
        QVERIFY(indexer.readsSampleTable());
        QCOMPARE(indexTimes(*index), TestMedia::packetTimes(path));
    }

    void otherFilesAreReadPacketByPacket_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("matroska") << TestMedia::clip(Clip::Matroska2997);
        QTest::newRow("transport stream") << TestMedia::clip(Clip::TransportStream);
        QTest::newRow("avi") << TestMedia::clip(Clip::Mpeg4Avi);
    }

    void otherFilesAreReadPacketByPacket()
    {
        QFETCH(QString, path);
        FrameIndexer indexer(path);
        const std::shared_ptr<const FrameIndex> index = indexer.waitUntilComplete();
        QVERIFY(index);
        QVERIFY(!indexer.readsSampleTable());
        QCOMPARE(indexTimes(*index), TestMedia::packetTimes(path));
        QVERIFY(indexer.bytesRead() >= QFileInfo(path).size());
    }

    void aLongFileOpensWithoutReadingItsPicturesAndEndsExactly()
    {
        const TestMedia::LongVideo video = TestMedia::longVideo(20);
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QVERIFY(TestVideo::open(state, video.path));
        QVERIFY(TestVideo::settled(state));
        const FrameIndex *index = state.playback()->player()->frameIndex();
        QCOMPARE(index->count(), video.frameCount);

        // The last frame, then a few in the middle, as the captures at these times take them.
        const auto shownNumber = [&] {
            const Result<QImage> still =
                state.playback()->extractor()->image(state.playback()->player()->currentTime()).result();
            return still.ok() ? TestMedia::frameNumber(still.value()) : -2;
        };
        state.playback()->seek(MediaTime(100000, 1));
        QVERIFY(TestVideo::settled(state));
        QCOMPARE(state.playback()->player()->currentTime(), index->time(video.frameCount - 1));
        QCOMPARE(shownNumber(), video.numberOf(video.frameCount - 1));
        for (int frame : {video.frameCount - 31, 1799, 1800, 18017, 0}) {
            state.playback()->seek(index->time(frame));
            QVERIFY(TestVideo::settled(state));
            QCOMPARE(shownNumber(), video.numberOf(frame));
        }
    }

    void theSampleTableOfALongFileIsReadNotItsMedia()
    {
        const TestMedia::LongVideo video = TestMedia::longVideo(20);
        FrameIndexer indexer(video.path);
        const std::shared_ptr<const FrameIndex> index = indexer.waitUntilComplete();
        QVERIFY(index);
        QVERIFY(indexer.readsSampleTable());
        QCOMPARE(index->count(), video.frameCount);
        // The header, its sample table and the first pictures the stream information decodes.
        const qint64 size = QFileInfo(video.path).size();
        QVERIFY2(indexer.bytesRead() < size / 10,
                 qPrintable(QStringLiteral("%1 of %2 bytes").arg(indexer.bytesRead()).arg(size)));
    }

    void stillsWhileTheIndexIsBuiltAreExact()
    {
        const TestMedia::LongVideo video = TestMedia::longVideo(20, QStringLiteral("mkv"));
        const QList<MediaTime> times = TestMedia::packetTimes(video.path);
        QCOMPARE(int(times.size()), video.frameCount);
        ScanGate gate({3000});
        auto indexer = std::make_shared<FrameIndexer>(video.path, gate.options());
        QVERIFY(gate.waitUntilHeld());
        const std::shared_ptr<const FrameIndex> part = indexer->current();
        QVERIFY(part && !part->isComplete());
        QVERIFY(part->count() > 2000);
        QVERIFY(part->count() < 3000);
        QCOMPARE(indexTimes(*part), times.mid(0, part->count()));

        FrameGrabber grabber(video.path, indexer);
        for (int frame : {part->count() - 1, 0, 1799, 1800, 1000, part->count() - 2})
            QCOMPARE(grabbedNumber(grabber, times.at(frame)), video.numberOf(frame));

        // Beyond the part, the still waits for the index, then comes out exact.
        const int beyond = 20000;
        QFuture<int> later = QtConcurrent::run([&] { return grabbedNumber(grabber, times.at(beyond)); });
        QTest::qWait(300);
        QVERIFY(!later.isFinished());
        gate.release();
        QCOMPARE(later.result(), video.numberOf(beyond));
        QVERIFY(indexer->waitUntilComplete()->isComplete());
        QCOMPARE(indexTimes(*indexer->current()), times);
        QCOMPARE(grabbedNumber(grabber, times.last()), video.numberOf(video.frameCount - 1));
    }

    void movesBeyondTheIndexWaitAndLandExactly()
    {
        const TestMedia::LongVideo video = TestMedia::longVideo(20, QStringLiteral("mkv"));
        const QList<MediaTime> times = TestMedia::packetTimes(video.path);
        ScanGate gate({3000, 12000});
        auto indexer = std::make_shared<FrameIndexer>(video.path, gate.options());
        QVERIFY(gate.waitUntilHeld());
        VideoPlayer player(PlayerOutput::Headless);
        player.replaceCurrentItem(video.path, indexer);
        QTRY_VERIFY_WITH_TIMEOUT(player.frameIndex() && !player.isSeeking(), 20000);
        QVERIFY(!player.frameIndex()->isComplete());
        FrameGrabber grabber(video.path, indexer);
        const auto shownNumber = [&] { return grabbedNumber(grabber, player.currentTime()); };

        // Within the part, as on a complete index.
        player.stepByCount(2000);
        QTRY_VERIFY_WITH_TIMEOUT(!player.isSeeking(), 20000);
        QCOMPARE(player.currentTime(), times.at(2000));
        QCOMPARE(shownNumber(), video.numberOf(2000));

        // Beyond it, the seek waits, showing as a seek, and the time is the one asked for.
        player.seek(times.at(10000));
        QVERIFY(player.isSeeking());
        QVERIFY(player.isWaitingForIndex());
        QCOMPARE(player.currentTime(), times.at(10000));
        QTest::qWait(300);
        QVERIFY(player.isWaitingForIndex());
        gate.release();
        QVERIFY(gate.waitUntilHeld());
        QTRY_VERIFY_WITH_TIMEOUT(!player.isSeeking(), 20000);
        QVERIFY(!player.isWaitingForIndex());
        QCOMPARE(player.currentTime(), times.at(10000));
        QCOMPARE(shownNumber(), video.numberOf(10000));

        // A step and a one-second step beyond the part wait in order, then land.
        player.stepByCount(4000);
        player.stepByTime(MediaTime(1, 1));
        QVERIFY(player.isWaitingForIndex());
        QTest::qWait(300);
        QVERIFY(player.isSeeking());
        gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(!player.isSeeking(), 20000);
        QCOMPARE(player.currentTime(), times.at(14030));
        QCOMPARE(shownNumber(), video.numberOf(14030));
        QVERIFY(indexer->waitUntilComplete()->isComplete());
    }
};

QUINTAREL_TEST(LongVideoTest)
#include "LongVideoTest.moc"
