#include "TestRegistry.h"

#include "app/QuintarelApp.h"
#include "platform/VideoPlayer.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "views/BusyIndicator.h"
#include "views/SymbolIcons.h"
#include "views/TimeSlider.h"
#include "views/TimelineControlsView.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <algorithm>

namespace {

// The lightness of the darkest pixel in the middle of the control, where a button's symbol and a
// slider's handle are, away from the button's bevel.
int darkestInk(QWidget &control)
{
    const QImage image = control.grab().toImage();
    const QRect middle = control.inherits("QSlider") ? image.rect() : image.rect().adjusted(6, 5, -6, -5);
    int darkest = 255;
    for (int y = middle.top(); y <= middle.bottom(); ++y) {
        for (int x = middle.left(); x <= middle.right(); ++x)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
    }
    return darkest;
}

} // namespace

class TimelineControlsTest : public QObject
{
    Q_OBJECT

private slots:
    // The theme the symbol icons come from, as the application sets it up.
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void everythingIsDisabledWithoutAVideo()
    {
        ExportRuns runs;
        AppState state(&runs);
        TimelineControlsView view(state.playback(), state.document());
        const QList<QPushButton *> buttons = view.findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 6);
        for (QPushButton *button : buttons)
            QVERIFY(!button->isEnabled());
        QVERIFY(!view.slider()->isEnabled());
        const QList<QLabel *> times = view.findChildren<QLabel *>();
        QCOMPARE(times.size(), 2);
        for (QLabel *time : times)
            QCOMPARE(time->text(), QStringLiteral("00:00.000"));

        state.playback()->setVideoURL(QUrl::fromLocalFile(QStringLiteral("/v/a.mp4")));
        for (QPushButton *button : buttons)
            QVERIFY(button->isEnabled());
        QVERIFY(view.slider()->isEnabled());
    }

    // Disabled, the transport symbols and the time slider fade as disabled controls do: their
    // darkest ink is clearly lighter than once a video is there.
    void disabledControlsLookDisabled()
    {
        ExportRuns runs;
        AppState state(&runs);
        TimelineControlsView view(state.playback(), state.document());
        view.resize(640, 90);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QList<QWidget *> controls{view.slider()};
        for (QPushButton *button : view.findChildren<QPushButton *>()) {
            if (button->text().isEmpty()) // the five transport buttons; "Capturer" has its own look
                controls << button;
        }
        QCOMPARE(controls.size(), 6);
        QList<int> disabled;
        for (QWidget *control : controls)
            disabled << darkestInk(*control);

        state.playback()->setVideoURL(QUrl::fromLocalFile(QStringLiteral("/v/a.mp4")));
        for (qsizetype i = 0; i < controls.size(); ++i) {
            const int enabled = darkestInk(*controls.at(i));
            QVERIFY2(disabled.at(i) >= enabled + 40, qPrintable(QStringLiteral("%1: %2 disabled, %3 enabled")
                                                                    .arg(controls.at(i)->toolTip())
                                                                    .arg(disabled.at(i))
                                                                    .arg(enabled)));
        }
    }

    void soundControlsDriveThisWindowsPlayer()
    {
        ExportRuns runs;
        AppState state(&runs);
        AppState other(&runs);
        TimelineControlsView view(state.playback(), state.document());
        state.playback()->setVideoURL(
            QUrl::fromLocalFile(QStringLiteral("/v/a.mp4"))); // the controls work with a video
        // Every window starts at full sound, unmuted: nothing is remembered.
        QCOMPARE(view.volumeSlider()->value(), 100);
        QVERIFY(!view.muteButton()->isChecked());
        QCOMPARE(view.muteButton()->toolTip(), QStringLiteral("Couper le son"));

        view.volumeSlider()->setValue(35);
        QCOMPARE(state.playback()->player()->volume(), 35.0);
        view.muteButton()->click();
        QVERIFY(state.playback()->player()->isMuted());
        QCOMPARE(view.muteButton()->toolTip(), QStringLiteral("Rétablir le son"));
        // Turning the sound up while muted is asking to hear it.
        view.volumeSlider()->setValue(60);
        QVERIFY(!state.playback()->player()->isMuted());
        QVERIFY(!view.muteButton()->isChecked());
        QCOMPARE(state.playback()->player()->volume(), 60.0);

        QCOMPARE(other.playback()->player()->volume(), 100.0);
        QVERIFY(!other.playback()->player()->isMuted());
    }

    // A strip made after the sound was changed starts from the playback's level and muting, not
    // from full sound: it reads them, it does not set them.
    void soundControlsStartFromThePlaybacksSound()
    {
        ExportRuns runs;
        AppState state(&runs);
        state.playback()->setVolume(40);
        state.playback()->setMuted(true);
        QCOMPARE(state.playback()->player()->volume(), 40.0);
        QVERIFY(state.playback()->player()->isMuted());

        TimelineControlsView view(state.playback(), state.document());
        QCOMPARE(view.volumeSlider()->value(), 40);
        QVERIFY(view.muteButton()->isChecked());
        QCOMPARE(view.muteButton()->toolTip(), QStringLiteral("Rétablir le son"));
        QCOMPARE(state.playback()->volume(), 40.0);
        QVERIFY(state.playback()->isMuted());
    }

    // The capture button asks for a capture, once per press, and leaves the capture to the strip's
    // owner: the document is untouched. The busy sign beside it shows only while told to.
    void captureButtonAsksForACaptureAndTheBusySignFollows()
    {
        ExportRuns runs;
        AppState state(&runs);
        TimelineControlsView view(state.playback(), state.document());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        state.playback()->setVideoURL(QUrl::fromLocalFile(QStringLiteral("/v/a.mp4")));
        auto *capture = view.findChild<QPushButton *>(QStringLiteral("captureButton"));
        QVERIFY(capture);
        QSignalSpy requests(&view, &TimelineControlsView::captureRequested);
        capture->click();
        capture->click();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(state.document()->frameCount(), 0);

        const QList<BusyIndicator *> busy = view.findChildren<BusyIndicator *>();
        QCOMPARE(busy.size(), 1);
        QVERIFY(!busy.first()->isVisible());
        view.setFindingSharpestFrame(true);
        QVERIFY(busy.first()->isVisible());
        view.setFindingSharpestFrame(false);
        QVERIFY(!busy.first()->isVisible());
    }

    void sliderSeeksToTheNearestSixHundredth_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint64>("value");
        QTest::newRow("12.3456 s") << 20.0 << 12.3456 << qint64(7407);
        QTest::newRow("start") << 20.0 << 0.0 << qint64(0);
        QTest::newRow("end") << 20.0 << 20.0 << qint64(12000);
        QTest::newRow("one frame at 30 fps") << 20.0 << 1.0 / 30 << qint64(20);
        QTest::newRow("three-hour video") << 10800.0 << 9876.54321 << qint64(5925926);
    }

    void sliderSeeksToTheNearestSixHundredth()
    {
        QFETCH(double, duration);
        QFETCH(double, seconds);
        QFETCH(qint64, value);
        TimeSlider slider;
        slider.setUpperBound(duration);
        QSignalSpy seeks(&slider, &TimeSlider::seekRequested);

        // What a drag, a click or a key does: move the handle to another position.
        slider.setSeconds(3.0);
        QCOMPARE(seeks.size(), 0);
        slider.setValue(slider.positionForSeconds(seconds));
        QCOMPARE(seeks.size(), 1);
        const auto target = seeks.first().first().value<MediaTime>();
        QCOMPARE(target.value(), value);
        QCOMPARE(target.timescale(), 600);
    }

    void timeFromThePlayerMovesTheHandleWithoutSeeking()
    {
        ExportRuns runs;
        AppState state(&runs);
        state.playback()->setVideoURL(QUrl::fromLocalFile(QStringLiteral("/v/a.mp4")));
        TimelineControlsView view(state.playback(), state.document());
        QSignalSpy seeks(view.slider(), &TimeSlider::seekRequested);

        state.playback()->setDuration(MediaTime(20 * 600, 600));
        state.playback()->setCurrentTime(MediaTime(7407, 600));
        QCOMPARE(view.slider()->seconds(), 12.345);
        state.playback()->setDuration(MediaTime(10 * 600, 600));
        QCOMPARE(view.slider()->seconds(), 10.0);
        QCOMPARE(seeks.size(), 0);
        QCOMPARE(view.findChildren<QLabel *>().first()->text(), QStringLiteral("00:12.345"));
    }

    void unknownOrZeroDurationGivesATinyRange_data()
    {
        QTest::addColumn<MediaTime>("duration");
        QTest::newRow("zero") << MediaTime::zero();
        QTest::newRow("invalid") << MediaTime::invalid();
        QTest::newRow("indefinite") << MediaTime::indefinite();
    }

    void unknownOrZeroDurationGivesATinyRange()
    {
        QFETCH(MediaTime, duration);
        ExportRuns runs;
        AppState state(&runs);
        TimelineControlsView view(state.playback(), state.document());
        state.playback()->setDuration(MediaTime(600, 600));
        state.playback()->setDuration(duration);
        QCOMPARE(view.slider()->upperBound(), 0.01);
        QVERIFY(view.slider()->maximum() > view.slider()->minimum());
    }

    void playButtonFollowsPlaybackInAFixedFrame()
    {
        ExportRuns runs;
        AppState state(&runs);
        TimelineControlsView view(state.playback(), state.document());
        QPushButton *button = view.playPauseButton();
        const QSize frame = button->sizeHint();
        QCOMPARE(button->iconSize(), QSize(28, 24));
        QCOMPARE(button->icon().name(), SymbolIcons::icon(QStringLiteral("play.fill")).name());

        state.playback()->setIsPlaying(true);
        QCOMPARE(button->icon().name(), SymbolIcons::icon(QStringLiteral("pause.fill")).name());
        QVERIFY(button->icon().name() != SymbolIcons::icon(QStringLiteral("play.fill")).name());
        QCOMPARE(button->sizeHint(), frame);
        state.playback()->setIsPlaying(false);
        QCOMPARE(button->icon().name(), SymbolIcons::icon(QStringLiteral("play.fill")).name());
    }
};

QUINTAREL_TEST(TimelineControlsTest)
#include "TimelineControlsTest.moc"
