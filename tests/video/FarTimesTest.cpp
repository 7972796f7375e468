#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"

#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(TestMedia::Clip)

// Times far outside the video, as a damaged or hostile project file may hold, land on its first or
// last frame; they must not wrap around in the conversion to stream ticks.
class FarTimesTest : public QObject
{
    Q_OBJECT

private slots:
    void timesBeyondTheEndsLandOnTheEnds_data()
    {
        QTest::addColumn<TestMedia::Clip>("clip");
        QTest::newRow("time base 1/15360") << TestMedia::Clip::Fps30;
        QTest::newRow("time base 1/90000") << TestMedia::Clip::Timescale90k;
    }

    void timesBeyondTheEndsLandOnTheEnds()
    {
        QFETCH(TestMedia::Clip, clip);
        const Result<FrameIndex> built = FrameIndex::build(TestMedia::clip(clip));
        QVERIFY(built.ok());
        const FrameIndex &index = built.value();
        const int last = index.count() - 1;
        constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();

        QCOMPARE(index.frameAt(MediaTime(std::int64_t(1e15) * 600, 600)), last);
        QCOMPARE(index.frameAt(MediaTime(largest, 1)), last);
        QCOMPARE(index.frameAt(MediaTime(-std::int64_t(1e15) * 600, 600)), 0);
        QCOMPARE(index.frameAt(MediaTime(-largest - 1, 1)), 0);
        QCOMPARE(index.ticksAtOrBefore(MediaTime(largest, 1)), largest);

        FrameGrabber grabber(TestMedia::clip(clip));
        const Result<QImage> still = grabber.image(MediaTime(std::int64_t(1e15) * 600, 600));
        QVERIFY(still.ok());
        QCOMPARE(TestMedia::frameNumber(still.value()), last);
    }
};

QUINTAREL_TEST(FarTimesTest)
#include "FarTimesTest.moc"
