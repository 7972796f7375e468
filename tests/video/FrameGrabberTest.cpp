#include "TestImages.h"
#include "TestMedia.h"
#include "TestRegistry.h"

#include "platform/FrameGrabber.h"
#include "platform/FrameIndex.h"
#include "platform/MediaProbe.h"

#include <QColorSpace>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <random>

using TestMedia::Clip;

Q_DECLARE_METATYPE(TestMedia::Clip)

namespace {

// Half way between two times, exact.
MediaTime midpoint(const MediaTime &a, const MediaTime &b)
{
    const MediaTime sum = a + b;
    return MediaTime(sum.value(), sum.timescale() * 2);
}

int grabbedNumber(FrameGrabber &grabber, const MediaTime &time)
{
    const Result<QImage> image = grabber.image(time);
    if (!image.ok()) {
        qWarning() << image.error().errorDescription();
        return -2;
    }
    return TestMedia::frameNumber(image.value());
}

} // namespace

class FrameGrabberTest : public QObject
{
    Q_OBJECT

private slots:
    void grabsTheFrameHoldingTheTime_data()
    {
        QTest::addColumn<Clip>("clip");
        for (Clip clip : TestMedia::allClips())
            QTest::newRow(qPrintable(TestMedia::clipName(clip))) << clip;
    }

    void grabsTheFrameHoldingTheTime()
    {
        QFETCH(Clip, clip);
        const QString path = TestMedia::clip(clip);
        const QList<MediaTime> times = TestMedia::frameTimes(path);
        QVERIFY(times.size() > 30);
        FrameGrabber grabber(path);

        // Every frame at its own time, then half way to the next one, in order.
        for (int k = 0; k < times.size(); ++k) {
            QCOMPARE(grabbedNumber(grabber, times.at(k)), k);
            if (k + 1 < times.size())
                QCOMPARE(grabbedNumber(grabber, midpoint(times.at(k), times.at(k + 1))), k);
        }
        // Backwards, one frame at a time, then in a shuffled order.
        for (int k = int(times.size()) - 1; k >= 0; --k)
            QCOMPARE(grabbedNumber(grabber, times.at(k)), k);
        std::vector<int> order(times.size());
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (int k : order)
            QCOMPARE(grabbedNumber(grabber, times.at(k)), k);

        // Before the start and after the end.
        QCOMPARE(grabbedNumber(grabber, MediaTime::zero()), 0);
        QCOMPARE(grabbedNumber(grabber, MediaTime(-1, 2)), 0);
        QCOMPARE(grabbedNumber(grabber, times.last() + MediaTime(10, 1)), int(times.size()) - 1);
    }

    void cutAndTrimmedFilesGiveEveryIndexedFrame_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("firstNumber");
        QTest::newRow("mp4 cut at 30 %")
            << TestMedia::truncatedCopy(TestMedia::clip(Clip::FastStartMp4), 30) << 0;
        QTest::newRow("mp4 cut at 50 %")
            << TestMedia::truncatedCopy(TestMedia::clip(Clip::FastStartMp4), 50) << 0;
        QTest::newRow("transport stream cut at 50 %")
            << TestMedia::truncatedCopy(TestMedia::clip(Clip::TransportStream), 50) << 0;
        // Stream-copied from 0.5 s: an edit list hides the pictures before frame 15.
        QTest::newRow("edit list") << TestMedia::trimmedCopy(TestMedia::clip(Clip::Fps30), 0.5) << 15;
    }

    void cutAndTrimmedFilesGiveEveryIndexedFrame()
    {
        // 30 fps files: frame k of the index shows the picture numbered by its time. A cut can leave
        // gaps (a B-frame whose packet was cut short), so the number is not simply the place.
        QFETCH(QString, path);
        QFETCH(int, firstNumber);
        const Result<FrameIndex> built = FrameIndex::build(path);
        QVERIFY2(built.ok(), qPrintable(built.ok() ? QString() : built.error().errorDescription()));
        auto index = std::make_shared<const FrameIndex>(built.value());
        QVERIFY(index->count() > 5);
        const auto numberAt = [&](int frame) {
            return firstNumber + int(std::lround((index->seconds(frame) - index->seconds(0)) * 30));
        };
        FrameGrabber grabber(path, index);

        // The last frame first, as a capture at the end of a cut file would.
        const int last = index->count() - 1;
        QCOMPARE(grabbedNumber(grabber, index->time(last)), numberAt(last));
        for (int frame = 0; frame <= last; frame += 10)
            QCOMPARE(grabbedNumber(grabber, index->time(frame)), numberAt(frame));
        QCOMPARE(grabbedNumber(grabber, index->time(last) + MediaTime(1, 1)), numberAt(last));
    }

    void aGrabAfterAFailedOneIsRight()
    {
        // The first key frame is garbage: its group of pictures cannot be decoded, the next can.
        const QString path = TestMedia::damagedStartCopy(TestMedia::clip(Clip::Fps30));
        const QList<MediaTime> times = TestMedia::frameTimes(TestMedia::clip(Clip::Fps30));
        FrameGrabber grabber(path);
        QVERIFY(!grabber.image(times.at(5)).ok());
        QCOMPARE(grabbedNumber(grabber, times.at(20)), 20);
        QVERIFY(!grabber.image(times.at(3)).ok());
        for (int frame : {16, 29, 15, 30})
            QCOMPARE(grabbedNumber(grabber, times.at(frame)), frame);
        QVERIFY(!grabber.image(times.at(14)).ok());
        QCOMPARE(grabbedNumber(grabber, times.at(17)), 17);
    }

    void stillsAreFullSizeUprightPremultipliedSrgb()
    {
        FrameGrabber plain(TestMedia::clip(Clip::Fps30));
        const Result<QImage> image = plain.image(MediaTime(1, 3));
        QVERIFY(image.ok());
        QCOMPARE(image.value().size(), QSize(320, 240));
        QCOMPARE(image.value().format(), QImage::Format_RGBA8888_Premultiplied);
        QCOMPARE(image.value().colorSpace(), QColorSpace(QColorSpace::SRgb));

        const Result<MediaProbe::Info> stored = MediaProbe::probe(TestMedia::clip(Clip::Rotated90));
        QVERIFY(stored.ok());
        QCOMPARE(stored.value().videoTracks.first().codedSize, QSize(240, 320));
        FrameGrabber rotated(TestMedia::clip(Clip::Rotated90));
        const Result<QImage> upright = rotated.image(MediaTime(1, 3));
        QVERIFY(upright.ok());
        QCOMPARE(upright.value().size(), QSize(320, 240));
        QCOMPARE(TestMedia::frameNumber(upright.value()), 10);
    }

    void coloursFollowTheFrameMatrixAndRange_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("encoding");

        const QString bt709 = QStringLiteral("scale=out_color_matrix=bt709:out_range=tv");
        const QString bt601 = QStringLiteral("scale=out_color_matrix=bt601:out_range=tv");
        const QString bt601Full = QStringLiteral("scale=out_color_matrix=bt601:out_range=pc");
        QTest::newRow("bt709-limited-tagged")
            << QSize(320, 240)
            << QStringList{"-vf",   bt709,        "-colorspace", "bt709",        "-color_primaries",
                           "bt709", "-color_trc", "bt709",       "-color_range", "tv"};
        QTest::newRow("bt601-full-tagged")
            << QSize(320, 240)
            << QStringList{"-vf", bt601Full, "-colorspace", "smpte170m", "-color_range", "pc"};
        // Untagged: BT.709 is assumed from 1280 pixels wide, BT.601 below.
        QTest::newRow("untagged-hd-bt709") << QSize(1280, 720) << QStringList{"-vf", bt709};
        QTest::newRow("untagged-sd-bt601") << QSize(320, 240) << QStringList{"-vf", bt601};
    }

    void coloursFollowTheFrameMatrixAndRange()
    {
        QFETCH(QSize, size);
        QFETCH(QStringList, encoding);
        TestMedia::VideoOptions options;
        options.name = QStringLiteral("colours-") + QString::fromLatin1(QTest::currentDataTag());
        options.size = size;
        options.frameCount = 5;
        options.picture = [](int, QSize size) { return TestMedia::colourImage(size); };
        options.outputArguments = encoding;
        FrameGrabber grabber(TestMedia::video(options));

        const Result<QImage> image = grabber.image(MediaTime(2, 30));
        QVERIFY(image.ok());
        for (const TestMedia::ColourPatch &patch : TestMedia::colourPatches(size)) {
            const QColor got = image.value().pixelColor(patch.centre);
            const QString detail = QStringLiteral("expected %1 got %2").arg(patch.colour.name(), got.name());
            QVERIFY2(std::abs(got.red() - patch.colour.red()) <= 3, qPrintable(detail));
            QVERIFY2(std::abs(got.green() - patch.colour.green()) <= 3, qPrintable(detail));
            QVERIFY2(std::abs(got.blue() - patch.colour.blue()) <= 3, qPrintable(detail));
        }
    }

    void hdrStillsAreToneMappedByTheirTransfer()
    {
        // The same pictures, tagged SDR, HLG and PQ.
        const MediaTime time(10, 30);
        QList<QImage> stills;
        for (const QString &transfer :
             {QStringLiteral("bt2020-10"), QStringLiteral("arib-std-b67"), QStringLiteral("smpte2084")}) {
            FrameGrabber grabber(TestMedia::hdrVideo(transfer));
            const Result<QImage> still = grabber.image(time);
            QVERIFY(still.ok());
            QCOMPARE(still.value().size(), QSize(320, 240));
            QCOMPARE(still.value().format(), QImage::Format_RGBA8888_Premultiplied);
            QCOMPARE(still.value().colorSpace(), QColorSpace(QColorSpace::SRgb));
            stills << still.value();
        }
        // Read as SDR, the pattern's full colours stay at the top of the range; as HDR, its peak is
        // brought down towards the SDR white and its BT.2020 colours into BT.709.
        const auto apart = [](const QImage &a, const QImage &b) {
            const std::array<double, 3> difference = TestImages::meanDifference(a, b);
            return *std::max_element(difference.begin(), difference.end());
        };
        QVERIFY2(apart(stills[0], stills[1]) > 20, qPrintable(QString::number(apart(stills[0], stills[1]))));
        QVERIFY2(apart(stills[0], stills[2]) > 20, qPrintable(QString::number(apart(stills[0], stills[2]))));
    }

    void hdrStillsTakeTheContainersLightLevels()
    {
        // VP9 pictures carry no light levels; a WebM container gives them. Tone-mapped from a peak of
        // 2000 cd/m² instead of 10,000, the pattern's brights come out brighter.
        FrameGrabber tagged(TestMedia::hdrContainerVideo(1000, 2000));
        FrameGrabber untagged(TestMedia::hdrContainerVideo(0, 0));
        const Result<QImage> bright = tagged.image(MediaTime(10, 30));
        const Result<QImage> plain = untagged.image(MediaTime(10, 30));
        QVERIFY(bright.ok() && plain.ok());
        const std::array<double, 3> difference = TestImages::meanDifference(bright.value(), plain.value());
        const double largest = *std::max_element(difference.begin(), difference.end());
        QVERIFY2(largest > 5.0, qPrintable(QString::number(largest)));
        const auto lightness = [](const QImage &image) {
            double sum = 0.0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    sum += qGray(image.pixel(x, y));
            return sum / (double(image.width()) * image.height());
        };
        QVERIFY(lightness(bright.value()) > lightness(plain.value()));
    }

    void reducedHdrStillsAreTheFullStillReduced_data()
    {
        QTest::addColumn<QString>("transfer");
        QTest::newRow("hlg") << QStringLiteral("arib-std-b67");
        QTest::newRow("pq") << QStringLiteral("smpte2084");
    }

    void reducedHdrStillsAreTheFullStillReduced()
    {
        QFETCH(QString, transfer);
        const QString path = TestMedia::hdrVideo(transfer);
        FrameGrabber full(path);
        FrameGrabber reduced(path);
        reduced.setMaximumSize(QSize(160, 160));
        for (int frame : {0, 31}) {
            const Result<QImage> large = full.image(MediaTime(frame, 30));
            const Result<QImage> small = reduced.image(MediaTime(frame, 30));
            QVERIFY(large.ok() && small.ok());
            QCOMPARE(small.value().size(), QSize(160, 120));
            QCOMPARE(small.value().colorSpace(), QColorSpace(QColorSpace::SRgb));
            const QImage expected =
                large.value().scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const std::array<double, 3> difference = TestImages::meanDifference(small.value(), expected);
            for (double channel : difference)
                QVERIFY2(channel < 4.0, qPrintable(QString::number(channel)));
        }
    }

    void unreadableFilesFailWithAFrenchCause()
    {
        FrameGrabber grabber(TestMedia::notAVideo());
        const Result<QImage> image = grabber.image(MediaTime::zero());
        QVERIFY(!image.ok());
        QCOMPARE(image.error().kind(), AppError::Kind::FrameExtractionFailed);
        QVERIFY2(image.error().detail().contains(QStringLiteral("contenu non reconnu ou endommagé")),
                 qPrintable(image.error().detail()));

        const Result<MediaProbe::Info> probe = MediaProbe::probe(TestMedia::notAVideo());
        QVERIFY(!probe.ok());
        QVERIFY(probe.error().errorDescription().contains(QStringLiteral("contenu non reconnu")));

        FrameGrabber missing(TestMedia::folder() + QStringLiteral("/gone.mp4"));
        const Result<QImage> none = missing.image(MediaTime::zero());
        QVERIFY(!none.ok());
        QVERIFY(none.error().detail().contains(QStringLiteral("fichier ou dossier introuvable")));
    }

    void probeReadsDurationTracksAndRate_data()
    {
        QTest::addColumn<Clip>("clip");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("seconds");
        QTest::newRow("30") << Clip::Fps30 << 30.0 << 1.5;
        QTest::newRow("29.97") << Clip::Fps2997 << 29.97 << 45 * 1001 / 30000.0;
        QTest::newRow("23.976") << Clip::Fps23976 << 23.976 << 36 * 1001 / 24000.0;
    }

    void probeReadsDurationTracksAndRate()
    {
        QFETCH(Clip, clip);
        QFETCH(double, rate);
        QFETCH(double, seconds);
        const Result<MediaProbe::Info> info = MediaProbe::load(TestMedia::clip(clip)).result();
        QVERIFY(info.ok());
        QCOMPARE(info.value().videoTracks.size(), 1);
        QVERIFY(std::abs(info.value().nominalFrameRate - rate) < 0.001);
        QVERIFY2(std::abs(info.value().duration.seconds() - seconds) < 0.02,
                 qPrintable(QString::number(info.value().duration.seconds())));
    }
};

QUINTAREL_TEST(FrameGrabberTest)
#include "FrameGrabberTest.moc"
