#include "TestRegistry.h"

#include "platform/HdrToneMapper.h"

#include <QTest>

class HdrToneMapperTest : public QObject
{
    Q_OBJECT

private slots:
    void signalPeakFollowsThePlayer_data()
    {
        QTest::addColumn<bool>("hlg");
        QTest::addColumn<double>("masteringPeak");
        QTest::addColumn<double>("maxContentLight");
        QTest::addColumn<double>("peak");
        // The peaks mpv 0.35 reports (video-params/sig-peak) for HEVC files that carry these levels in
        // their SEI, relative to 203 cd/m².
        QTest::newRow("pq, no levels") << false << 0.0 << 0.0 << 49.261086;
        QTest::newRow("pq, both at 1000") << false << 1000.0 << 1000.0 << 4.926108;
        QTest::newRow("pq, content above mastering") << false << 1000.0 << 2000.0 << 9.852217;
        QTest::newRow("pq, mastering alone") << false << 4000.0 << 0.0 << 19.704433;
        QTest::newRow("pq, content above 10000") << false << 1000.0 << 20000.0 << 98.522171;
        QTest::newRow("pq, content at 100 times white") << false << 1000.0 << 20300.0 << 100.0;
        QTest::newRow("pq, content beyond 100 times white") << false << 1000.0 << 20310.0 << 49.261086;
        QTest::newRow("pq, content at the largest level") << false << 1000.0 << 65535.0 << 49.261086;
        QTest::newRow("pq, content at white") << false << 1000.0 << 203.0 << 1.0;
        // A content light level below the reference white is unknown, and the mastering display is
        // not asked instead.
        QTest::newRow("pq, content below white") << false << 1000.0 << 202.0 << 49.261086;
        QTest::newRow("pq, mastering below white") << false << 10.0 << 0.0 << 49.261086;
        QTest::newRow("pq, mastering just above white") << false << 204.0 << 0.0 << 1.004926;
        QTest::newRow("pq, mastering above 100 times white") << false << 20400.0 << 0.0 << 49.261086;
        QTest::newRow("hlg, no levels") << true << 0.0 << 0.0 << 4.926108;
        QTest::newRow("hlg, content at 400") << true << 1000.0 << 400.0 << 1.970443;
        QTest::newRow("hlg, mastering alone") << true << 4000.0 << 0.0 << 19.704433;
        QTest::newRow("hlg, content below white") << true << 1000.0 << 100.0 << 4.926108;
    }

    void containerLevelsStandInForThePictures_data()
    {
        QTest::addColumn<double>("pictureContentLight");
        QTest::addColumn<double>("containerContentLight");
        QTest::addColumn<double>("containerMasteringPeak");
        QTest::addColumn<double>("peak");
        // mpv 0.35 on WebM files of VP9, whose pictures carry no levels, and on Matroska files of HEVC,
        // whose pictures do.
        QTest::newRow("content light") << 0.0 << 2000.0 << 1000.0 << 9.852217;
        QTest::newRow("mastering display") << 0.0 << 0.0 << 4000.0 << 19.704433;
        QTest::newRow("the picture's own first") << 1000.0 << 2000.0 << 1000.0 << 4.926108;
        QTest::newRow("none") << 0.0 << 0.0 << 0.0 << 49.261086;
    }

    void containerLevelsStandInForThePictures()
    {
        QFETCH(double, pictureContentLight);
        QFETCH(double, containerContentLight);
        QFETCH(double, containerMasteringPeak);
        QFETCH(double, peak);
        HdrToneMapper::LightLevels picture;
        picture.maxContentLight = pictureContentLight;
        HdrToneMapper::LightLevels container;
        container.maxContentLight = containerContentLight;
        container.masteringPeak = containerMasteringPeak;
        const double got = HdrToneMapper::signalPeak(false, picture, container);
        QVERIFY2(qAbs(got - peak) < 1e-5, qPrintable(QString::number(got, 'f', 6)));
    }

    void signalPeakFollowsThePlayer()
    {
        QFETCH(bool, hlg);
        QFETCH(double, masteringPeak);
        QFETCH(double, maxContentLight);
        QFETCH(double, peak);
        HdrToneMapper::LightLevels levels;
        levels.masteringPeak = masteringPeak;
        levels.maxContentLight = maxContentLight;
        const double got = HdrToneMapper::signalPeak(hlg, levels, HdrToneMapper::LightLevels{});
        QVERIFY2(qAbs(got - peak) < 1e-5, qPrintable(QString::number(got, 'f', 6)));
    }
};

QUINTAREL_TEST(HdrToneMapperTest)
#include "HdrToneMapperTest.moc"
