#include "TestMedia.h"
#include "TestRegistry.h"

#include "app/QuintarelApp.h"
#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "views/FramePreviewPopup.h"
#include "views/TimeSlider.h"
#include "views/TimelineControlsView.h"

#include <QStyleOptionSlider>
#include <QTest>

namespace {

// Three seconds at 30 fps, each frame carrying its number.
QString numberedVideo()
{
    TestMedia::VideoOptions options;
    options.name = QStringLiteral("timeline-numbers");
    options.size = QSize(320, 240);
    options.frameCount = 90;
    options.keyFrameInterval = 30;
    return TestMedia::video(options);
}

// The point of the groove where the handle's centre stands for `share` of the range, as the
// platform's style lays the slider out.
QPoint grooveAt(TimeSlider *slider, double share)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->value();
    const QRect groove =
        slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
    const QRect handle =
        slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    const int travel = groove.width() - handle.width();
    return {groove.left() + handle.width() / 2 + int(std::lround(share * travel)), groove.center().y()};
}

} // namespace

class TimelineNavigationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QuintarelApp::prepareProcess(); }

    void init()
    {
        m_state = std::make_unique<AppState>(&m_runs, PlayerOutput::Headless);
        m_view = std::make_unique<TimelineControlsView>(m_state->playback(), m_state->document());
        m_view->resize(900, 90);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_state->loadVideo(QUrl::fromLocalFile(numberedVideo()));
        QTRY_VERIFY_WITH_TIMEOUT(m_state->playback()->player()->frameIndex() &&
                                     !m_state->playback()->player()->isSeeking(),
                                 30000);
        QCOMPARE(m_state->playback()->player()->frameIndex()->count(), 90);
    }

    void cleanup()
    {
        m_view.reset();
        m_state.reset();
    }

    void clickOnTheGrooveGoesToTheFrameUnderThePointer()
    {
        const FrameIndex &index = *m_state->playback()->player()->frameIndex();
        TimeSlider *slider = m_view->slider();
        // 75 % of three seconds is 2.25 s, inside frame 67; 25 % is 0.75 s, inside frame 22.
        QTest::mouseClick(slider, Qt::LeftButton, {}, grooveAt(slider, 0.75));
        QTRY_VERIFY_WITH_TIMEOUT(!m_state->playback()->player()->isSeeking() &&
                                     m_state->playback()->player()->currentTime() == index.time(67),
                                 10000);
        QTest::mouseClick(slider, Qt::LeftButton, {}, grooveAt(slider, 0.25));
        QTRY_VERIFY_WITH_TIMEOUT(!m_state->playback()->player()->isSeeking() &&
                                     m_state->playback()->player()->currentTime() == index.time(22),
                                 10000);
    }

    void pointerOverTheSliderPreviewsTheFrameUnderIt()
    {
        const FrameIndex &index = *m_state->playback()->player()->frameIndex();
        TimeSlider *slider = m_view->slider();
        FramePreviewPopup *preview = m_view->framePreview();
        QVERIFY(!preview->isVisible());

        // 40 % of three seconds is 1.2 s: frame 36, which the preview shows with its time.
        QTest::mouseMove(slider, grooveAt(slider, 0.4));
        QTRY_VERIFY_WITH_TIMEOUT(preview->isVisible() && TestMedia::frameNumber(preview->picture()) == 36,
                                 10000);
        QCOMPARE(preview->time(), index.time(36).measuredFrom(index.startTime()).displayString());
        // Beside the slider, never over it: above, or below where there is no room above.
        QVERIFY(!preview->geometry().intersects(QRect(slider->mapToGlobal(QPoint(0, 0)), slider->size())));
        // Hovering does not move the player.
        QCOMPARE(m_state->playback()->player()->currentTime(), index.time(0));

        QTest::mouseMove(slider, grooveAt(slider, 0.9));
        QTRY_VERIFY_WITH_TIMEOUT(TestMedia::frameNumber(preview->picture()) == 81, 10000);

        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(slider, &leave);
        QVERIFY(!preview->isVisible());
    }

    void clickOnACaptureMarkSelectsAndShowsIt()
    {
        const FrameIndex &index = *m_state->playback()->player()->frameIndex();
        CaptureDocument *document = m_state->document();
        const QUuid early = document->captureFrame(index.time(15));
        document->addGroup();
        const QUuid late = document->captureFrame(index.time(60));
        document->setSelection({early});

        TimeSlider *slider = m_view->slider();
        QCOMPARE(slider->captureMarks().size(), 2);
        // Each group's marks have their own colour.
        QVERIFY(slider->captureMarks().at(0).colour != slider->captureMarks().at(1).colour);
        const QPoint mark(slider->pixelForSeconds(slider->captureMarks().at(1).seconds),
                          slider->height() / 2);
        QTest::mouseClick(slider, Qt::LeftButton, {}, mark);
        QCOMPARE(document->selection(), QSet<QUuid>{late});
        QTRY_VERIFY_WITH_TIMEOUT(!m_state->playback()->player()->isSeeking() &&
                                     m_state->playback()->player()->currentTime() == index.time(60),
                                 10000);

        // A deleted capture takes its mark with it.
        document->deleteFrame(late);
        QCOMPARE(slider->captureMarks().size(), 1);
    }

private:
    ExportRuns m_runs;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<TimelineControlsView> m_view;
};

QUINTAREL_TEST(TimelineNavigationTest)
#include "TimelineNavigationTest.moc"
