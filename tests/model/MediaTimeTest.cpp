#include "TestRegistry.h"

#include "support/MediaTime.h"

#include <QTest>

#include <limits>

class MediaTimeTest : public QObject
{
    Q_OBJECT

private slots:
    void comparesByRationalValueAcrossTimescales()
    {
        QCOMPARE(MediaTime(1, 30), MediaTime(2, 60));
        QCOMPARE(MediaTime(1001, 30000), MediaTime(2002, 60000));
        QVERIFY(MediaTime(1, 30) < MediaTime(1, 29));
        QVERIFY(MediaTime(-1, 600) < MediaTime::zero());
        QVERIFY(MediaTime(1001, 30000) != MediaTime(1, 30));

        // A time keeps its own value and timescale; it is never normalised.
        const MediaTime stored(1001, 30000);
        QCOMPARE(stored.value(), 1001);
        QCOMPARE(stored.timescale(), 30000);
    }

    void comparesNearTheIntegerLimits()
    {
        constexpr std::int64_t big = std::numeric_limits<std::int64_t>::max();
        constexpr std::int32_t scale = std::numeric_limits<std::int32_t>::max();
        // 64-bit cross products would overflow here.
        QVERIFY(MediaTime(big, scale) > MediaTime(big - 1, scale));
        QVERIFY(!(MediaTime(big, scale) > MediaTime(big, scale - 1)));
        QVERIFY(MediaTime(big, scale - 1) > MediaTime(big, scale));
        QVERIFY(MediaTime(-big, 1) < MediaTime(big, scale));
        QCOMPARE(MediaTime(big / 2 * 2, 2), MediaTime(big / 2, 1));
    }

    void ordersTheSpecialTimes()
    {
        const MediaTime numeric(10, 1);
        QVERIFY(MediaTime::negativeInfinity() < numeric);
        QVERIFY(numeric < MediaTime::positiveInfinity());
        QVERIFY(MediaTime::positiveInfinity() < MediaTime::indefinite());
        QVERIFY(MediaTime::indefinite() < MediaTime::invalid());
        QCOMPARE(MediaTime::invalid(), MediaTime());
        QVERIFY(!MediaTime::indefinite().isNumeric());
        QVERIFY(MediaTime::indefinite().isValid());
        QVERIFY(!MediaTime().isValid());
        QVERIFY(!MediaTime(5, 0).isValid());
    }

    void convertsSecondsToTheNearestUnit()
    {
        const MediaTime slider = MediaTime::fromSeconds(12.3456, 600);
        QCOMPARE(slider.value(), 7407);
        QCOMPARE(slider.timescale(), 600);
        QVERIFY(slider.flags() & MediaTime::HasBeenRounded);
        QCOMPARE(MediaTime::fromSeconds(-1.0, 600), MediaTime(-600, 600));
        QVERIFY(!(MediaTime::fromSeconds(1.0, 600).flags() & MediaTime::HasBeenRounded));
        QVERIFY(!MediaTime::fromSeconds(std::nan(""), 600).isValid());
    }

    void adds()
    {
        QCOMPARE(MediaTime(1, 30) + MediaTime(1, 600), MediaTime(21, 600));
        const MediaTime sum = MediaTime(1001, 30000) + MediaTime(600, 600);
        QCOMPARE(sum, MediaTime(31001, 30000));
        QVERIFY(!(MediaTime() + MediaTime(1, 1)).isValid());
        QVERIFY((MediaTime::positiveInfinity() + MediaTime(1, 1)).isPositiveInfinity());
        QVERIFY((MediaTime::positiveInfinity() + MediaTime::negativeInfinity()).isIndefinite());
    }

    void formatsWithTruncatedMilliseconds_data()
    {
        QTest::addColumn<MediaTime>("time");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("zero") << MediaTime::zero() << "00:00.000"
                              << "00-00-00-000";
        QTest::newRow("75.5 s") << MediaTime(755, 10) << "01:15.500"
                                << "00-01-15-500";
        QTest::newRow("75.25 s") << MediaTime(7525, 100) << "01:15.250"
                                 << "00-01-15-250";
        QTest::newRow("3725.25 s") << MediaTime(372525, 100) << "62:05.250"
                                   << "01-02-05-250";
        // Milliseconds are truncated, never rounded, from the exact value: 5.1 s is not 5.0999… s.
        QTest::newRow("1.001 s") << MediaTime(1001, 1000) << "00:01.001"
                                 << "00-00-01-001";
        QTest::newRow("frame 153 at 30 fps") << MediaTime(153, 30) << "00:05.100"
                                             << "00-00-05-100";
        QTest::newRow("1.9999 s") << MediaTime(19999, 10000) << "00:01.999"
                                  << "00-00-01-999";
        QTest::newRow("large value") << MediaTime(std::numeric_limits<std::int64_t>::max(), 1000000000)
                                     << "153722867:16.854"
                                     << "2562047-47-16-854";
        QTest::newRow("invalid") << MediaTime() << "00:00.000"
                                 << "00-00-00-000";
        QTest::newRow("indefinite") << MediaTime::indefinite() << "00:00.000"
                                    << "00-00-00-000";
        QTest::newRow("infinite") << MediaTime::positiveInfinity() << "00:00.000"
                                  << "00-00-00-000";
        QTest::newRow("1001/30000") << MediaTime(1001, 30000) << "00:00.033"
                                    << "00-00-00-033";
    }

    void formatsWithTruncatedMilliseconds()
    {
        QFETCH(MediaTime, time);
        QFETCH(QString, display);
        QFETCH(QString, fileName);
        QCOMPARE(time.displayString(), display);
        QCOMPARE(time.fileNameString(), fileName);
    }

    void timesAreReadFromTheFirstFrame()
    {
        // A transport stream's first frame at 132000/90000 s; a frame 34 frames of 1/30 s later.
        const MediaTime start(132000, 90000);
        const MediaTime later = start + MediaTime(34, 30);
        QCOMPARE(later.measuredFrom(start), MediaTime(34, 30));
        QCOMPARE(later.measuredFrom(start).fileNameString(), QStringLiteral("00-00-01-133"));
        QCOMPARE(start.measuredFrom(start).displayString(), QStringLiteral("00:00.000"));
        // Exact across timescales: 1001/30000 after a start of 1/3 s is 0.033366… s, read 00:00.033.
        QCOMPARE((MediaTime(1, 3) + MediaTime(1001, 30000)).measuredFrom(MediaTime(1, 3)).displayString(),
                 QStringLiteral("00:00.033"));
        // Never before the first frame; times that are not numbers stay as they are.
        QCOMPARE(MediaTime(1, 1).measuredFrom(start), MediaTime::zero());
        QVERIFY(MediaTime().measuredFrom(start) == MediaTime());
        QCOMPARE(later.measuredFrom(MediaTime::indefinite()), later);
        // Far beyond any video: the common timescale overflows, the time is still read as it is.
        const MediaTime far(1'000'000'000'000'000, 1);
        QCOMPARE(far.measuredFrom(MediaTime(3, 15360)).displayString(),
                 QStringLiteral("16666666666666:40.000"));
        QCOMPARE(far.measuredFrom(MediaTime::zero()).fileNameString(),
                 QStringLiteral("277777777777-46-40-000"));
        const MediaTime latest(std::numeric_limits<std::int64_t>::max(), 1);
        QCOMPARE(latest.measuredFrom(MediaTime(-5, 1)), latest);

        QCOMPARE(MediaTime(1, 2) - MediaTime(1, 3), MediaTime(1, 6));
        QCOMPARE(MediaTime(1, 3) - MediaTime(1, 2), MediaTime(-1, 6));
        QCOMPARE(MediaTime(std::numeric_limits<std::int64_t>::min(), 1) - MediaTime(1, 1),
                 MediaTime::negativeInfinity());
        QCOMPARE(MediaTime(1, 1) - MediaTime::positiveInfinity(), MediaTime::negativeInfinity());
    }

    void safeSecondsIsZeroForNonNumericTimes()
    {
        QCOMPARE(MediaTime(3, 2).safeSeconds(), 1.5);
        QCOMPARE(MediaTime().safeSeconds(), 0.0);
        QCOMPARE(MediaTime::negativeInfinity().safeSeconds(), 0.0);
    }
};

QUINTAREL_TEST(MediaTimeTest)
#include "MediaTimeTest.moc"
