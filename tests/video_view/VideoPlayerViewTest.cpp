#include "TestImages.h"
#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "views/VideoPlayerView.h"

#include <QTest>

#include <algorithm>
#include <array>

namespace {

// The share of pixels brighter than near-black.
double litShare(const QImage &image)
{
    if (image.isNull())
        return 0.0;
    qsizetype lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) > 40)
                ++lit;
        }
    }
    return double(lit) / (double(image.width()) * image.height());
}

} // namespace

class VideoPlayerViewTest : public QObject
{
    Q_OBJECT

private slots:
    void showsThePlayersPicture()
    {
        VideoPlayer player(PlayerOutput::View);
        VideoPlayerView view(&player);
        view.resize(320, 240);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        player.replaceCurrentItem(TestMedia::clip(TestMedia::Clip::Fps30));
        QTRY_VERIFY_WITH_TIMEOUT(player.frameIndex() && !player.isSeeking(), 20000);
        // The grey ground of the test picture covers most of the frame; black would mean nothing drawn.
        QTRY_VERIFY_WITH_TIMEOUT(litShare(view.picture()) > 0.5, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(TestMedia::frameNumber(view.picture()), 0, 10000);

        player.seek(MediaTime(17, 30));
        QTRY_COMPARE_WITH_TIMEOUT(TestMedia::frameNumber(view.picture()), 17, 10000);
    }

    void hdrStillsShowThePictureOnScreen_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("hlg") << TestMedia::hdrVideo(QStringLiteral("arib-std-b67"));
        QTest::newRow("pq") << TestMedia::hdrVideo(QStringLiteral("smpte2084"));
        // HDR10 light levels: the content light level when given, else the mastering display's peak;
        // levels below the reference white or above 100 times it count as unknown.
        const QString pq = QStringLiteral("smpte2084");
        const QString hlg = QStringLiteral("arib-std-b67");
        QTest::newRow("pq with light levels") << TestMedia::hdrVideo(pq, 1000, 1000);
        QTest::newRow("pq brighter than its mastering display") << TestMedia::hdrVideo(pq, 1000, 2000);
        QTest::newRow("pq with a mastering display alone") << TestMedia::hdrVideo(pq, 4000);
        QTest::newRow("pq above the top of its range") << TestMedia::hdrVideo(pq, 1000, 20000);
        QTest::newRow("pq with a level below reference white") << TestMedia::hdrVideo(pq, 1000, 100);
        QTest::newRow("hlg with light levels") << TestMedia::hdrVideo(hlg, 1000, 400);
        // VP9 pictures carry no levels: the WebM container gives them.
        QTest::newRow("vp9 with the container's levels") << TestMedia::hdrContainerVideo(1000, 2000);
        QTest::newRow("vp9 with the container's mastering display") << TestMedia::hdrContainerVideo(4000, 0);
    }

    // mpv's OpenGL renderer tone-maps HDR pictures for the screen; the still must look the same.
    void hdrStillsShowThePictureOnScreen()
    {
        QFETCH(QString, path);
        VideoPlayer player(PlayerOutput::View);
        VideoPlayerView view(&player);
        view.resize(320, 240);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        if (!view.drawsWithOpenGL())
            QSKIP("mpv's software renderer shows HDR pictures without tone mapping");

        player.replaceCurrentItem(path);
        QTRY_VERIFY_WITH_TIMEOUT(player.frameIndex() && !player.isSeeking(), 20000);
        FrameGrabber grabber(path);
        for (int frame : {0, 40}) {
            const MediaTime time = player.frameIndex()->time(frame);
            player.seek(time);
            QTRY_VERIFY_WITH_TIMEOUT(!player.isSeeking(), 20000);
            const Result<QImage> still = grabber.image(time);
            QVERIFY(still.ok());
            QCOMPARE(still.value().size(), QSize(320, 240));
            // Edges differ a little (chroma interpolated at other positions, mpv's dithering);
            // a still converted as if it were SDR is 40 to 60 levels away on every channel.
            std::array<double, 3> difference{};
            const auto close = [&] {
                const QImage shown = view.picture();
                if (shown.size() != still.value().size())
                    return false;
                difference = TestImages::meanDifference(shown, still.value());
                return std::ranges::all_of(difference, [](double d) { return d <= 4.0; });
            };
            QTRY_VERIFY2_WITH_TIMEOUT(close(),
                                      qPrintable(QStringLiteral("frame %1: %2 %3 %4")
                                                     .arg(frame)
                                                     .arg(difference[0], 0, 'f', 2)
                                                     .arg(difference[1], 0, 'f', 2)
                                                     .arg(difference[2], 0, 'f', 2)),
                                      10000);
            qInfo("frame %d: mean difference per channel %.2f %.2f %.2f", frame, difference[0], difference[1],
                  difference[2]);
        }
    }

    void survivesThePlayerGoingFirst()
    {
        auto player = std::make_unique<VideoPlayer>(PlayerOutput::View);
        VideoPlayerView view(player.get());
        view.resize(160, 120);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        player->replaceCurrentItem(TestMedia::clip(TestMedia::Clip::Fps30));
        QTRY_VERIFY_WITH_TIMEOUT(player->frameIndex() && !player->isSeeking(), 20000);
        player.reset();
        view.update();
        QTest::qWait(50);
    }
};

QUINTAREL_TEST(VideoPlayerViewTest)
#include "VideoPlayerViewTest.moc"
