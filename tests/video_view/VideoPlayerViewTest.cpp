#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/VideoPlayer.h"
#include "views/VideoPlayerView.h"

#include <QTest>

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
