#include "TestMedia.h"
#include "TestRegistry.h"

#include "app/ContentView.h"
#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "services/VideoFrameExtractorService.h"
#include "state/AppState.h"
#include "state/ExportRuns.h"
#include "views/VideoPlayerView.h"

#include <QTest>

using TestMedia::Clip;

namespace {

// Waits until `state` shows the opened video `path` with its frame on screen.
bool waitUntilShown(AppState &state, const QString &path)
{
    return QTest::qWaitFor(
        [&] {
            return state.playback()->videoURL() == QUrl::fromLocalFile(path) &&
                   state.playback()->player()->frameIndex() &&
                   state.playback()->player()->frameIndex()->isComplete() &&
                   !state.playback()->player()->isSeeking();
        },
        30000);
}

// The number in the video's picture inside the view's, where it is fitted with bars around.
int shownNumber(const VideoPlayerView &view, QSize videoSize)
{
    const QImage picture = view.picture();
    if (picture.isNull())
        return -1;
    const QSize fitted = videoSize.scaled(picture.size(), Qt::KeepAspectRatio);
    const QRect area(QPoint((picture.width() - fitted.width()) / 2, (picture.height() - fitted.height()) / 2),
                     fitted);
    return TestMedia::frameNumber(picture.copy(area));
}

int stillNumber(AppState &state)
{
    const Result<QImage> still =
        state.playback()->extractor()->image(state.playback()->player()->currentTime()).result();
    return still.ok() ? TestMedia::frameNumber(still.value()) : -2;
}

} // namespace

// Runs on the offscreen platform, which cannot make an OpenGL context: the player view draws with
// mpv's software renderer, so the picture on screen can be read back and compared with the stills.
class PlayerPictureTest : public QObject
{
    Q_OBJECT

private slots:
    void theStillIsThePictureOnScreen_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("step");
        // Every frame of the AVI: its open groups of pictures show a key frame after pictures that
        // are stored behind it.
        QTest::newRow("avi with b-frames") << TestMedia::clip(Clip::Mpeg4Avi) << 1;
        QTest::newRow("avi cut at 50 %")
            << TestMedia::truncatedCopy(TestMedia::clip(Clip::Mpeg4Avi), 50) << 10;
        QTest::newRow("transport stream starting at 1.467 s") << TestMedia::clip(Clip::TransportStream) << 10;
        QTest::newRow("edit list") << TestMedia::trimmedCopy(TestMedia::clip(Clip::Fps30), 0.5) << 10;
        QTest::newRow("23.976") << TestMedia::clip(Clip::Fps23976) << 10;
        QTest::newRow("29.97") << TestMedia::clip(Clip::Fps2997) << 10;
        QTest::newRow("mp4 cut at 30 %")
            << TestMedia::truncatedCopy(TestMedia::clip(Clip::FastStartMp4), 30) << 10;
        QTest::newRow("mp4 cut at 50 %")
            << TestMedia::truncatedCopy(TestMedia::clip(Clip::FastStartMp4), 50) << 10;
    }

    void theStillIsThePictureOnScreen()
    {
        QFETCH(QString, path);
        QFETCH(int, step);
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::View);
        VideoPlayerView view(state.playback()->player());
        view.resize(320, 240);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(!view.drawsWithOpenGL());
        state.loadVideo(QUrl::fromLocalFile(path));
        QVERIFY(waitUntilShown(state, path));

        const FrameIndex *index = state.playback()->player()->frameIndex();
        const int last = index->count() - 1;
        QList<int> frames;
        for (int frame = 0; frame < last; frame += step)
            frames << frame;
        frames << last;
        for (int frame : frames) {
            state.playback()->seek(index->time(frame));
            QVERIFY(waitUntilShown(state, path));
            QCOMPARE(index->frameAt(state.playback()->player()->currentTime()), frame);
            const int still = stillNumber(state);
            QVERIFY(still >= 0);
            QTRY_COMPARE_WITH_TIMEOUT(shownNumber(view, QSize(320, 240)), still, 10000);
        }
    }

    void aWindowWorksWithoutOpenGL()
    {
        const QString path = TestMedia::clip(Clip::Fps30);
        ExportRuns runs;
        ContentView window(&runs);
        window.resize(1200, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *view = window.findChild<VideoPlayerView *>();
        QVERIFY(view);
        QVERIFY(view->message().isEmpty());

        AppState &state = *window.state();
        state.loadVideo(QUrl::fromLocalFile(path));
        QVERIFY(waitUntilShown(state, path));
        state.playback()->stepFrame(3);
        QVERIFY(waitUntilShown(state, path));
        QCOMPARE(stillNumber(state), 3);
        QVERIFY(view->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(shownNumber(*view, QSize(320, 240)), 3, 10000);
    }
};

QUINTAREL_TEST(PlayerPictureTest)
#include "PlayerPictureTest.moc"
