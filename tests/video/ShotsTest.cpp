#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/FrameIndexer.h"
#include "platform/VideoPlayer.h"
#include "services/SharpestFrame.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/HoverPreview.h"
#include "state/ShotScan.h"

#include <QMap>
#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {

const QSize videoSize(320, 180);

// A scene with shapes of one palette on a canvas three times as wide as the picture, so that a
// camera can pan over it. The same seed gives the same scene.
const QImage &canvas(int seed)
{
    static QMap<int, QImage> made;
    if (!made.contains(seed)) {
        QRandomGenerator random{quint32(seed)};
        QImage image(videoSize.width() * 3, videoSize.height(), QImage::Format_RGB32);
        const int hue = int(random.bounded(360));
        image.fill(QColor::fromHsv(hue, 90, 70));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        for (int shape = 0; shape < 160; ++shape) {
            const QColor colour =
                QColor::fromHsv((hue + int(random.bounded(60))) % 360, 100 + int(random.bounded(155)),
                                60 + int(random.bounded(195)));
            const QRectF box(random.bounded(image.width()), random.bounded(image.height()),
                             8 + random.bounded(40), 8 + random.bounded(40));
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            if (shape % 2)
                painter.drawEllipse(box);
            else
                painter.drawRect(box);
        }
        made.insert(seed, image);
    }
    return made[seed];
}

QImage view(int seed, int offset)
{
    return canvas(seed).copy(QRect(QPoint(offset, 0), videoSize)).convertToFormat(QImage::Format_RGB888);
}

QImage blend(const QImage &from, const QImage &to, double share)
{
    QImage result = from.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&result);
    painter.setOpacity(share);
    painter.drawImage(0, 0, to);
    painter.end();
    return result.convertToFormat(QImage::Format_RGB888);
}

// 210 frames at 30 fps: a still shot with a small subject moving (0–39); a cut to a slow pan (40–79)
// that cross-fades into a third scene (80–99); the third scene with a flash of two white frames
// (115, 116); a cut to a fast pan (140–179); a cut to a last scene (180–209). Its cuts are 40, 140, 180.
QImage shotsFrame(int number, QSize)
{
    if (number < 40) {
        QImage picture = view(1, 0);
        QPainter(&picture).fillRect(QRect(20 + 2 * number, 90, 24, 24), Qt::yellow);
        return picture;
    }
    if (number < 80)
        return view(2, 3 * (number - 40));
    if (number < 100)
        return blend(view(2, 3 * (number - 40)), view(3, 0), (number - 79) / 21.0);
    if (number < 140) {
        if (number == 115 || number == 116) {
            QImage flash(videoSize, QImage::Format_RGB888);
            flash.fill(QColor(250, 250, 245));
            return flash;
        }
        return view(3, number - 100);
    }
    if (number < 180)
        return view(4, 12 * (number - 140));
    return view(5, number - 180);
}

QString shotsVideo(const QString &container = QStringLiteral("mp4"), QSize size = videoSize)
{
    TestMedia::VideoOptions options;
    options.container = container;
    options.name = QStringLiteral("shots-%1-%2").arg(container).arg(size.width());
    options.size = size;
    options.frameCount = 210;
    options.keyFrameInterval = 30;
    options.picture = [size](int number, QSize) {
        const QImage picture = shotsFrame(number, videoSize);
        return size == videoSize ? picture
                                 : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    return TestMedia::video(options);
}

// A horizontal box blur `radius` pixels each way: the smear of a subject moving during the exposure.
QImage motionBlurred(const QImage &source, int radius)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    QImage blurred(image.size(), QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        const uchar *in = image.constScanLine(y);
        uchar *out = blurred.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            for (int channel = 0; channel < 3; ++channel) {
                int sum = 0;
                int count = 0;
                for (int dx = -radius; dx <= radius; ++dx) {
                    const int at = std::clamp(x + dx, 0, image.width() - 1);
                    sum += in[3 * at + channel];
                    ++count;
                }
                out[3 * x + channel] = uchar(sum / count);
            }
        }
    }
    return blurred;
}

// 90 frames at 30 fps: a panning shot (0–52) blurred by its motion on every frame but 38, then a cut
// to a sharp, busier scene (53–89).
QImage blurFrame(int number, QSize)
{
    if (number >= 53)
        return view(7, number);
    const QImage sharp = view(6, 2 * number);
    return number == 38 ? sharp : motionBlurred(sharp, 4);
}

QString blurVideo()
{
    TestMedia::VideoOptions options;
    options.name = QStringLiteral("motion-blur");
    options.size = videoSize;
    options.frameCount = 90;
    options.keyFrameInterval = 30;
    // Nearly lossless, so that the encoder keeps the one sharp frame sharp.
    options.codecArguments = {QStringLiteral("-c:v"), QStringLiteral("libx264"),  QStringLiteral("-crf"),
                              QStringLiteral("8"),    QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
    options.picture = blurFrame;
    return TestMedia::video(options);
}

std::shared_ptr<const FrameIndex> indexOf(const QString &path)
{
    Result<FrameIndex> built = FrameIndex::build(path);
    if (!built.ok())
        return {};
    return std::make_shared<const FrameIndex>(std::move(built).value());
}

std::shared_ptr<FrameIndexer> indexerOf(const QString &path, const std::shared_ptr<const FrameIndex> &index)
{
    return std::make_shared<FrameIndexer>(path, index);
}

} // namespace

class ShotsTest : public QObject
{
    Q_OBJECT

private slots:
    void scanFindsEveryCutAndNoOther_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("small") << videoSize;
        // Many times the scan's own pictures: they are made from a sample of the frame's pixels.
        QTest::newRow("720p") << QSize(1280, 720);
    }

    void scanFindsEveryCutAndNoOther()
    {
        QFETCH(QSize, size);
        const QString path = shotsVideo(QStringLiteral("mp4"), size);
        const std::shared_ptr<const FrameIndex> index = indexOf(path);
        QVERIFY(index);
        QCOMPARE(index->count(), 210);

        ShotScan scan;
        QSignalSpy cutsChanged(&scan, &ShotScan::cutsChanged);
        scan.start(path, indexerOf(path, index));
        QTRY_VERIFY_WITH_TIMEOUT(scan.isFinished(), 60000);
        // The cross-fade, both pans and the flash are no cuts.
        QCOMPARE(scan.cuts(), (QList<int>{40, 140, 180}));
        QCOMPARE(scan.scannedFrames(), 210);
        QVERIFY(!cutsChanged.isEmpty());
        QCOMPARE(scan.cutTimes().at(1), index->time(140));

        // Page Down goes to the next shot's first frame; Page Up to the shown shot's first frame, or
        // from there to the shot before.
        QCOMPARE(scan.nextShotStart(0), std::optional<int>(40));
        QCOMPARE(scan.nextShotStart(40), std::optional<int>(140));
        QVERIFY(!scan.nextShotStart(180));
        QCOMPARE(scan.previousShotStart(100), std::optional<int>(40));
        QCOMPARE(scan.previousShotStart(40), std::optional<int>(0));
        QVERIFY(!scan.previousShotStart(0));

        // A new video forgets the cuts of the last one; the scan under way stops.
        scan.start(path, indexerOf(path, index));
        QVERIFY(scan.cuts().isEmpty());
        scan.stop();
        QVERIFY(!scan.isFinished());
        QTest::qWait(200);
        QVERIFY(scan.cuts().isEmpty());
    }

    void scanFollowsAnIndexBeingBuilt()
    {
        // An MPEG transport stream has no sample table: its index is read packet by packet, a part after
        // each.
        const QString path = shotsVideo(QStringLiteral("ts"));
        FrameIndexer::Options options;
        options.firstPartMs = 0;
        options.partIntervalMs = 0;
        options.afterPacket = [](std::int64_t) { QThread::usleep(500); };
        auto indexer = std::make_shared<FrameIndexer>(path, options);

        ShotScan scan;
        scan.start(path, indexer);
        // The reading of 210 packets takes over 0.1 s: the scan starts on a part of the index.
        QVERIFY(!indexer->current() || !indexer->current()->isComplete());
        QTRY_VERIFY_WITH_TIMEOUT(scan.isFinished(), 60000);
        QVERIFY(!indexer->readsSampleTable());
        QCOMPARE(scan.scannedFrames(), 210);
        QCOMPARE(scan.frameCount(), 210);
        QCOMPARE(scan.cuts(), (QList<int>{40, 140, 180}));
        QCOMPARE(scan.cutTimes().at(2), indexer->current()->time(180));
    }

    void sharpestFrameStaysInItsShot()
    {
        const QString path = blurVideo();
        const std::shared_ptr<const FrameIndex> index = indexOf(path);
        QVERIFY(index);
        FrameGrabber grabber(path, index);
        grabber.setMaximumSize(QSize(SharpestFrame::pictureSize, SharpestFrame::pictureSize));
        // From frame 45 the window runs from 30 to 60; the sharper frames after the cut at 53 are
        // another shot.
        const Result<int> fromMiddle = SharpestFrame::near(grabber, *index, 45, MediaTime(1, 2));
        QVERIFY(fromMiddle.ok());
        QCOMPARE(fromMiddle.value(), 38);
        // Beyond half a second the sharp frame is out of reach: the frame itself among blurred ones
        // is as good as any.
        const Result<int> tooFar = SharpestFrame::near(grabber, *index, 10, MediaTime(1, 2));
        QVERIFY(tooFar.ok());
        QVERIFY(tooFar.value() != 38 && tooFar.value() >= 0 && tooFar.value() <= 25);
        // In the sharp shot, the frames of the blurred one are not looked at.
        const Result<int> afterCut = SharpestFrame::near(grabber, *index, 55, MediaTime(1, 2));
        QVERIFY(afterCut.ok());
        QVERIFY(afterCut.value() >= 53);
    }

    void capturingTheSharpestFrameShowsIt()
    {
        const QString path = blurVideo();
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        state.loadVideo(QUrl::fromLocalFile(path));
        QTRY_VERIFY_WITH_TIMEOUT(
            state.playback()->player()->frameIndex() && !state.playback()->player()->isSeeking(), 30000);
        const FrameIndex &index = *state.playback()->player()->frameIndex();
        state.playback()->seek(index.time(44));
        QTRY_VERIFY_WITH_TIMEOUT(!state.playback()->player()->isSeeking() &&
                                     state.playback()->player()->currentTime() == index.time(44),
                                 10000);

        QSignalSpy finding(&state, &AppState::findingSharpestFrameChanged);
        state.captureSharpestFrame();
        QVERIFY(state.isFindingSharpestFrame());
        // A second request while the first is rated changes nothing.
        state.captureSharpestFrame();
        QTRY_VERIFY_WITH_TIMEOUT(!state.isFindingSharpestFrame(), 30000);
        QCOMPARE(finding.size(), 2);

        QCOMPARE(state.document()->frameCount(), 1);
        const CapturedFrame captured = state.document()->allFrames().constFirst();
        QCOMPARE(captured.time, index.time(38));
        QTRY_VERIFY_WITH_TIMEOUT(!state.playback()->player()->isSeeking(), 10000);
        QCOMPARE(state.playback()->player()->currentTime(), index.time(38));
    }

    void hoverPreviewShowsTheExactFrameAndDropsStaleRequests()
    {
        TestMedia::VideoOptions options;
        options.name = QStringLiteral("hover-numbers");
        options.size = QSize(640, 360);
        options.frameCount = 120;
        options.keyFrameInterval = 60;
        const QString path = TestMedia::video(options);
        const std::shared_ptr<const FrameIndex> index = indexOf(path);
        QVERIFY(index);

        HoverPreview preview;
        QSignalSpy ready(&preview, &HoverPreview::pictureReady);
        preview.setVideo(path, indexerOf(path, index));
        // A time inside frame 17's display interval shows frame 17, at the reduced size.
        preview.request(index->time(17) + MediaTime(1, 100));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, 10000);
        QCOMPARE(ready.at(0).at(0).value<MediaTime>(), index->time(17));
        const QImage picture = ready.at(0).at(1).value<QImage>();
        QCOMPARE(picture.size(), QSize(256, 144));
        QCOMPARE(TestMedia::frameNumber(picture), 17);

        // The pointer sweeping over the slider: the requests made while a picture is made are
        // dropped but the latest.
        ready.clear();
        for (int frame = 20; frame <= 110; frame += 5)
            preview.request(index->time(frame));
        QTRY_VERIFY_WITH_TIMEOUT(
            !ready.isEmpty() && ready.last().at(0).value<MediaTime>() == index->time(110), 10000);
        QTest::qWait(200);
        QVERIFY(ready.size() <= 2);
        QCOMPARE(TestMedia::frameNumber(ready.last().at(1).value<QImage>()), 110);

        // Without a video nothing is asked for.
        preview.clear();
        ready.clear();
        preview.request(index->time(3));
        QTest::qWait(100);
        QVERIFY(ready.isEmpty());
    }
};

QUINTAREL_TEST(ShotsTest)
#include "ShotsTest.moc"
